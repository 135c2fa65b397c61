# Run by CPack after it made the Debian package (CPACK_PACKAGE_FILES): takes
# the postinst and postrm scripts it generated out again, rebuilding the
# package with dpkg-deb, owned by root as before.

find_program(_dpkg_deb dpkg-deb REQUIRED)
foreach(_deb ${CPACK_PACKAGE_FILES})
  if(NOT _deb MATCHES "\\.deb$")
    continue()
  endif()
  set(_tree ${_deb}.tree)
  file(REMOVE_RECURSE ${_tree})
  execute_process(COMMAND ${_dpkg_deb} --raw-extract ${_deb} ${_tree} RESULT_VARIABLE _result)
  if(NOT _result EQUAL 0)
    message(FATAL_ERROR "cannot unpack ${_deb}")
  endif()
  file(REMOVE ${_tree}/DEBIAN/postinst ${_tree}/DEBIAN/postrm)
  execute_process(COMMAND ${_dpkg_deb} --root-owner-group -Zxz --build ${_tree} ${_deb}
                  OUTPUT_QUIET RESULT_VARIABLE _result)
  if(NOT _result EQUAL 0)
    message(FATAL_ERROR "cannot rebuild ${_deb}")
  endif()
  file(REMOVE_RECURSE ${_tree})
endforeach()

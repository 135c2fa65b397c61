# What `make install` puts where, relative to the prefix (CMAKE_INSTALL_PREFIX,
# the Makefile's PREFIX), and what the Debian package holds: the package is
# made from these same rules, so the two trees cannot differ.
#
#   lib/vst/Tarvel.so                     the VST 2.4 plug-in
#   lib/lv2/Tarvel.lv2/                   the LV2 bundle
#   lib/vst3/Tarvel.vst3/                 the VST3 bundle
#   lib/clap/Tarvel.clap                  the CLAP plug-in
#   bin/tarvel, bin/tarvel-host           the application and the command-line host
#   share/tarvel/                         factory bank, demo song, the manual and its images/
#   share/man/man1/                       the two programs' manual pages
#   share/applications/, share/icons/     the desktop entry and its icon
#   share/doc/tarvel/                     copyright and changelog
#
# The plug-in folders are the ones hosts search under /usr and /usr/local;
# they are not the multiarch library folder.

if(NOT TARGET tarvel OR NOT TARGET Tarvel-lv2-bundle OR NOT TARGET tarvel-host)
  message(WARNING "the application, the editions or the host are not built: no install rules")
  return()
endif()

# Installing (and packaging) takes what `install-files` built: it does not
# build the whole tree, tests and benchmarks included, first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Plug-ins are loaded, never run: not executable, as Debian's policy asks of
# shared objects.
set(_plugin_permissions OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
set(TARVEL_GENERATED_INSTALL ${CMAKE_BINARY_DIR}/install-files)

# ---- Files the build makes for installing ----

# The icon, drawn by the image tool at the sizes desktops ask for most.
pkg_check_modules(TOOLDEPS REQUIRED IMPORTED_TARGET cairo libpng)
add_executable(draw_images ${CMAKE_SOURCE_DIR}/tools/DrawImages.cpp)
target_include_directories(draw_images PRIVATE ${CMAKE_SOURCE_DIR}/tools)
target_link_libraries(draw_images PRIVATE PkgConfig::TOOLDEPS m)
set(TARVEL_ICON_SIZES 48 128 256)
set(_generated "")
foreach(_size ${TARVEL_ICON_SIZES})
  set(_icon ${TARVEL_GENERATED_INSTALL}/icons/${_size}x${_size}/tarvel.png)
  add_custom_command(OUTPUT ${_icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TARVEL_GENERATED_INSTALL}/icons/${_size}x${_size}
    COMMAND draw_images --icon ${_size} ${_icon}
    DEPENDS draw_images
    COMMENT "Drawing the ${_size} pixel icon")
  list(APPEND _generated ${_icon})
endforeach()

# Manual pages and the changelog, compressed as Debian's policy asks (no
# name or time stamp in the gzip header, so the same text gives the same
# file).
find_program(TARVEL_GZIP gzip REQUIRED)
set(_compressed
  ${CMAKE_SOURCE_DIR}/docs/man/tarvel.1 man/tarvel.1.gz
  ${CMAKE_SOURCE_DIR}/docs/man/tarvel-host.1 man/tarvel-host.1.gz
  ${CMAKE_SOURCE_DIR}/packaging/changelog doc/changelog.gz)
while(_compressed)
  list(POP_FRONT _compressed _from _to)
  set(_out ${TARVEL_GENERATED_INSTALL}/${_to})
  get_filename_component(_outdir ${_out} DIRECTORY)
  add_custom_command(OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_outdir}
    COMMAND ${TARVEL_GZIP} -9nc ${_from} > ${_out}
    DEPENDS ${_from}
    COMMENT "Compressing ${_to}")
  list(APPEND _generated ${_out})
endwhile()

# Everything installed, built: what `make install` and `make package` build.
add_custom_target(install-files ALL DEPENDS ${_generated})
add_dependencies(install-files Tarvel Tarvel-lv2-bundle Tarvel-vst3 Tarvel-clap tarvel tarvel-host)

# ---- The rules ----

# Every symbol bound at load time, so the relocation tables can be read-only
# from the start (the hardening Debian's tools look for).
foreach(_t Tarvel Tarvel-lv2 Tarvel-vst3 Tarvel-clap tarvel tarvel-host)
  target_link_options(${_t} PRIVATE -Wl,-z,relro,-z,now)
endforeach()

install(TARGETS Tarvel LIBRARY DESTINATION lib/vst PERMISSIONS ${_plugin_permissions})
install(TARGETS Tarvel-lv2 LIBRARY DESTINATION lib/lv2/Tarvel.lv2 PERMISSIONS ${_plugin_permissions})
install(FILES ${TARVEL_FORMAT_OUTPUT_lv2}/manifest.ttl ${TARVEL_FORMAT_OUTPUT_lv2}/Tarvel.ttl
              ${TARVEL_FORMAT_OUTPUT_lv2}/presets.ttl ${TARVEL_FORMAT_OUTPUT_lv2}/tarvel-terms.ttl
        DESTINATION lib/lv2/Tarvel.lv2)
install(TARGETS Tarvel-vst3 LIBRARY DESTINATION lib/vst3/Tarvel.vst3/Contents/${CMAKE_SYSTEM_PROCESSOR}-linux
        PERMISSIONS ${_plugin_permissions})
install(TARGETS Tarvel-clap LIBRARY DESTINATION lib/clap PERMISSIONS ${_plugin_permissions})
install(TARGETS tarvel tarvel-host RUNTIME DESTINATION bin)

install(FILES ${CMAKE_SOURCE_DIR}/examples/factory.fxb ${CMAKE_SOURCE_DIR}/examples/demo.mid
        DESTINATION share/tarvel)
# The manual and its pictures as docs/ holds them (the build checks that they
# are what it generates), side by side as the manual's links expect.
install(FILES ${CMAKE_SOURCE_DIR}/docs/manual.md DESTINATION share/tarvel OPTIONAL)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/images DESTINATION share/tarvel OPTIONAL FILES_MATCHING PATTERN "*.png")

install(FILES ${TARVEL_GENERATED_INSTALL}/man/tarvel.1.gz ${TARVEL_GENERATED_INSTALL}/man/tarvel-host.1.gz
        DESTINATION share/man/man1)
install(FILES ${CMAKE_SOURCE_DIR}/standalone/tarvel.desktop DESTINATION share/applications)
foreach(_size ${TARVEL_ICON_SIZES})
  install(FILES ${TARVEL_GENERATED_INSTALL}/icons/${_size}x${_size}/tarvel.png
          DESTINATION share/icons/hicolor/${_size}x${_size}/apps)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${TARVEL_GENERATED_INSTALL}/doc/changelog.gz
        DESTINATION share/doc/tarvel)

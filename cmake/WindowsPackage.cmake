# The Windows zip, Tarvel-<version>-windows-x64.zip in the build folder: the
# VST 2.4 plug-in, the VST3 bundle, the CLAP plug-in, the command-line host,
# the factory bank and the manual with its pictures, in one folder of the
# zip's name. Built with everything else (`make package-windows` asks for it
# by name); the Windows tests check what it holds.

if(NOT TARGET Tarvel-vst3 OR NOT TARGET Tarvel-clap OR NOT TARGET tarvel-host)
  return()
endif()

set(TARVEL_WINDOWS_ZIP_NAME Tarvel-${PROJECT_VERSION}-windows-x64)
set(_zip ${CMAKE_BINARY_DIR}/${TARVEL_WINDOWS_ZIP_NAME}.zip)
file(GLOB _manual_images CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/images/*.png)
add_custom_command(OUTPUT ${_zip}
  COMMAND ${CMAKE_COMMAND} -DNAME=${TARVEL_WINDOWS_ZIP_NAME} -DSTAGING=${CMAKE_BINARY_DIR}/package -DZIP=${_zip}
          -DVST2=$<TARGET_FILE:Tarvel> -DVST3=${CMAKE_BINARY_DIR}/vst3/Tarvel.vst3 -DCLAP=$<TARGET_FILE:Tarvel-clap>
          -DHOST=$<TARGET_FILE:tarvel-host> -DBANK=${CMAKE_SOURCE_DIR}/examples/factory.fxb
          -DDOCS=${CMAKE_SOURCE_DIR}/docs -P ${CMAKE_SOURCE_DIR}/cmake/MakeWindowsZip.cmake
  DEPENDS Tarvel Tarvel-vst3 Tarvel-clap tarvel-host ${CMAKE_SOURCE_DIR}/examples/factory.fxb
          ${CMAKE_SOURCE_DIR}/docs/manual.md ${_manual_images} ${CMAKE_SOURCE_DIR}/cmake/MakeWindowsZip.cmake
  COMMENT "Packing ${TARVEL_WINDOWS_ZIP_NAME}.zip")
add_custom_target(windows-zip ALL DEPENDS ${_zip})

# tarvel, the standalone application: the engine behind the adapter's
# HostedSynth, played on JACK through libjack, its editor in a window of its
# own, its state in the user's configuration folder. Everything but main.cpp
# is a library the tests link.

pkg_check_modules(JACK IMPORTED_TARGET jack)
if(NOT JACK_FOUND OR NOT TARGET tarvel_formats OR NOT TARGET tarvel_presets)
  message(WARNING "libjack (libjack-jackd2-dev) or the adapter missing: the standalone application is not built")
  return()
endif()
pkg_check_modules(STANDALONEX REQUIRED IMPORTED_TARGET x11)
find_package(Threads REQUIRED)

file(GLOB _standalone_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/standalone/*.cpp)
list(REMOVE_ITEM _standalone_sources ${CMAKE_SOURCE_DIR}/standalone/main.cpp)
add_library(tarvel_standalone STATIC ${_standalone_sources})
target_link_libraries(tarvel_standalone PUBLIC tarvel_formats tarvel_presets PkgConfig::JACK PkgConfig::STANDALONEX
                      Threads::Threads)

add_executable(tarvel ${CMAKE_SOURCE_DIR}/standalone/main.cpp)
target_link_libraries(tarvel PRIVATE tarvel_standalone)
target_compile_definitions(tarvel PRIVATE TARVEL_VERSION="${PROJECT_VERSION}")
set_target_properties(tarvel PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
# The engine inlined across its files, as in the plug-ins.
if(TARVEL_LTO)
  target_compile_options(tarvel PRIVATE -flto=auto)
  target_link_options(tarvel PRIVATE -flto=auto)
endif()

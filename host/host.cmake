# The command-line host: a static library of everything reusable (MIDI file
# reader, tempo map, scheduler, plug-in loader, renderer, preset containers,
# audio writer) that the tests and the fuzzer link, and the tarvel-host
# executable around it.

file(GLOB _host_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/host/*.cpp)
list(REMOVE_ITEM _host_sources ${CMAKE_SOURCE_DIR}/host/main.cpp)
# The preset containers and the loader on their own, without the host's
# libraries: the standalone application reads presets and saves its state
# with them.
set(_preset_sources ${CMAKE_SOURCE_DIR}/host/FxContainer.cpp ${CMAKE_SOURCE_DIR}/host/PresetLoader.cpp)
list(REMOVE_ITEM _host_sources ${_preset_sources})
add_library(tarvel_presets STATIC ${_preset_sources})
target_include_directories(tarvel_presets PUBLIC ${CMAKE_SOURCE_DIR})
if(WIN32)
  # Built without libsndfile: host/win32/ writes WAV files itself.
  list(REMOVE_ITEM _host_sources ${CMAKE_SOURCE_DIR}/host/AudioFileSink.cpp)
  # The editor command's window is X11; Windows has its own shot tool.
  list(REMOVE_ITEM _host_sources ${CMAKE_SOURCE_DIR}/host/EditorCommand.cpp)
  # No loudness library is built for Windows, so the bank audition, which
  # measures every program, is for Linux.
  list(REMOVE_ITEM _host_sources ${CMAKE_SOURCE_DIR}/host/AuditionCommand.cpp ${CMAKE_SOURCE_DIR}/host/Loudness.cpp)
  file(GLOB _host_win32 CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/host/win32/*.cpp)
  list(APPEND _host_sources ${_host_win32})
endif()
add_library(tarvel_hostlib STATIC ${_host_sources})
target_include_directories(tarvel_hostlib PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tarvel_hostlib PUBLIC tarvel_presets)
if(NOT WIN32)
  pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)
  # The editor command shows a plug-in's window: X11 for the window, cairo for
  # the screenshot.
  pkg_check_modules(HOSTX REQUIRED IMPORTED_TARGET x11 cairo)
  # Loudness (EBU R128) for the bank audition and the factory bank's tests.
  pkg_check_modules(EBUR128 REQUIRED IMPORTED_TARGET libebur128)
  find_package(Threads REQUIRED)
  target_link_libraries(tarvel_hostlib PUBLIC PkgConfig::SNDFILE PkgConfig::HOSTX PkgConfig::EBUR128 Threads::Threads
                        ${CMAKE_DL_LIBS})
endif()

add_executable(tarvel-host ${CMAKE_SOURCE_DIR}/host/main.cpp)
target_link_libraries(tarvel-host PRIVATE tarvel_hostlib)
if(NOT WIN32)
  target_compile_definitions(tarvel-host PRIVATE TARVEL_HOST_EDITOR=1 TARVEL_HOST_AUDITION=1)
endif()
set_target_properties(tarvel-host PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# Sources the MIDI fuzzer compiles itself with clang (the main build may use g++).
set(TARVEL_HOST_MIDI_SOURCES ${CMAKE_SOURCE_DIR}/host/MidiFile.cpp ${CMAKE_SOURCE_DIR}/host/TempoMap.cpp
    ${CMAKE_SOURCE_DIR}/host/Schedule.cpp)

# Programs of the Windows tests (tests/windows/run-tests.sh), cross-built
# with the plug-in and run under Wine:
#   windows-gui-check   the Win32 platform layer offscreen and in a window
#   tarvel-tan-sweep    the plug-in's tanf over the phaser's whole range
#   tarvel-editor-shot  a plug-in's editor opened as a host does, as a PNG
#   runtime-math        the C runtime's sin, pow and tanh, to compare

set(_wt ${CMAKE_SOURCE_DIR}/tests/windows)

add_executable(windows-gui-check ${_wt}/win32/GuiWindowCheck.cpp)
target_link_libraries(windows-gui-check PRIVATE tarvel_gui tarvel_vst gdiplus gdi32 user32)
target_include_directories(windows-gui-check PRIVATE ${CMAKE_SOURCE_DIR}/tools)

add_executable(tarvel-tan-sweep ${_wt}/TanSweep.cpp ${CMAKE_SOURCE_DIR}/dsp/win32/SinglePrecisionTan.cpp)
add_executable(runtime-math ${_wt}/RuntimeMath.cpp)

if(TARGET tarvel_hostlib)
  add_executable(tarvel-editor-shot ${_wt}/win32/EditorShot.cpp)
  target_link_libraries(tarvel-editor-shot PRIVATE tarvel_hostlib gdiplus gdi32 user32)
endif()

foreach(_t windows-gui-check tarvel-tan-sweep tarvel-editor-shot runtime-math)
  if(TARGET ${_t})
    set_target_properties(${_t} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  endif()
endforeach()

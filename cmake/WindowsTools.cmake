# Programs of the Windows tests (tests/windows/run-tests.sh), cross-built
# with the plug-in and run under Wine:
#   windows-gui-check   the Win32 platform layer offscreen and in a window
#   tarvel-tan-sweep    the plug-in's tanf over the phaser's whole range
#   tarvel-editor-shot  a plug-in's editor opened as a host does, as a PNG
#   runtime-math        the C runtime's sin, pow and tanh, to compare
#   tarvel-edition-check  an edition (VST 2.4, VST3, CLAP) loaded through its
#                       entry point: its parameters, presets, state, renders

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

# The formats' test hosts (tests/formats/support) on Windows' loader: the
# edition check, and the editor shot for the CLAP edition's editor.
if(TARGET tarvel_hostlib AND TARGET Tarvel-vst3 AND TARGET Tarvel-clap)
  set(_fs ${CMAKE_SOURCE_DIR}/tests/formats/support)
  add_library(tarvel_formathosts STATIC ${_fs}/ClapPlugin.cpp ${_fs}/Vst3Plugin.cpp ${_fs}/Vst2Plugin.cpp
              ${_fs}/DpfState.cpp ${_fs}/SongRender.cpp ${_fs}/PluginLibrary.cpp ${CMAKE_SOURCE_DIR}/formats/Base64.cpp)
  target_include_directories(tarvel_formathosts PUBLIC ${CMAKE_SOURCE_DIR}/tests/formats)
  target_include_directories(tarvel_formathosts SYSTEM PUBLIC ${TARVEL_DPF}/distrho/src)
  target_link_libraries(tarvel_formathosts PUBLIC tarvel_hostlib)
  target_compile_definitions(tarvel_formathosts PRIVATE FACTORY_BANK_PATH="${CMAKE_SOURCE_DIR}/examples/factory.fxb")

  add_executable(tarvel-edition-check ${_wt}/EditionCheck.cpp)
  target_link_libraries(tarvel-edition-check PRIVATE tarvel_formathosts)
  if(TARGET tarvel-editor-shot)
    target_link_libraries(tarvel-editor-shot PRIVATE tarvel_formathosts)
    target_compile_definitions(tarvel-editor-shot PRIVATE TARVEL_EDITOR_SHOT_CLAP=1)
  endif()
endif()

foreach(_t windows-gui-check tarvel-tan-sweep tarvel-editor-shot runtime-math tarvel-edition-check)
  if(TARGET ${_t})
    set_target_properties(${_t} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  endif()
endforeach()

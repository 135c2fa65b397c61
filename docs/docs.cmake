# The manual (docs/manual.md) and the parts of it that come from the
# plug-in itself, rebuilt by every build into build/docs/:
#   manual.md                the parameter reference written into it from the
#                            parameter table, the display texts and
#                            docs/parameter-notes.tsv (tools/manual), and the
#                            factory programs from the bank and its sheet
#   images/wave-*.png        each of the nine waves, drawn from the wavetable
#   images/editor.png        the editor, by `tarvel-host editor --screenshot`
#                            on a virtual X server of its own
#   images/editor-areas.png  that screenshot with the editor's areas numbered
# `make docs` copies them over docs/, so that the committed manual shows them
# wherever it is read; the test manual_is_generated fails while it differs.

if(NOT TARGET tarvel-host OR NOT TARGET tarvel_core)
  return()
endif()
find_program(TARVEL_XVFB Xvfb)
if(NOT TARVEL_XVFB)
  message(WARNING "Xvfb missing (package xvfb): the manual's pictures are not made")
  return()
endif()

file(GLOB _manual_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/manual/*.cpp)
add_executable(manual_parts ${_manual_sources})
target_include_directories(manual_parts PRIVATE ${CMAKE_SOURCE_DIR}/tools)
target_link_libraries(manual_parts PRIVATE tarvel_core tarvel_hostlib)

set(_docs ${CMAKE_BINARY_DIR}/docs)
set(_images ${_docs}/images)

add_custom_command(OUTPUT ${_docs}/manual.md
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_docs}
  COMMAND $<TARGET_FILE:manual_parts> text ${CMAKE_SOURCE_DIR}/docs/parameter-notes.tsv
          ${CMAKE_SOURCE_DIR}/examples/factory.fxb ${CMAKE_SOURCE_DIR}/examples/factory-programs.tsv
          ${CMAKE_SOURCE_DIR}/docs/manual.md ${_docs}/manual.md
  DEPENDS manual_parts ${CMAKE_SOURCE_DIR}/docs/manual.md ${CMAKE_SOURCE_DIR}/docs/parameter-notes.tsv
          ${CMAKE_SOURCE_DIR}/examples/factory.fxb ${CMAKE_SOURCE_DIR}/examples/factory-programs.tsv
  COMMENT "Writing the manual's parameter reference and factory programs")

set(_waves)
foreach(_wave sin tri saw squ dig1 dig2 dig3 dig4 dig5)
  list(APPEND _waves ${_images}/wave-${_wave}.png)
endforeach()
add_custom_command(OUTPUT ${_waves}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_images}
  COMMAND $<TARGET_FILE:manual_parts> waves ${_images}
  DEPENDS manual_parts
  COMMENT "Drawing the manual's pictures of the waves")

add_custom_command(OUTPUT ${_images}/editor.png
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_images}
  COMMAND ${CMAKE_SOURCE_DIR}/tests/support/with-xvfb.sh $<TARGET_FILE:tarvel-host> editor
          --screenshot ${_images}/editor.png --after 1000 $<TARGET_FILE:Tarvel> > /dev/null
  DEPENDS tarvel-host Tarvel
  COMMENT "Taking the manual's screenshot of the editor")
add_custom_command(OUTPUT ${_images}/editor-areas.png
  COMMAND $<TARGET_FILE:manual_parts> areas ${_images}/editor.png ${_images}/editor-areas.png
  DEPENDS manual_parts ${_images}/editor.png
  COMMENT "Numbering the editor's areas for the manual")

add_custom_target(manual ALL DEPENDS ${_docs}/manual.md ${_waves} ${_images}/editor.png ${_images}/editor-areas.png)

# The committed manual holds what the build writes.
add_test(NAME manual_is_generated COMMAND manual_parts check ${_docs} ${CMAKE_SOURCE_DIR}/docs)

# The LV2, VST3 and CLAP editions: the engine behind the adapter in this
# folder, wrapped by DPF (Debian's dpf-source), each built beside Tarvel.so:
#   build/lv2/Tarvel.lv2/     (the plug-in, its description generated from it, the factory presets)
#   build/vst3/Tarvel.vst3/   (Contents/<arch>-linux/Tarvel.so)
#   build/clap/Tarvel.clap
#
# DPF is not used in place: configuring copies it into the build tree and
# applies formats/dpf/dpf-1.6-tarvel.patch (see the README). Its CMake module
# knows neither CLAP nor external editors, so the three modules are put
# together here from its sources, the way its own makefiles do.

set(TARVEL_DPF_SOURCE "/usr/share/dpf" CACHE PATH "DPF as Debian's dpf-source installs it")
set(TARVEL_DPF_PATCH ${CMAKE_SOURCE_DIR}/formats/dpf/dpf-1.6-tarvel.patch)
set(TARVEL_DPF ${CMAKE_BINARY_DIR}/dpf)

if(NOT EXISTS ${TARVEL_DPF_SOURCE}/distrho/DistrhoPlugin.hpp)
  message(WARNING "DPF not found in ${TARVEL_DPF_SOURCE} (package dpf-source): "
                  "the LV2, VST3 and CLAP editions are not built")
  return()
endif()

# The patched copy, made again whenever the patch changes.
file(SHA256 ${TARVEL_DPF_PATCH} _patch_hash)
if(NOT EXISTS ${TARVEL_DPF}/.patched OR NOT _patch_hash STREQUAL TARVEL_DPF_PATCHED_HASH)
  file(REMOVE_RECURSE ${TARVEL_DPF})
  file(COPY ${TARVEL_DPF_SOURCE}/distrho ${TARVEL_DPF_SOURCE}/dgl ${TARVEL_DPF_SOURCE}/utils DESTINATION ${TARVEL_DPF})
  execute_process(COMMAND patch -p1 --batch --silent -i ${TARVEL_DPF_PATCH}
                  WORKING_DIRECTORY ${TARVEL_DPF} RESULT_VARIABLE _patch_result)
  if(NOT _patch_result EQUAL 0)
    message(FATAL_ERROR "formats/dpf/dpf-1.6-tarvel.patch does not apply to ${TARVEL_DPF_SOURCE}")
  endif()
  file(WRITE ${TARVEL_DPF}/.patched "${_patch_hash}\n")
  set(TARVEL_DPF_PATCHED_HASH ${_patch_hash} CACHE INTERNAL "")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TARVEL_DPF_PATCH})

# The factory bank, compiled in from whatever examples/factory.fxb holds.
set(_bank_source ${CMAKE_BINARY_DIR}/generated/FactoryBankData.cpp)
add_custom_command(OUTPUT ${_bank_source}
  COMMAND ${CMAKE_COMMAND} -DINPUT=${CMAKE_SOURCE_DIR}/examples/factory.fxb -DOUTPUT=${_bank_source}
          -P ${CMAKE_SOURCE_DIR}/formats/EmbedBank.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/examples/factory.fxb ${CMAKE_SOURCE_DIR}/formats/EmbedBank.cmake
  COMMENT "Embedding the factory bank")

# The adapter's framework-free part: the engine in the host's place. The
# tests link it directly.
add_library(tarvel_formats STATIC
  ${CMAKE_SOURCE_DIR}/formats/HostedSynth.cpp
  ${CMAKE_SOURCE_DIR}/formats/EditorEchoes.cpp
  ${CMAKE_SOURCE_DIR}/formats/FactoryBank.cpp
  ${CMAKE_SOURCE_DIR}/formats/Base64.cpp
  ${_bank_source})
target_link_libraries(tarvel_formats PUBLIC tarvel_core)
target_compile_options(tarvel_formats PRIVATE -fvisibility=hidden -fvisibility-inlines-hidden)
if(TARVEL_LTO)
  target_compile_options(tarvel_formats PRIVATE -flto=auto -ffat-lto-objects)
endif()

# DPF's own sources are third-party code: compiled without our warnings.
set(_dpf_sources ${TARVEL_DPF}/distrho/DistrhoPluginMain.cpp ${TARVEL_DPF}/distrho/DistrhoUIMain.cpp)
set_source_files_properties(${_dpf_sources} PROPERTIES COMPILE_OPTIONS "-w;-fno-lto")
set(TARVEL_FORMAT_OUTPUT_lv2 ${CMAKE_BINARY_DIR}/lv2/Tarvel.lv2)
set(TARVEL_FORMAT_OUTPUT_vst3 ${CMAKE_BINARY_DIR}/vst3/Tarvel.vst3/Contents/${CMAKE_SYSTEM_PROCESSOR}-linux)
set(TARVEL_FORMAT_OUTPUT_clap ${CMAKE_BINARY_DIR}/clap)

function(tarvel_format_module format)
  string(TOUPPER ${format} _upper)
  set(_target Tarvel-${format})
  add_library(${_target} MODULE
    ${CMAKE_SOURCE_DIR}/formats/PluginAdapter.cpp
    ${CMAKE_SOURCE_DIR}/formats/EditorAdapter.cpp
    ${_dpf_sources})
  target_compile_definitions(${_target} PRIVATE DISTRHO_PLUGIN_TARGET_${_upper})
  target_include_directories(${_target} PRIVATE ${CMAKE_SOURCE_DIR}/formats)
  target_include_directories(${_target} SYSTEM PRIVATE ${TARVEL_DPF}/distrho ${TARVEL_DPF})
  target_link_libraries(${_target} PRIVATE tarvel_formats ${CMAKE_DL_LIBS} pthread)
  # Only the format's entry points leave the module, so that hosts loading
  # several editions (and Tarvel.so) never mix their code.
  target_link_options(${_target} PRIVATE -Wl,--version-script=${TARVEL_DPF}/utils/symbols/${format}.version
                      -Wl,--no-undefined)
  set_target_properties(${_target} PROPERTIES PREFIX "" OUTPUT_NAME Tarvel
    LIBRARY_OUTPUT_DIRECTORY ${TARVEL_FORMAT_OUTPUT_${format}}
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  if(TARVEL_LTO)
    target_compile_options(${_target} PRIVATE -flto=auto)
    target_link_options(${_target} PRIVATE -flto=auto)
  endif()
endfunction()

# LV2: one binary for plug-in and editor (the editor reaches the engine
# directly), and its description written by DPF's generator from the
# binary itself, so that it cannot drift from the parameter table.
tarvel_format_module(lv2)
add_executable(lv2_ttl_generator ${TARVEL_DPF}/utils/lv2-ttl-generator/lv2_ttl_generator.c)
set_source_files_properties(${TARVEL_DPF}/utils/lv2-ttl-generator/lv2_ttl_generator.c PROPERTIES COMPILE_OPTIONS "-w")
target_link_libraries(lv2_ttl_generator PRIVATE ${CMAKE_DL_LIBS})
set(_bundle ${TARVEL_FORMAT_OUTPUT_lv2})
add_custom_command(OUTPUT ${_bundle}/manifest.ttl ${_bundle}/Tarvel.ttl ${_bundle}/presets.ttl ${_bundle}/tarvel-terms.ttl
  COMMAND ${CMAKE_COMMAND} -E rm -f manifest.ttl Tarvel.ttl presets.ttl tarvel-terms.ttl
  # A build step, not a test: in the sanitizer trees the generator's process
  # exits without the leak check (the drawing libraries keep their caches).
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:lv2_ttl_generator> ./Tarvel.so > /dev/null
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/formats/lv2/tarvel-terms.ttl .
  DEPENDS Tarvel-lv2 lv2_ttl_generator ${CMAKE_SOURCE_DIR}/formats/lv2/tarvel-terms.ttl
  WORKING_DIRECTORY ${_bundle}
  COMMENT "Describing the LV2 bundle")
add_custom_target(Tarvel-lv2-bundle ALL DEPENDS ${_bundle}/manifest.ttl)

tarvel_format_module(vst3)

tarvel_format_module(clap)
set_target_properties(Tarvel-clap PROPERTIES SUFFIX ".clap")

# Stages the Windows files in STAGING/NAME and packs that folder as ZIP.
# Called by cmake/WindowsPackage.cmake with the files' paths:
#   VST2, CLAP, HOST  the plug-in DLL, the CLAP plug-in and the host
#   VST3              the VST3 bundle (a folder)
#   BANK, DOCS        the factory bank and the folder holding manual.md and images/

set(_stage ${STAGING}/${NAME})
file(REMOVE_RECURSE ${STAGING})
file(MAKE_DIRECTORY ${_stage}/images)
file(COPY ${VST2} ${CLAP} ${HOST} ${VST3} ${DOCS}/manual.md DESTINATION ${_stage})
file(COPY ${BANK} DESTINATION ${_stage})
file(GLOB _images ${DOCS}/images/*.png)
file(COPY ${_images} DESTINATION ${_stage}/images)

# One zip at a time: those of earlier versions go.
get_filename_component(_folder ${ZIP} DIRECTORY)
file(GLOB _zips ${_folder}/Tarvel-*-windows-x64.zip)
if(_zips)
  file(REMOVE ${_zips})
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip ${NAME}
                WORKING_DIRECTORY ${STAGING} RESULT_VARIABLE _result)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "cannot pack ${ZIP}")
endif()

# cmake -DSTAGE=DIR [-DZIP=FILE] -DSAMPLE=DIR -DBIN=DIR -DREADME=FILE -P PackWindows.cmake
# Stages the Windows programs, the sample world and the README in STAGE and
# packs them into ZIP (without ZIP, the staged folder is the result).
# tarnview.exe goes into the world's folder, where it must run; only the
# world's own files are taken from SAMPLE (not the build's files, nor what a
# run of the engine or the tool left there).
foreach(var STAGE SAMPLE BIN README)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "PackWindows.cmake needs -D${var}=...")
  endif()
endforeach()
if(NOT EXISTS ${SAMPLE}/exam.map)
  message(FATAL_ERROR "${SAMPLE} holds no sample world (build the Linux target sample_world)")
endif()
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE}/world)
file(GLOB entries RELATIVE ${SAMPLE} ${SAMPLE}/*)
foreach(entry ${entries})
  if(entry MATCHES "^(CMakeFiles|Makefile|Tarn\\.log|.*\\.cmake|.*\\.part[0-9]*|하이트필드\\.txt)$")
    continue()
  endif()
  file(COPY ${SAMPLE}/${entry} DESTINATION ${STAGE}/world)
endforeach()
file(COPY ${BIN}/tarnview.exe DESTINATION ${STAGE}/world)
file(COPY ${BIN}/rigwright.exe ${BIN}/rigwright-batch.exe DESTINATION ${STAGE})
configure_file(${README} ${STAGE}/README.txt @ONLY NEWLINE_STYLE CRLF)
if(NOT ZIP)
  return()
endif()
get_filename_component(parent ${STAGE} DIRECTORY)
get_filename_component(name ${STAGE} NAME)
file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip ${name}
  WORKING_DIRECTORY ${parent} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "could not write ${ZIP}")
endif()

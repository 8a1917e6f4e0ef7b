# cmake -DCHMCMD=... -DSOURCE_DIR=... -DSTAGE_DIR=... -DPROJECT=x.hhp -DOUTPUT=x.chm
#       [-DEXTRA_FILES=a|b] -P CompileChm.cmake
#
# chmcmd answers 0 for a project it cannot find, leaves an empty file behind when a page is
# missing, and reports broken links only as warnings; so its output is kept quiet unless
# something is wrong, and any warning fails the build.
file(REMOVE_RECURSE ${STAGE_DIR})
file(GLOB pages ${SOURCE_DIR}/*)
file(COPY ${pages} DESTINATION ${STAGE_DIR})
if(EXTRA_FILES)
    string(REPLACE "|" ";" extras "${EXTRA_FILES}")
    file(COPY ${extras} DESTINATION ${STAGE_DIR})
endif()

file(STRINGS ${STAGE_DIR}/${PROJECT} compiled REGEX "^Compiled file=")
string(REGEX REPLACE "^Compiled file=[ ]*" "" compiled "${compiled}")
if(NOT compiled)
    message(FATAL_ERROR "${PROJECT} names no compiled file")
endif()

execute_process(COMMAND ${CHMCMD} ${PROJECT}
    WORKING_DIRECTORY ${STAGE_DIR}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
set(chm ${STAGE_DIR}/${compiled})
if(NOT result EQUAL 0 OR output MATCHES "Warning|Error|rror:|xception" OR NOT EXISTS ${chm})
    message(FATAL_ERROR "chmcmd failed on ${SOURCE_DIR}/${PROJECT} (exit ${result}):\n${output}")
endif()
file(SIZE ${chm} size)
if(size EQUAL 0)
    message(FATAL_ERROR "chmcmd wrote an empty ${compiled}:\n${output}")
endif()

# Renamed into place, so that a failed run never leaves a half-written help file behind.
get_filename_component(out_dir ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${out_dir})
file(COPY_FILE ${chm} ${OUTPUT}.part)
file(RENAME ${OUTPUT}.part ${OUTPUT})

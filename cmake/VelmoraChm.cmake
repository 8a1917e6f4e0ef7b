include_guard(GLOBAL)

find_program(VELMORA_CHMCMD chmcmd REQUIRED)

# velmora_compile_chm(TARGET name OUTPUT file.chm SOURCE_DIR pages PROJECT name.hhp
#                     [EXTRA_FILES files...])
# Compiles the pages of SOURCE_DIR (with EXTRA_FILES beside them) into OUTPUT whenever a page
# changes. chmcmd is run on a copy in the build tree, so nothing is written beside the sources.
function(velmora_compile_chm)
    cmake_parse_arguments(ARG "" "TARGET;OUTPUT;SOURCE_DIR;PROJECT" "EXTRA_FILES" ${ARGN})
    set(script ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/CompileChm.cmake)
    file(GLOB_RECURSE pages CONFIGURE_DEPENDS ${ARG_SOURCE_DIR}/*)
    get_filename_component(name ${ARG_OUTPUT} NAME_WE)
    # A list cannot travel whole through -D on a custom command's line.
    string(REPLACE ";" "|" extras "${ARG_EXTRA_FILES}")
    add_custom_command(OUTPUT ${ARG_OUTPUT}
        COMMAND ${CMAKE_COMMAND} -DCHMCMD=${VELMORA_CHMCMD} -DSOURCE_DIR=${ARG_SOURCE_DIR}
                -DSTAGE_DIR=${CMAKE_CURRENT_BINARY_DIR}/${name}-chm -DPROJECT=${ARG_PROJECT}
                -DOUTPUT=${ARG_OUTPUT} -DEXTRA_FILES=${extras} -P ${script}
        DEPENDS ${pages} ${ARG_EXTRA_FILES} ${script}
        COMMENT "Compiling ${name}.chm"
        VERBATIM)
    add_custom_target(${ARG_TARGET} DEPENDS ${ARG_OUTPUT})
endfunction()

include_guard(GLOBAL)
include(GoogleTest)

# Fails the configure step when TARGET reaches Qt Widgets through its link libraries:
# the core must build and run without a display toolkit.
function(velmora_assert_no_widgets target)
    set(seen "")
    set(queue ${target})
    while(queue)
        list(POP_FRONT queue current)
        if(current IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${current})
        if(current MATCHES "Widgets")
            message(FATAL_ERROR "${target} links ${current}; the core must not depend on Qt Widgets")
        endif()
        if(NOT TARGET ${current})
            continue()
        endif()
        get_target_property(aliased ${current} ALIASED_TARGET)
        if(aliased)
            list(APPEND queue ${aliased})
        endif()
        foreach(prop LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
            get_target_property(libs ${current} ${prop})
            if(libs)
                foreach(lib ${libs})
                    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" lib "${lib}")
                    if(NOT lib MATCHES "^\\$<")
                        list(APPEND queue ${lib})
                    endif()
                endforeach()
            endif()
        endforeach()
    endwhile()
endfunction()

# Environment every test runs in: fixed locale and time zone, no home directory,
# its own temporary folder, and no display. Under the sanitizers, leaks fail a test, except
# what the system libraries in .ci/lsan.supp keep for the life of the process.
function(velmora_test_environment out name)
    set(tmp "${CMAKE_BINARY_DIR}/test-tmp/${name}")
    file(MAKE_DIRECTORY "${tmp}")
    set(${out}
        "LANG=C.UTF-8;LC_ALL=C.UTF-8;TZ=UTC;HOME=${CMAKE_BINARY_DIR}/test-tmp/no-home;TMPDIR=${tmp};QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=1;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/.ci/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1"
        PARENT_SCOPE)
endfunction()

# velmora_add_gtest(NAME SOURCES ... LIBS ...)
function(velmora_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
    velmora_test_environment(env ${name})
    # Discovered tests get their properties flattened, which splits a list-valued
    # environment; running each test (and the discovery) through env(1) keeps it whole.
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "/usr/bin/env;${env}")
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT 300)
endfunction()

# velmora_add_qtest(NAME SOURCES ... LIBS ...): one QtTest executable, one ctest entry.
function(velmora_add_qtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    velmora_test_environment(env ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()

# GoogleTest and the way every test binary of the tree is registered with CTest.
#
# Natively the tests run as they are; in the Windows builds they run under Wine, in a prefix of
# the build tree's own (scripts/lib/wine-run): the x86_64 build under wine64, the i686 release under
# the 32-bit Wine. Where this machine runs no 32-bit code, the runner says so and CTest counts the
# i686 build's Wine tests as skipped.

include(GoogleTest)

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)

if(NOT CMAKE_CROSSCOMPILING)
    set(KALVOR_TEST_PREFIX unit)
elseif(WIN32)
    set(KALVOR_TEST_PREFIX wine)
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
        set(KALVOR_WINE_ARCH win64)
    elseif(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
        set(KALVOR_WINE_ARCH win32)
    else()
        message(FATAL_ERROR "No Wine runs Windows programs for ${CMAKE_SYSTEM_PROCESSOR}")
    endif()
    set(KALVOR_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    # Every Wine run of this tree: scripts/lib/wine-run options, then the program and its arguments.
    set(KALVOR_WINE_RUN ${PROJECT_SOURCE_DIR}/scripts/lib/wine-run
        --arch ${KALVOR_WINE_ARCH} --prefix ${KALVOR_WINE_PREFIX})
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KALVOR_WINE_RUN})
    # The exit code with which scripts/lib/wine-run skips a build this machine cannot run.
    set(KALVOR_WINE_SKIPPED 77)
else()
    message(FATAL_ERROR "This tree builds natively or for Windows only")
endif()

# kalvor_wine_test_properties([LANE_OF <test>] <test>...)
# What every test that runs Windows programs under Wine shares: a lane of the build tree (a prefix
# of its own, made by the lane's first test and checked by its last, tests/harness) where tests run
# one at a time, and the runner's skip. The tests mostly wait on serial lines and windows, so the
# lanes run side by side; each test takes the next lane in turn, or the lane of the test LANE_OF
# names, whose prefix it checks. The tests named in KALVOR_WINE_LONG_TESTS (a minute or so each)
# take turns among themselves, so that they never pile up in one lane.
set(KALVOR_WINE_LANES 2)
set_property(GLOBAL PROPERTY KALVOR_WINE_NEXT_LANE 1)
set_property(GLOBAL PROPERTY KALVOR_WINE_NEXT_LONG_LANE 1)
function(kalvor_wine_test_properties)
    cmake_parse_arguments(ARG "" "LANE_OF" "" ${ARGN})
    foreach(test IN LISTS ARG_UNPARSED_ARGUMENTS)
        set(turn KALVOR_WINE_NEXT_LANE)
        if(test IN_LIST KALVOR_WINE_LONG_TESTS)
            set(turn KALVOR_WINE_NEXT_LONG_LANE)
        endif()
        if(ARG_LANE_OF)
            get_test_property(${ARG_LANE_OF} KALVOR_WINE_LANE lane)
        else()
            get_property(lane GLOBAL PROPERTY ${turn})
            math(EXPR next "${lane} % ${KALVOR_WINE_LANES} + 1")
            set_property(GLOBAL PROPERTY ${turn} ${next})
        endif()
        kalvor_wine_lane_properties(${test} ${lane})
        set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED wine_prefix${lane}
            LABELS wine SKIP_RETURN_CODE ${KALVOR_WINE_SKIPPED})
    endforeach()
endfunction()

# kalvor_wine_lane_properties(<test> <lane>): the test runs alone in the lane, in its prefix.
function(kalvor_wine_lane_properties test lane)
    set_tests_properties(${test} PROPERTIES RESOURCE_LOCK wineprefix${lane} KALVOR_WINE_LANE ${lane})
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT KALVOR_WINE_LANE=${lane})
endfunction()

# kalvor_add_gtest(<name> SOURCES <files...> [LIBRARIES <targets...>]
#                  [WINE_ARGS <wine-run options...>] [EACH_TEST] [TIMEOUT <seconds>]
#                  [WRAPPER <command...>])
#
# Builds one GoogleTest binary and registers it as "<unit|wine>.<name>". Wine tests share the
# build tree's prefix, so they run one at a time.
# WINE_ARGS go to scripts/lib/wine-run (a display, pseudo-terminal pairs mapped as COM ports): the
# binary's own emulator is the tree's Wine run with them.
# WRAPPER runs the binary (under Wine, the Wine run of it) as the last arguments of a command of
# the test's own, such as a fixture that starts servers for it first.
# EACH_TEST registers every test of the sources as a test of its own
# ("<prefix>.<name>.<Suite>.<Test>"), so that each gets a fresh display and fresh ports. The
# names are read from the sources when CMake configures (gtest_add_tests), not by running the
# binary: building needs no Wine, and where this machine runs no 32-bit code each i686 test is
# still there to be skipped with the runner's reason.
function(kalvor_add_gtest name)
    cmake_parse_arguments(ARG "EACH_TEST" "TIMEOUT" "SOURCES;LIBRARIES;WINE_ARGS;WRAPPER" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} gtest_main)
    kalvor_windows_subsystem(${name} console)
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    if(KALVOR_WINE_PREFIX)
        set_target_properties(${name} PROPERTIES
            CROSSCOMPILING_EMULATOR "${KALVOR_WINE_RUN};${ARG_WINE_ARGS}")
    endif()

    if(ARG_EACH_TEST)
        gtest_add_tests(TARGET ${name} SOURCES ${ARG_SOURCES}
            TEST_PREFIX ${KALVOR_TEST_PREFIX}.${name}. TEST_LIST tests)
    elseif(ARG_WRAPPER)
        set(run $<TARGET_FILE:${name}>)
        if(KALVOR_WINE_PREFIX)
            set(run ${KALVOR_WINE_RUN} ${ARG_WINE_ARGS} ${run})
        endif()
        add_test(NAME ${KALVOR_TEST_PREFIX}.${name} COMMAND ${ARG_WRAPPER} ${run})
        set(tests ${KALVOR_TEST_PREFIX}.${name})
    else()
        add_test(NAME ${KALVOR_TEST_PREFIX}.${name} COMMAND ${name})
        set(tests ${KALVOR_TEST_PREFIX}.${name})
    endif()

    set_tests_properties(${tests} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
    if(KALVOR_WINE_PREFIX)
        kalvor_wine_test_properties(${tests})
    else()
        set_tests_properties(${tests} PROPERTIES LABELS native)
    endif()
endfunction()

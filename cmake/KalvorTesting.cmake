# GoogleTest and the way every test binary of the tree is registered with CTest.
#
# Natively the tests run as they are; in the x86_64 Windows build they run under Wine, in a prefix
# of this build tree's own (scripts/wine-run); the i686 build links its tests but cannot run them
# (this kernel runs no 32-bit code), so it registers only checks that read its binaries.

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)

set(KALVOR_WINE_RUN ${PROJECT_SOURCE_DIR}/scripts/wine-run)
if(NOT CMAKE_CROSSCOMPILING)
    set(KALVOR_CAN_RUN_TESTS ON)
    set(KALVOR_TEST_PREFIX unit)
elseif(WIN32 AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(KALVOR_CAN_RUN_TESTS ON)
    set(KALVOR_TEST_PREFIX wine)
    set(KALVOR_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KALVOR_WINE_RUN} --prefix ${KALVOR_WINE_PREFIX})
else()
    set(KALVOR_CAN_RUN_TESTS OFF)
    set(KALVOR_TEST_PREFIX none)
endif()

# kalvor_add_gtest(<name> SOURCES <files...> [LIBRARIES <targets...>]
#                  [WINE_ARGS <wine-run options...>] [EACH_TEST] [TIMEOUT <seconds>])
#
# Builds one GoogleTest binary and, where this build can run it, registers it as
# "<unit|wine>.<name>". Wine tests share the build tree's prefix, so they run one at a time.
# WINE_ARGS go to scripts/wine-run (a display, pseudo-terminal pairs mapped as COM ports).
# EACH_TEST registers every TEST of the sources as a test of its own ("<prefix>.<name>.<Suite>.<Test>"),
# so that each gets a fresh display and fresh ports.
function(kalvor_add_gtest name)
    cmake_parse_arguments(ARG "EACH_TEST" "TIMEOUT" "SOURCES;LIBRARIES;WINE_ARGS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} gtest_main)
    kalvor_windows_subsystem(${name} console)
    if(NOT KALVOR_CAN_RUN_TESTS)
        # Built only where a check reads it (tests/release), not by default.
        set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL TRUE)
        return()
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()

    set(command $<TARGET_FILE:${name}>)
    if(KALVOR_WINE_PREFIX)
        set(command ${KALVOR_WINE_RUN} --prefix ${KALVOR_WINE_PREFIX} ${ARG_WINE_ARGS} ${command})
    endif()

    set(tests)
    if(ARG_EACH_TEST)
        foreach(source IN LISTS ARG_SOURCES)
            file(READ ${source} text)
            string(REGEX MATCHALL "\nTEST(_F)?\\([ \t\n]*[A-Za-z0-9_]+[ \t\n]*,[ \t\n]*[A-Za-z0-9_]+"
                   found "${text}")
            foreach(match IN LISTS found)
                string(REGEX REPLACE ".*\\([ \t\n]*([A-Za-z0-9_]+)[ \t\n]*,[ \t\n]*([A-Za-z0-9_]+)"
                       "\\1.\\2" test "${match}")
                add_test(NAME ${KALVOR_TEST_PREFIX}.${name}.${test}
                         COMMAND ${command} --gtest_filter=${test})
                list(APPEND tests ${KALVOR_TEST_PREFIX}.${name}.${test})
            endforeach()
        endforeach()
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ARG_SOURCES})
    else()
        add_test(NAME ${KALVOR_TEST_PREFIX}.${name} COMMAND ${command})
        set(tests ${KALVOR_TEST_PREFIX}.${name})
    endif()

    if(KALVOR_WINE_PREFIX)
        set_tests_properties(${tests} PROPERTIES RESOURCE_LOCK wineprefix
            FIXTURES_REQUIRED wine_prefix LABELS wine TIMEOUT ${ARG_TIMEOUT})
    else()
        set_tests_properties(${tests} PROPERTIES LABELS native TIMEOUT ${ARG_TIMEOUT})
    endif()
endfunction()

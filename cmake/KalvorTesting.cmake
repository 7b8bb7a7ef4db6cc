# GoogleTest and the way every test binary of the tree is registered with CTest.
#
# Natively the tests run as they are; in the x86_64 Windows build they run under Wine, in a prefix
# of this build tree's own (scripts/wine-run); the i686 build links its tests but cannot run them
# (this kernel runs no 32-bit code), so it registers only checks that read its binaries.

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)

if(NOT CMAKE_CROSSCOMPILING)
    set(KALVOR_CAN_RUN_TESTS ON)
    set(KALVOR_TEST_PREFIX unit)
elseif(WIN32 AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(KALVOR_CAN_RUN_TESTS ON)
    set(KALVOR_TEST_PREFIX wine)
    set(KALVOR_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        ${PROJECT_SOURCE_DIR}/scripts/wine-run --prefix ${KALVOR_WINE_PREFIX})
else()
    set(KALVOR_CAN_RUN_TESTS OFF)
    set(KALVOR_TEST_PREFIX none)
endif()

# kalvor_add_gtest(<name> SOURCES <files...> [LIBRARIES <targets...>])
# Builds one GoogleTest binary and, where this build can run it, registers it as
# "<unit|wine>.<name>". Wine tests share the build tree's prefix, so they run one at a time.
function(kalvor_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} gtest_main)
    kalvor_windows_subsystem(${name} console)
    if(NOT KALVOR_CAN_RUN_TESTS)
        return()
    endif()
    add_test(NAME ${KALVOR_TEST_PREFIX}.${name} COMMAND ${name})
    if(KALVOR_WINE_PREFIX)
        set_tests_properties(${KALVOR_TEST_PREFIX}.${name} PROPERTIES
            RESOURCE_LOCK wineprefix FIXTURES_REQUIRED wine_prefix LABELS wine TIMEOUT 300)
    else()
        set_tests_properties(${KALVOR_TEST_PREFIX}.${name} PROPERTIES LABELS native TIMEOUT 300)
    endif()
endfunction()

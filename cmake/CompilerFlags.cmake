# Flags every target of the tree is built with, on every toolchain.
add_compile_options(-Wall -Wextra -Werror)

if(WIN32)
    # Narrow (ANSI) Win32 calls throughout, and no API newer than Windows XP.
    add_compile_definitions(_WIN32_WINNT=0x0501 WINVER=0x0501 NOMINMAX)
    # One file that runs without the compiler's DLLs beside it.
    add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# Subsystem version of every Windows executable; the i686 release must start on Windows XP.
set(KALVOR_SUBSYSTEM_VERSION "" CACHE STRING "PE subsystem version of Windows executables (e.g. 5.01)")

# kalvor_windows_subsystem(<target> console|windows)
# Every Windows executable of the tree goes through here. Those built to start on Windows XP
# (subsystem 5.01) also answer the thread library's GetTickCount64 import themselves, since XP's
# kernel32 lacks it (see platform/win32/TickCountOnXp.c).
function(kalvor_windows_subsystem target kind)
    if(NOT WIN32)
        return()
    endif()
    if(KALVOR_SUBSYSTEM_VERSION)
        target_link_options(${target} PRIVATE "-Wl,--subsystem,${kind}:${KALVOR_SUBSYSTEM_VERSION}")
        if(KALVOR_SUBSYSTEM_VERSION VERSION_LESS 6.0 AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
            target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/platform/win32/TickCountOnXp.c)
        endif()
    else()
        target_link_options(${target} PRIVATE "-Wl,--subsystem,${kind}")
    endif()
endfunction()

# The Linux programs are built as Debian hardens its own packages: the flags dpkg-buildflags gives
# with every hardening feature on (fortified functions, the stack protector, format checks, full
# RELRO with immediate binding; GCC makes position-independent executables by default), less the
# optimisation and debugging ones, which the build type sets. Only where they work: fortified
# functions need an optimising build, and the sanitizer builds bring checks of their own.
if(NOT WIN32 AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize=" AND
   CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
    find_program(KALVOR_DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
    foreach(kind IN ITEMS CPPFLAGS CXXFLAGS CFLAGS LDFLAGS)
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                    ${KALVOR_DPKG_BUILDFLAGS} --get ${kind}
            OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
        separate_arguments(flags UNIX_COMMAND "${flags}")
        list(FILTER flags EXCLUDE REGEX "^(-g|-O.*|-ffile-prefix-map=.*)$")
        set(KALVOR_HARDENING_${kind} ${flags})
    endforeach()
    add_compile_options(${KALVOR_HARDENING_CPPFLAGS}
        "$<$<COMPILE_LANGUAGE:CXX>:${KALVOR_HARDENING_CXXFLAGS}>"
        "$<$<COMPILE_LANGUAGE:C>:${KALVOR_HARDENING_CFLAGS}>")
    add_link_options(${KALVOR_HARDENING_LDFLAGS})
    message(STATUS "Hardening as dpkg-buildflags does: ${KALVOR_HARDENING_CPPFLAGS} "
                   "${KALVOR_HARDENING_CXXFLAGS} ${KALVOR_HARDENING_LDFLAGS}")
endif()

# Header-only libraries from Debian's packages, for every toolchain: CLI11 (libcli11-dev) for the
# tools' command lines and nlohmann-json (nlohmann-json3-dev) for kalvor-sim's JSON lines. Header
# only, so the static Windows executables stay single files.
#
# Their headers live in /usr/include, which a cross build must not search as a whole (it holds the
# host's C library headers): each library's own folder is linked into a folder of the build tree
# that holds nothing else, and that folder is searched instead.
set(KALVOR_HEADER_LINKS ${CMAKE_BINARY_DIR}/_deps/headers)
foreach(folder IN ITEMS CLI nlohmann)
    if(NOT EXISTS /usr/include/${folder})
        message(FATAL_ERROR "/usr/include/${folder} is missing: run scripts/bootstrap")
    endif()
    file(MAKE_DIRECTORY ${KALVOR_HEADER_LINKS})
    file(CREATE_LINK /usr/include/${folder} ${KALVOR_HEADER_LINKS}/${folder} SYMBOLIC)
endforeach()

add_library(kalvor_cli11 INTERFACE)
target_include_directories(kalvor_cli11 SYSTEM INTERFACE ${KALVOR_HEADER_LINKS})
# No std::filesystem: the file validators that would use it are not needed, and the release must
# import nothing that Windows XP lacks.
target_compile_definitions(kalvor_cli11 INTERFACE CLI11_HAS_FILESYSTEM=0)

add_library(kalvor_json INTERFACE)
target_include_directories(kalvor_json SYSTEM INTERFACE ${KALVOR_HEADER_LINKS})

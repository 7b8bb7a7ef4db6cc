# Read by CPack once per generator (CPACK_PROJECT_CONFIG_FILE). The Debian package installs under
# /usr; the tarball holds the same tree under its top folder (bin/, share/, lib/), to be copied
# under /usr/local or anywhere else.
if(CPACK_GENERATOR STREQUAL "TGZ")
    set(CPACK_PACKAGING_INSTALL_PREFIX "/")
endif()

# The zone files the Windows programs read from the folder zoneinfo beside them, as the zips ship
# them: the newest tzdata of Debian's archive, which scripts/bootstrap unpacks.
set(KALVOR_ZONE_DATA ${PROJECT_SOURCE_DIR}/build/cache/zoneinfo)

# kalvor_zone_data_beside(): in a Windows build, the zone files beside the programs of the current
# folder, as a link, so that they run in the build tree as they do from a zip.
function(kalvor_zone_data_beside)
    if(WIN32)
        file(CREATE_LINK ${KALVOR_ZONE_DATA} ${CMAKE_CURRENT_BINARY_DIR}/zoneinfo SYMBOLIC)
    endif()
endfunction()

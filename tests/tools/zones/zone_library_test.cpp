// Zones by name from a folder: names that no zone has are refused before the disk is touched,
// a missing zone or folder is said in words, and the data's version is read.
#include "tools/common/zones/ZoneLibrary.h"

#include <gtest/gtest.h>
#include <regex>

namespace {

using kalvor_zones::ZoneLibrary;

TEST(ZoneLibrary, RefusesWhatNoZoneIsNamed) {
    // A folder that is not there: only the name can be wrong.
    const ZoneLibrary nowhere("/no-such-folder/zoneinfo");
    for (const char* name : {"", "/etc/passwd", "../etc/passwd", "Europe/../../etc/passwd",
                             "Europe\\Berlin", "Europe//Berlin", "Europe/Berlin/", "Europe/ Berlin",
                             "-rf", "C:/Windows/win.ini", "CON", "Etc/nul.txt", "COM1"}) {
        std::string error;
        EXPECT_FALSE(nowhere.Load(name, error)) << name;
        EXPECT_NE(error.find("no zone name"), std::string::npos) << name << ": " << error;
        EXPECT_EQ(kalvor_zones::ZoneNameProblem(name), error);
    }
    for (const char* name : {"Etc/GMT+5", "America/Port-au-Prince", "UTC"}) {
        EXPECT_EQ(kalvor_zones::ZoneNameProblem(name), "") << name;
    }
}

TEST(ZoneLibrary, SaysWhatIsMissing) {
    const ZoneLibrary system = ZoneLibrary::System();
    std::string error;
    EXPECT_TRUE(system.Load("Europe/Berlin", error)) << error;
    EXPECT_FALSE(system.Load("Europe/Berlinn", error));
    EXPECT_EQ(error, "no zone Europe/Berlinn in " + system.Folder());
    // A folder of zones is no zone; nor is a file of the data that is not a compiled one.
    EXPECT_FALSE(system.Load("Europe", error));
    EXPECT_NE(error.find("zone Europe in " + system.Folder()), std::string::npos) << error;
    EXPECT_FALSE(system.Load("zone1970.tab", error));
    EXPECT_NE(error.find("no TZif header"), std::string::npos) << error;

    EXPECT_FALSE(ZoneLibrary("/no-such-folder/zoneinfo").Load("Europe/Berlin", error));
    EXPECT_EQ(error, "no zone Europe/Berlin: the zone folder /no-such-folder/zoneinfo is missing");
    EXPECT_FALSE(ZoneLibrary("").Load("Europe/Berlin", error));
    EXPECT_EQ(error, "no zone Europe/Berlin: the zone folder is unknown");
}

TEST(ZoneLibrary, ReadsTheDataVersion) {
    EXPECT_TRUE(std::regex_match(ZoneLibrary::System().Version(), std::regex("20[0-9]{2}[a-z]")));
    EXPECT_EQ(ZoneLibrary("/no-such-folder/zoneinfo").Version(), "");
}

} // namespace

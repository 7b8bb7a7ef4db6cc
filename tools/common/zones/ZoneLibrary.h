#pragma once

#include "tools/common/zones/ZoneRules.h"

#include <optional>
#include <string>

namespace kalvor_zones {

// A folder of compiled zone files named as the zones are ("Europe/Berlin"), with the data's
// tzdata.zi beside them: the system's own on Linux, the one shipped beside the program on
// Windows.
class ZoneLibrary {
public:
    explicit ZoneLibrary(std::string folder);

    // $TZDIR or /usr/share/zoneinfo on Linux; the folder zoneinfo beside the program on Windows.
    static ZoneLibrary System();

    // The rules of the zone `name`, or nothing and why in words, naming the zone and the folder
    // ("no zone Europe/Berlinn in /usr/share/zoneinfo"). A name that no zone can have is refused
    // before the disk is touched (see ZoneNameProblem).
    std::optional<ZoneRules> Load(const std::string& name, std::string& error) const;

    // The data's version from tzdata.zi's first line ("# version 2025b" gives "2025b"); empty
    // when it cannot be told.
    std::string Version() const;

    const std::string& Folder() const { return m_folder; }

private:
    std::string m_folder;
};

// Why `name` cannot name a zone, or empty when it can: zone names are relative paths of
// components of ASCII letters, digits, '_', '-', '+' and '.', none of them empty, "." or "..",
// nor beginning with '-', nor a name that Windows takes for a device ("CON", "NUL", "COM1").
std::string ZoneNameProblem(const std::string& name);

} // namespace kalvor_zones

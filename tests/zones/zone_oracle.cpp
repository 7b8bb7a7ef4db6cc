// The reader's side of the oracle test (zone_oracle_test.py): zone_oracle FOLDER HORIZON reads
// lines "ZONE INSTANT" (seconds since 1970 UTC) and answers each with a line
// "OFFSET ABBREVIATION NEXT": the UTC offset in seconds, the abbreviation and the next offset
// change within HORIZON seconds ("-" for none), or "error WORDS" for a zone that does not load.
#include "tools/common/zones/ZoneLibrary.h"

#include <cstdio>
#include <iostream>
#include <map>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: zone_oracle FOLDER HORIZON\n";
        return 2;
    }
    const kalvor_zones::ZoneLibrary library(argv[1]);
    const std::int64_t horizon = std::stoll(argv[2]);
    std::map<std::string, std::optional<kalvor_zones::ZoneRules>> loaded;
    std::map<std::string, std::string> errors;
    std::ios::sync_with_stdio(false);
    std::cin.tie(nullptr);
    std::string zone;
    std::int64_t instant = 0;
    while (std::cin >> zone >> instant) {
        auto found = loaded.find(zone);
        if (found == loaded.end()) {
            found = loaded.emplace(zone, library.Load(zone, errors[zone])).first;
        }
        if (!found->second) {
            std::cout << "error " << errors[zone] << '\n';
            continue;
        }
        const auto offset = found->second->At(instant);
        const auto next = found->second->NextOffsetChange(instant, horizon);
        std::cout << offset.utcOffsetSeconds << ' ' << offset.abbreviation << ' '
                  << (next ? std::to_string(*next) : "-") << '\n';
    }
    return 0;
}

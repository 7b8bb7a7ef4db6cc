// The reader's side of the oracle test (zone_oracle_test.py): zone_oracle FOLDER HORIZON answers
// each line "ZONE INSTANT" (seconds since 1970 UTC) with "OFFSET ABBREVIATION NEXT": the UTC
// offset in seconds, the abbreviation and the next offset change within HORIZON seconds ("-"
// for none); or with "error WORDS" for a zone that does not load.
#include "tools/common/zones/ZoneLibrary.h"

#include <iostream>
#include <limits>
#include <map>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: zone_oracle FOLDER HORIZON\n";
        return 2;
    }
    const kalvor_zones::ZoneLibrary library(argv[1]);
    const std::int64_t horizon = std::stoll(argv[2]);
    std::map<std::string, std::pair<std::optional<kalvor_zones::ZoneRules>, std::string>> zones;
    std::ios::sync_with_stdio(false);
    std::cin.tie(nullptr);
    std::string name;
    std::int64_t instant = 0;
    while (std::cin >> name >> instant &&
           std::cin.ignore(std::numeric_limits<std::streamsize>::max(), '\n')) {
        auto& [zone, error] = zones.try_emplace(name).first->second;
        if (!zone && error.empty()) {
            zone = library.Load(name, error);
        }
        if (!zone) {
            std::cout << "error " << error << std::endl;
            continue;
        }
        const auto offset = zone->At(instant);
        const auto next = zone->NextOffsetChange(instant, horizon);
        std::cout << offset.utcOffsetSeconds << ' ' << offset.abbreviation << ' '
                  << (next ? std::to_string(*next) : "-") << '\n';
        // The questions come in pieces: answer a piece whole before waiting for the next.
        if (std::cin.rdbuf()->in_avail() <= 0) {
            std::cout.flush();
        }
    }
}

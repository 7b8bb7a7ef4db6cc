// The zone reader on Debian's compiled zone files (under Wine through the link zoneinfo beside
// the test): the zones that catch real faults, the footer's rules, broken files. The expected
// offsets are those Python's zoneinfo gives for the same files.
#include "tools/common/zones/CivilTime.h"
#include "tools/common/zones/ZoneLibrary.h"

#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <stdexcept>

namespace {

using kalvor_zones::ZoneRules;
using Bytes = std::vector<std::uint8_t>;

std::int64_t Utc(int year, unsigned month, unsigned day, int hour = 0, int minute = 0,
                 int second = 0) {
    const std::chrono::sys_days date{std::chrono::year{year} / month / day};
    return date.time_since_epoch().count() * 86'400 + hour * 3600 + minute * 60 + second;
}

Bytes ZoneFile(const std::string& name) {
    std::ifstream file(kalvor_zones::ZoneLibrary::System().Folder() + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

ZoneRules Load(const std::string& name) {
    std::string error;
    auto zone = kalvor_zones::ZoneLibrary::System().Load(name, error);
    return zone ? *zone : throw std::runtime_error(error); // which fails the test
}

// The file with its footer's text replaced.
Bytes WithFooter(Bytes file, const std::string& footer) {
    const auto last = std::find(file.rbegin() + 1, file.rend(), '\n').base();
    file.erase(last, file.end());
    file.insert(file.end(), footer.begin(), footer.end());
    file.push_back('\n');
    return file;
}

// Where the version 2 header begins: past the version 1 header and its data.
std::size_t SecondHeader(const Bytes& file) {
    const auto count = [&](std::size_t at) {
        return std::size_t{file[at]} << 24 | std::size_t{file[at + 1]} << 16 |
               std::size_t{file[at + 2]} << 8 | file[at + 3];
    };
    return 44 + count(32) * 5 + count(36) * 6 + count(40) + count(28) * 8 + count(24) + count(20);
}

TEST(ZoneRules, GivesTheOffsetOfEveryKindOfZone) {
    const struct {
        const char* zone;
        std::int64_t instant;
        const char *offset, *abbreviation;
        bool daylightSaving;
    } cases[] = {
        // Ramadan's hour back is in the transitions only; the footer says +01 all year.
        {"Africa/Casablanca", Utc(2025, 3, 15, 12), "+00:00", "+00", true},
        {"Africa/Casablanca", Utc(2040, 9, 20), "+00:00", "+00", true},
        // A rule whose switch is at hour -1, past the transitions.
        {"America/Nuuk", Utc(2040, 3, 25, 0, 59, 59), "-02:00", "-02", false},
        {"America/Nuuk", Utc(2040, 3, 25, 1), "-01:00", "-01", true},
        {"Asia/Kathmandu", Utc(2025, 6, 1), "+05:45", "+0545", false},
        // Daylight saving of half an hour.
        {"Australia/Lord_Howe", Utc(2025, 1, 15), "+11:00", "+11", true},
        {"Australia/Lord_Howe", Utc(2025, 7, 15), "+10:30", "+1030", false},
        {"Pacific/Chatham", Utc(2025, 1, 15), "+13:45", "+1345", true},
        {"Africa/Cairo", Utc(2040, 6, 1), "+03:00", "EEST", true},
        {"America/St_Johns", Utc(2025, 1, 15), "-03:30", "NST", false},
        {"America/St_Johns", Utc(2025, 7, 15), "-02:30", "NDT", true},
        {"Pacific/Kiritimati", Utc(2025, 6, 1, 12), "+14:00", "+14", false},
        // Both of a year's transitions, on either side of their instants.
        {"Europe/Berlin", Utc(2025, 3, 30, 0, 59, 59), "+01:00", "CET", false},
        {"Europe/Berlin", Utc(2025, 3, 30, 1), "+02:00", "CEST", true},
        {"Europe/Berlin", Utc(2025, 10, 26, 0, 59, 59), "+02:00", "CEST", true},
        {"Europe/Berlin", Utc(2025, 10, 26, 1), "+01:00", "CET", false},
        {"Europe/Berlin", Utc(2050, 7, 1), "+02:00", "CEST", true},
        // Before the first transition: local mean time, to the second.
        {"Europe/Berlin", Utc(1800, 1, 1), "+00:53:28", "LMT", false},
        // Winter is daylight saving time in Dublin's data (saving -1 hour).
        {"Europe/Dublin", Utc(2045, 1, 15), "+00:00", "GMT", true},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(std::string(each.zone) + " at " + std::to_string(each.instant));
        const auto offset = Load(each.zone).At(each.instant);
        EXPECT_EQ(kalvor_zones::FormatUtcOffset(offset.utcOffsetSeconds), each.offset);
        EXPECT_EQ(offset.abbreviation, each.abbreviation);
        EXPECT_EQ(offset.daylightSaving, each.daylightSaving);
    }
}

TEST(ZoneRules, FindsTheNextOffsetChangeWithinItsHorizon) {
    constexpr std::int64_t kYear = 366 * 86'400;
    const struct {
        const char* zone;
        std::int64_t from, horizon;
        std::optional<std::int64_t> change;
    } cases[] = {
        {"Europe/Berlin", Utc(2025, 1, 1), kYear, Utc(2025, 3, 30, 1)},
        {"Europe/Berlin", Utc(2025, 3, 30, 1), kYear, Utc(2025, 10, 26, 1)},
        {"Europe/Berlin", Utc(2025, 1, 1), 30 * 86'400, std::nullopt},
        {"Africa/Casablanca", Utc(2025, 1, 1), kYear, Utc(2025, 2, 23, 2)},
        {"America/Nuuk", Utc(2040, 1, 1), kYear, Utc(2040, 3, 25, 1)},
        // Hour 24 of the last Thursday of October.
        {"Africa/Cairo", Utc(2040, 1, 1), kYear, Utc(2040, 4, 26, 22)},
        {"Africa/Cairo", Utc(2040, 6, 1), kYear, Utc(2040, 10, 25, 21)},
        {"Australia/Lord_Howe", Utc(2045, 6, 1), kYear, Utc(2045, 9, 30, 15, 30)},
        {"Asia/Kathmandu", Utc(2025, 1, 1), 100 * kYear, std::nullopt},
        {"Pacific/Kiritimati", Utc(2025, 1, 1), std::numeric_limits<std::int64_t>::max(),
         std::nullopt},
    };
    for (const auto& each : cases) {
        EXPECT_EQ(Load(each.zone).NextOffsetChange(each.from, each.horizon), each.change)
            << each.zone << " from " << each.from;
    }
}

TEST(ZoneRules, CivilTimeIsTheZonesWallClockToTheMillisecond) {
    // A day ahead of UTC: Sunday noon is Monday 02:00 on Kiritimati.
    EXPECT_EQ(kalvor_zones::CivilTimeAt(Load("Pacific/Kiritimati"),
                                        Utc(2025, 6, 1, 12) * 1'000'000 + 250'999),
              (LocalInstant{2025, 6, 2, 1, 2, 0, 0, 250}));
    // An instant just before 1970 rounds down, into the previous second.
    EXPECT_EQ(kalvor_zones::CivilTimeAt(Load("America/St_Johns"), -1),
              (LocalInstant{1969, 12, 31, 3, 20, 29, 59, 999}));
}

TEST(ZoneRules, FollowsEveryFormOfTheFootersRule) {
    // Etc/UTC has no transitions: its footer alone says what holds, here each rule in turn.
    const Bytes utc = ZoneFile("Etc/UTC");
    const struct {
        const char* footer;
        std::int64_t instant;
        std::int32_t offset;
    } cases[] = {
        // Daylight saving all year: it ends where the next year's begins.
        {"EST5EDT,0/0,J365/25", Utc(2025, 12, 31, 23, 59, 59), -4 * 3600},
        // Jn never counts 29 February; n (from 0) does, as glibc's TZ does (Python's zoneinfo
        // takes n a day early).
        {"XXX3YYY,J60/2,300/2", Utc(2024, 3, 1, 5), -2 * 3600},
        {"XXX3YYY,J60/2,300/2", Utc(2024, 10, 27, 3, 59, 59), -2 * 3600},
        {"XXX3YYY,J60/2,300/2", Utc(2024, 10, 27, 4), -3 * 3600},
        {"XXX3YYY,J60/2,300/2", Utc(2023, 10, 28, 3, 59, 59), -2 * 3600},
        // Quoted names, minutes and seconds; an instant far in the future and in the past.
        {"<+0545>-5:45:30", Utc(2025, 1, 1), 5 * 3600 + 45 * 60 + 30},
        {"CET-1CEST,M3.5.0,M10.5.0/3", Utc(2025, 7, 1) + 1'000'000 * 146'097LL * 86'400, 2 * 3600},
        {"CET-1CEST,M3.5.0,M10.5.0/3", Utc(-2000, 1, 1), 3600},
    };
    for (const auto& each : cases) {
        std::string error;
        const auto zone = ZoneRules::FromTzif(WithFooter(utc, each.footer), error);
        ASSERT_TRUE(zone) << each.footer << ": " << error;
        EXPECT_EQ(zone->At(each.instant).utcOffsetSeconds, each.offset)
            << each.footer << " at " << each.instant;
    }
    std::string error;
    const auto allYear = ZoneRules::FromTzif(WithFooter(utc, "EST5EDT,0/0,J365/25"), error);
    EXPECT_EQ(allYear->NextOffsetChange(0, std::numeric_limits<std::int64_t>::max()), std::nullopt);
}

TEST(ZoneRules, ReadsAVersion1File) {
    // Berlin's version 1 part alone, up to 2037: its last type holds after.
    Bytes file = ZoneFile("Europe/Berlin");
    file.resize(SecondHeader(file));
    file[4] = 0;
    std::string error;
    const auto zone = ZoneRules::FromTzif(file, error);
    ASSERT_TRUE(zone) << error;
    EXPECT_EQ(zone->At(Utc(2025, 7, 1)).abbreviation, "CEST");
    EXPECT_EQ(zone->At(Utc(2050, 7, 1)).abbreviation, "CET");
}

TEST(ZoneRules, RefusesBrokenFilesInWords) {
    const Bytes berlin = ZoneFile("Europe/Berlin");
    ASSERT_GT(berlin.size(), 1000u);
    std::string error;
    for (std::size_t length = 0; length < berlin.size(); ++length, error.clear()) {
        EXPECT_FALSE(ZoneRules::FromTzif(std::span(berlin).first(length), error)) << length;
        EXPECT_FALSE(error.empty()) << length;
    }

    const std::size_t second = SecondHeader(berlin);
    const auto broken = [&](std::size_t at, std::uint8_t value) {
        Bytes file = berlin;
        file.at(at) = value;
        return file;
    };
    const struct {
        Bytes file;
        const char* words;
    } cases[] = {
        {broken(0, 'X'), "no TZif header"},
        {broken(4, '5'), "unknown TZif version"},
        {broken(second + 34, berlin[second + 34] + 1), "shorter than its header's counts say"},
        {broken(41, 0xFF), "shorter than its version 1 header's counts say"},
        {broken(second + 39, 0), "local time types"},
        {broken(second + 44 + 8 * 3, 0x80), "not later than the one before it"},
        {WithFooter(berlin, "CET-1CEST"), "no date on which daylight saving time begins"},
        {WithFooter(berlin, "CET-1CEST,M3.5.0,M13.5.0/3"), "daylight saving time ends"},
        {WithFooter(berlin, "CET-1CEST,M3.5.0/168,M10.5.0/3"), "daylight saving time begins"},
        {WithFooter(berlin, "<+05-5"), "no standard time name"},
        {WithFooter(berlin, "CET-25"), "no standard time offset"},
        {WithFooter(berlin, "CET-1CEST,M3.5.0,M10.5.0/3 "), "more text after the rule"},
        {WithFooter(berlin, "CET-1\nX"), "bytes follow the footer"},
    };
    for (const auto& each : cases) {
        error.clear();
        EXPECT_FALSE(ZoneRules::FromTzif(each.file, error)) << each.words;
        EXPECT_NE(error.find(each.words), std::string::npos) << error;
    }
}

} // namespace

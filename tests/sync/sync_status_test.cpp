// What the status file and the metrics say of a run: the history each attempt leaves, the JSON
// document read back as a single run carries it on, local times that agree with their UTC
// seconds, and metrics held to the rules of the Prometheus text format.
#include "tools/kalvor-sync/status/StatusJson.h"
#include "tools/kalvor-sync/status/StatusMetrics.h"
#include "tools/kalvor-sync/status/StatusReporter.h"

#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <sstream>

using namespace kalvor_sync;

namespace {

constexpr std::int64_t kSecond = 1'000'000;
constexpr const char* kVersion = "1.2.3.4";

StatusTime At(std::int64_t seconds) {
    return StatusTimeAt(seconds * kSecond + 412'000);
}

// A run of two devices with some history behind it: COM3 set twice, then lost; COM4 never set.
SyncStatus History() {
    SyncStatus status = NewStatus(kVersion, {"COM3", "COM4"}, 86'400 * kSecond, At(1'800'000'000));
    status.clock = platform::ClockSyncState{platform::ClockSyncStatus::Synchronised,
                                            "the test's clock follows a time source", 512, 120'000};
    RecordAttempt(status, "COM3", DeviceOutcome::Set, "", {RunReason::Kind::Start, ""},
                  At(1'800'000'002));
    RecordAttempt(status, "COM3", DeviceOutcome::Set, "",
                  {RunReason::Kind::ClockStep, "clock stepped +3.2 s"}, At(1'800'003'600));
    RecordAttempt(status, "COM3", DeviceOutcome::NotOpened, "COM3: cannot open the port: gone",
                  {RunReason::Kind::Period, ""}, At(1'800'086'402));
    RecordAttempt(status, "COM4", DeviceOutcome::SendFailed, "COM4: cannot write a frame: cut",
                  {RunReason::Kind::Start, ""}, At(1'800'000'002));
    status.state = RunState::Running;
    return status;
}

TEST(SyncStatus, EachAttemptLeavesItsHistoryAndCounts) {
    SyncStatus status = History();
    const DeviceStatus& com3 = status.devices[0];
    EXPECT_EQ(com3.successes, 2u);
    EXPECT_EQ(com3.failures, 1u);
    EXPECT_EQ(com3.outcome, DeviceOutcome::NotOpened);
    EXPECT_EQ(com3.lastSuccess, At(1'800'003'600));
    EXPECT_EQ(com3.lastAttempt, At(1'800'086'402));
    EXPECT_EQ(com3.lastError, "COM3: cannot open the port: gone");
    EXPECT_EQ(com3.lastReason->kind, RunReason::Kind::Period);

    // Stopped in the middle of a sequence: an attempt, but neither a success nor a failure; a
    // refusal for the clock is a failure; a device of another name is none of this run's.
    RecordAttempt(status, "COM3", DeviceOutcome::Interrupted, "", {RunReason::Kind::Start, ""},
                  At(1'800'090'000));
    RecordAttempt(status, "COM4", DeviceOutcome::Refused, "not set (--require-synced)",
                  {RunReason::Kind::Start, ""}, At(1'800'090'000));
    RecordAttempt(status, "COM9", DeviceOutcome::Set, "", {RunReason::Kind::Start, ""},
                  At(1'800'090'000));
    EXPECT_EQ(status.devices[0].successes + status.devices[0].failures, 3u);
    EXPECT_EQ(status.devices[0].lastError, "COM3: cannot open the port: gone");
    EXPECT_EQ(status.devices[0].lastAttempt, At(1'800'090'000));
    EXPECT_EQ(status.devices[1].failures, 2u);
    EXPECT_FALSE(status.devices[1].lastSuccess);
    EXPECT_EQ(status.devices.size(), 2u);
}

// "2026-12-08T03:00:00.412+01:00" read back as seconds since 1970 (UTC), to the millisecond.
double SecondsOfLocal(const std::string& local) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0, oh = 0, om = 0;
    char sign = 0;
    EXPECT_EQ(std::sscanf(local.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3d%c%2d:%2d", &y, &mo, &d, &h,
                          &mi, &s, &ms, &sign, &oh, &om),
              10)
        << local;
    using namespace std::chrono;
    const auto day = sys_days(year(y) / mo / d).time_since_epoch();
    const int offset = (sign == '-' ? -1 : 1) * (oh * 3600 + om * 60);
    return static_cast<double>(duration_cast<seconds>(day).count() + h * 3600 + mi * 60 + s -
                               offset) +
           ms / 1000.0;
}

TEST(SyncStatus, LocalTimesCarryTheirOffsetAndAgreeWithTheirUtcSeconds) {
    // Across a year, so that a zone with daylight saving shows both of its offsets.
    const std::regex shape(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)");
    for (std::int64_t day = 0; day < 365; day += 7) {
        const std::int64_t utc = (1'798'761'600 + day * 86'400) * kSecond + 250'000;
        const StatusTime time = StatusTimeAt(utc);
        ASSERT_TRUE(std::regex_match(time.local, shape)) << time.local;
        EXPECT_DOUBLE_EQ(SecondsOfLocal(time.local), static_cast<double>(utc / 1000) / 1000)
            << time.local;
    }
}

TEST(StatusJson, ASingleRunCarriesTheHistoryOnFromTheFileItFinds) {
    const SyncStatus before = History();
    std::string error;
    const std::optional<SyncStatus> read =
        StatusFromJson(StatusToJson(before, At(1'800'100'000)), error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->devices, before.devices);
    EXPECT_EQ(read->countsSince, before.countsSince);

    // The next run names COM3 again and a new COM5; COM4 is no longer given.
    SyncStatus next = NewStatus(kVersion, {"COM5", "COM3"}, 0, At(1'800'200'000));
    CarryForward(next, *read);
    EXPECT_EQ(next.devices[0].name, "COM5");
    EXPECT_EQ(next.devices[0].successes + next.devices[0].failures, 0u);
    EXPECT_EQ(next.devices[1], before.devices[0]);
    EXPECT_EQ(next.countsSince, before.started);
    EXPECT_EQ(next.started, At(1'800'200'000));
}

TEST(StatusJson, TheDocumentSaysEveryFieldInItsPlace) {
    SyncStatus status = History();
    status.state = RunState::Stopped;
    status.exitStatus = 1;
    const std::string text = StatusToJson(status, At(1'800'100'000));
    for (const char* field :
         {R"("program": "kalvor-sync")", R"("version": "1.2.3.4")", R"("state": "stopped")",
          R"("exit_status": 1)", R"("every_seconds": 86400)", R"("state": "synchronised")",
          R"("reason": "the test's clock follows a time source")",
          R"("estimated_error_seconds": 0.000512)", R"("maximum_error_seconds": 0.12)",
          R"("name": "COM3")", R"("outcome": "not opened")", R"("last_reason": "period")",
          R"("last_error": "COM3: cannot open the port: gone")", R"("successes": 2)",
          R"("failures": 1)", R"("outcome": "send failed")", R"("last_success": null)",
          R"("utc_seconds": 1800003600.412)"}) {
        EXPECT_NE(text.find(field), std::string::npos) << field << " in\n" << text;
    }
}

// Windows' error texts come in its code page (936 in China): the document is UTF-8 all the same,
// and a byte that is no text at all does not cost the document.
TEST(StatusJson, TextsInTheSystemsCodePageOrNoneStillMakeADocument) {
    SyncStatus status = NewStatus("1", {"COM3"}, 0, At(1'800'000'000));
    RecordAttempt(status, "COM3", DeviceOutcome::NotOpened,
                  "COM3: cannot open the port: \xcf\xb5\xcd\xb3\xd5\xd2\xb2\xbb\xb5\xbd \xff",
                  {RunReason::Kind::Start, ""}, At(1'800'000'001));
    std::string error;
    const std::optional<SyncStatus> read = StatusFromJson(StatusToJson(status, At(1)), error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->devices.at(0).failures, 1u);
    EXPECT_EQ(read->devices.at(0).lastError.rfind("COM3: cannot open the port: ", 0), 0u);
}

TEST(StatusJson, WhatIsNoStatusSaysWhy) {
    std::string error;
    EXPECT_FALSE(StatusFromJson("{\"devices\": [", error));
    EXPECT_NE(error.find("parse error"), std::string::npos) << error;
    EXPECT_FALSE(StatusFromJson(R"({"program": "other", "devices": []})", error));
    EXPECT_EQ(error, "it is not a status file of kalvor-sync");
    EXPECT_FALSE(StatusFromJson(R"({"program": "kalvor-sync", "devices": [{"name": 3}]})", error));
    EXPECT_FALSE(error.empty());
}

// --- The metrics, held to the text format's rules. ---------------------------------------------

struct Sample {
    std::string family, labels;
    double value = 0;
};

// Parses the text as the format's grammar has it; every fault is one failed expectation.
std::vector<Sample> CheckedSamples(const std::string& text) {
    static const std::regex help(R"re(# HELP ([a-zA-Z_:][a-zA-Z0-9_:]*) ((?:[^\\\n]|\\[\\n])*))re");
    static const std::regex type(
        R"re(# TYPE ([a-zA-Z_:][a-zA-Z0-9_:]*) (counter|gauge|histogram|summary|untyped))re");
    static const std::regex sample(
        R"re(([a-zA-Z_:][a-zA-Z0-9_:]*)(?:\{((?:[a-zA-Z_][a-zA-Z0-9_]*="(?:[^"\\\n]|\\[\\"n])*",?)*)\})? ([^ ]+))re");
    static const std::regex label(R"re(([a-zA-Z_][a-zA-Z0-9_]*)="((?:[^"\\\n]|\\[\\"n])*)")re");
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n') << "the last line ends with a line feed";

    std::map<std::string, std::string> types;
    std::set<std::string> helped, closed, series;
    std::string current;
    std::vector<Sample> samples;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_match(line, match, help)) {
            EXPECT_TRUE(helped.insert(match[1]).second) << "a second HELP: " << line;
            EXPECT_FALSE(closed.count(match[1])) << "HELP after its samples: " << line;
        } else if (std::regex_match(line, match, type)) {
            EXPECT_TRUE(types.emplace(match[1], match[2]).second) << "a second TYPE: " << line;
            EXPECT_FALSE(closed.count(match[1])) << "TYPE after its samples: " << line;
        } else if (std::regex_match(line, match, sample)) {
            const std::string family = match[1];
            if (family != current) {
                EXPECT_FALSE(closed.count(family)) << "a family's samples apart: " << line;
                if (!current.empty()) {
                    closed.insert(current);
                }
                current = family;
            }
            EXPECT_TRUE(types.count(family)) << "a sample before its TYPE: " << line;
            EXPECT_TRUE(helped.count(family)) << "a sample without HELP: " << line;
            EXPECT_TRUE(series.insert(family + "{" + match[2].str() + "}").second)
                << "the same series twice: " << line;
            std::set<std::string> names;
            const std::string labels = match[2];
            for (auto it = std::sregex_iterator(labels.begin(), labels.end(), label);
                 it != std::sregex_iterator(); ++it) {
                EXPECT_TRUE(names.insert((*it)[1]).second) << "a label twice: " << line;
            }
            char* end = nullptr;
            const std::string value = match[3];
            const double number = std::strtod(value.c_str(), &end);
            EXPECT_TRUE(end != nullptr && *end == '\0' && !value.empty()) << line;
            samples.push_back({family, labels, number});
        } else {
            ADD_FAILURE() << "neither HELP, TYPE nor a sample: \"" << line << "\"";
        }
    }
    for (const auto& [family, kind] : types) {
        EXPECT_EQ(kind == "counter",
                  family.size() > 6 && family.compare(family.size() - 6, 6, "_total") == 0)
            << family << " is a " << kind;
    }
    return samples;
}

double ValueOf(const std::vector<Sample>& samples, const std::string& family,
               const std::string& labels = "") {
    for (const Sample& sample : samples) {
        if (sample.family == family && sample.labels == labels) {
            return sample.value;
        }
    }
    ADD_FAILURE() << "no sample " << family << "{" << labels << "}";
    return -1;
}

TEST(StatusMetrics, EveryDeviceAndTheClockInTheTextFormat) {
    const std::vector<Sample> samples = CheckedSamples(StatusToMetrics(History()));
    const std::string com3 = "device=\"COM3\"";
    EXPECT_EQ(ValueOf(samples, "kalvor_sync_info", com3 + ",version=\"1.2.3.4\""), 1);
    EXPECT_EQ(ValueOf(samples, "kalvor_sync_clock_synchronized", com3), 1);
    EXPECT_EQ(ValueOf(samples, "kalvor_sync_clock_state", com3 + ",state=\"synchronised\""), 1);
    EXPECT_EQ(ValueOf(samples, "kalvor_sync_clock_state", com3 + ",state=\"not synchronised\""), 0);
    EXPECT_DOUBLE_EQ(ValueOf(samples, "kalvor_sync_clock_estimated_error_seconds", com3), 0.000512);
    EXPECT_DOUBLE_EQ(
        ValueOf(samples, "kalvor_sync_last_success_timestamp_seconds", "device=\"COM3\""),
        1'800'003'600.412);
    EXPECT_DOUBLE_EQ(
        ValueOf(samples, "kalvor_sync_last_attempt_timestamp_seconds", "device=\"COM3\""),
        1'800'086'402.412);
    EXPECT_EQ(ValueOf(samples, "kalvor_sync_last_success_timestamp_seconds", "device=\"COM4\""), 0);
    EXPECT_EQ(ValueOf(samples, "kalvor_sync_last_attempt_succeeded", "device=\"COM3\""), 0);
    EXPECT_EQ(
        ValueOf(samples, "kalvor_sync_sequences_total", "device=\"COM3\",outcome=\"success\""), 2);
    EXPECT_EQ(
        ValueOf(samples, "kalvor_sync_sequences_total", "device=\"COM3\",outcome=\"failure\""), 1);
    EXPECT_EQ(ValueOf(samples, "kalvor_sync_running", "device=\"COM4\""), 1);
    // Each series names its device, so that the files of runs for other devices merge with it.
    for (const Sample& sample : samples) {
        EXPECT_EQ(sample.labels.rfind("device=\"COM", 0), 0u) << sample.family;
    }
}

TEST(StatusMetrics, ADeviceNameWithQuotesBackslashesAndLineFeedsIsEscaped) {
    SyncStatus status =
        NewStatus("1", {"\\\\.\\COM12", "odd \"name\"\nhere"}, 0, At(1'800'000'000));
    const std::string text = StatusToMetrics(status);
    const std::vector<Sample> samples = CheckedSamples(text);
    EXPECT_EQ(
        ValueOf(samples, "kalvor_sync_last_attempt_timestamp_seconds", R"(device="\\\\.\\COM12")"),
        0);
    EXPECT_EQ(ValueOf(samples, "kalvor_sync_last_attempt_timestamp_seconds",
                      R"(device="odd \"name\"\nhere")"),
              0);
    // Before the first reading of the clock there is no clock to tell of.
    EXPECT_EQ(text.find("kalvor_sync_clock"), std::string::npos);
}

TEST(StatusReporter, EachFailureOfTheReferenceIsToldOnceAsAWarningAndTheEventLogHearsIt) {
    std::ostringstream out, errors;
    std::vector<std::string> events;
    SyncLog log(out, errors, Verbosity::Normal,
                [&events](SyncLog::Event, const std::string& line) { events.push_back(line); });
    platform::ServiceNotify notify;
    StatusReporter reporter(SyncCommand{}, log, notify);
    reference::ReferenceReport report;
    const std::string first = "cannot start the time reference's thread: out of memory";
    const std::string second = "cannot start the time reference's thread: too many threads";
    for (const std::string& failure : {std::string(), first, first, std::string(), second, first}) {
        report.failure = failure;
        reporter.ReferenceNow(report);
    }
    EXPECT_EQ(errors.str(),
              "kalvor-sync: warning: " + first + "\nkalvor-sync: warning: " + second + "\n");
    EXPECT_EQ(events.size(), 2u);
}

} // namespace

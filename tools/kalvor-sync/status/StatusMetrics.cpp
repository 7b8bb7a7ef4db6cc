#include "StatusMetrics.h"

#include "ClockStateWords.h"
#include "platform/TextEncoding.h"

#include <cstdio>
#include <functional>

namespace kalvor_sync {

namespace {

// A label value as the format wants it: in UTF-8, backslash, double quote and line feed escaped.
std::string LabelValue(const std::string& text) {
    std::string out;
    for (const char c : platform::SystemTextToUtf8(text)) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.6f", value);
    // "1796702400.412000" -> "1796702400.412", "1.000000" -> "1".
    std::string out = text;
    out.erase(out.find_last_not_of('0') + 1);
    if (out.back() == '.') {
        out.pop_back();
    }
    return out;
}

std::string Seconds(const std::optional<StatusTime>& time) {
    return time ? Number(static_cast<double>(time->utcMicroseconds / 1000) / 1000) : "0";
}

// The moments of each device, one family each.
struct TimeFamily {
    const char* name;
    const char* help;
    std::optional<StatusTime> DeviceStatus::*time;
};
constexpr TimeFamily kTimeFamilies[] = {
    {"kalvor_sync_last_attempt_timestamp_seconds",
     "When kalvor-sync last tried to set the device, in seconds since 1970-01-01 UTC; 0 if "
     "never.",
     &DeviceStatus::lastAttempt},
    {"kalvor_sync_last_success_timestamp_seconds",
     "When kalvor-sync last set the device, in seconds since 1970-01-01 UTC; 0 if never.",
     &DeviceStatus::lastSuccess},
    {"kalvor_sync_last_failure_timestamp_seconds",
     "When an attempt to set the device last failed, in seconds since 1970-01-01 UTC; 0 if "
     "never.",
     &DeviceStatus::lastFailure},
};

// Writes metric families: each family's HELP and TYPE, then its samples.
class Families {
public:
    void Family(const char* name, const char* type, const char* help) {
        m_name = name;
        m_text += std::string("# HELP ") + name + " " + help + "\n";
        m_text += std::string("# TYPE ") + name + " " + type + "\n";
    }
    // A sample of the current family; `labels` already formatted ("device=\"COM3\"") or empty.
    void Sample(const std::string& labels, const std::string& value) {
        m_text += m_name + (labels.empty() ? "" : "{" + labels + "}") + " " + value + "\n";
    }
    // One sample per device, labelled with its name.
    void PerDevice(const SyncStatus& status,
                   const std::function<std::string(const DeviceStatus&)>& value) {
        for (const DeviceStatus& device : status.devices) {
            Sample(DeviceLabel(device), value(device));
        }
    }
    static std::string DeviceLabel(const DeviceStatus& device) {
        return "device=\"" + LabelValue(device.name) + "\"";
    }
    std::string Text() const { return m_text; }

private:
    std::string m_name;
    std::string m_text;
};

std::string Flag(bool value) {
    return value ? "1" : "0";
}

// The time reference's families: its state, its measures, and each server's.
void ReferenceMetrics(Families& out, const SyncStatus& status, const ReferenceStatus& reference) {
    const auto each = [&](const std::string& value) {
        out.PerDevice(status, [&](const DeviceStatus&) { return value; });
    };
    out.Family("kalvor_sync_reference_state", "gauge",
               "The time reference (--ntp-server): 1 for its state (synced, holdover, unsynced), "
               "0 for the others.");
    for (const DeviceStatus& device : status.devices) {
        for (const char* state : {"synced", "holdover", "unsynced"}) {
            out.Sample(Families::DeviceLabel(device) + ",state=\"" + state + "\"",
                       Flag(reference.state == state));
        }
    }
    const struct {
        const char* name;
        const char* help;
        std::optional<double> value;
    } measures[] = {
        {"kalvor_sync_reference_computer_offset_seconds",
         "The computer's clock minus true time, as the time reference measures it.",
         reference.computerOffsetSeconds},
        {"kalvor_sync_reference_error_bound_seconds",
         "The most the time reference's true time may be wrong by.", reference.errorBoundSeconds},
        {"kalvor_sync_reference_delay_seconds",
         "The round trip to the servers the time reference goes by.", reference.delaySeconds},
        {"kalvor_sync_reference_max_error_seconds",
         "The error bound past which --require-synced holds the devices back (--max-error).",
         reference.maxErrorSeconds},
    };
    for (const auto& measure : measures) {
        if (measure.value) {
            out.Family(measure.name, "gauge", measure.help);
            each(Number(*measure.value));
        }
    }
    const struct {
        const char* name;
        const char* help;
        std::function<std::string(const ServerStatus&)> value;
    } perServer[] = {
        {"kalvor_sync_reference_server_reachable",
         "Whether the NTP server answered any of the last eight requests.",
         [](const ServerStatus& s) { return Flag(s.reach != 0); }},
        {"kalvor_sync_reference_server_last_answer_timestamp_seconds",
         "When the NTP server's last answer was taken, in seconds since 1970-01-01 UTC; 0 if "
         "never.",
         [](const ServerStatus& s) { return Seconds(s.lastAnswer); }},
        {"kalvor_sync_reference_server_refusing",
         "Whether the NTP server refused kalvor-sync (a kiss-o'-death DENY or RSTR): it is "
         "asked no more.",
         [](const ServerStatus& s) { return Flag(s.refusing); }},
        {"kalvor_sync_reference_server_outvoted",
         "Whether the NTP server's time disagreed with the majority's.",
         [](const ServerStatus& s) { return Flag(s.outvoted); }},
    };
    for (const auto& family : perServer) {
        out.Family(family.name, "gauge", family.help);
        for (const DeviceStatus& device : status.devices) {
            for (const ServerStatus& server : reference.servers) {
                out.Sample(Families::DeviceLabel(device) + ",server=\"" +
                               LabelValue(server.server) + "\"",
                           family.value(server));
            }
        }
    }
}

} // namespace

std::string StatusToMetrics(const SyncStatus& status) {
    Families out;
    // Every series carries its device, even those of the run as a whole: a collector that reads
    // the files of several runs (one per device) then finds no series twice.
    const auto always = [](const std::string& value) {
        return [value](const DeviceStatus&) { return value; };
    };
    out.Family("kalvor_sync_info", "gauge",
               "The kalvor-sync that sets the device, its version as a label.");
    for (const DeviceStatus& device : status.devices) {
        out.Sample(
            Families::DeviceLabel(device) + ",version=\"" + LabelValue(status.version) + "\"", "1");
    }
    out.Family("kalvor_sync_start_time_seconds", "gauge",
               "When the kalvor-sync that sets the device started, in seconds since 1970-01-01 "
               "UTC.");
    out.PerDevice(status, always(Seconds(status.started)));
    out.Family("kalvor_sync_running", "gauge",
               "Whether the kalvor-sync that sets the device runs (1) or has stopped (0).");
    out.PerDevice(status, always(status.state == RunState::Stopped ? "0" : "1"));
    out.Family("kalvor_sync_waiting_for_clock", "gauge",
               "Whether the device is held back until the computer's clock is synchronised "
               "(--require-synced with --every).");
    out.PerDevice(status, always(status.state == RunState::WaitingForClock ? "1" : "0"));

    if (status.clock) {
        const platform::ClockSyncState& clock = *status.clock;
        out.Family("kalvor_sync_clock_synchronized", "gauge",
                   "Whether the system said, before the device was last set, that the "
                   "computer's clock is synchronised to a time source: 1 it is, 0 it is not or "
                   "that is unknown.");
        out.PerDevice(status,
                      always(clock.status == platform::ClockSyncStatus::Synchronised ? "1" : "0"));
        out.Family("kalvor_sync_clock_state", "gauge",
                   "The computer's clock as the system last told it: 1 for its state, 0 for "
                   "the others.");
        for (const DeviceStatus& device : status.devices) {
            for (const auto state :
                 {platform::ClockSyncStatus::Synchronised,
                  platform::ClockSyncStatus::NotSynchronised, platform::ClockSyncStatus::Unknown}) {
                out.Sample(Families::DeviceLabel(device) + ",state=\"" + ClockStateWords(state) +
                               "\"",
                           clock.status == state ? "1" : "0");
            }
        }
        if (clock.estimatedErrorMicroseconds) {
            out.Family("kalvor_sync_clock_estimated_error_seconds", "gauge",
                       "The system's estimate of the computer's clock error, where it keeps "
                       "one.");
            out.PerDevice(status, always(Number(*clock.estimatedErrorMicroseconds / 1e6)));
        }
        if (clock.maximumErrorMicroseconds) {
            out.Family("kalvor_sync_clock_maximum_error_seconds", "gauge",
                       "The system's bound of the computer's clock error, where it keeps one.");
            out.PerDevice(status, always(Number(*clock.maximumErrorMicroseconds / 1e6)));
        }
    }

    if (status.reference) {
        ReferenceMetrics(out, status, *status.reference);
    }
    out.Family("kalvor_sync_utc_offset_seconds", "gauge",
               "The UTC offset of the civil time the device was last set to, in seconds, with "
               "the zone it shows (an empty zone: the computer's local time).");
    for (const DeviceStatus& device : status.devices) {
        if (device.utcOffsetSeconds) {
            out.Sample(Families::DeviceLabel(device) + ",zone=\"" + LabelValue(device.zone) + "\"",
                       std::to_string(*device.utcOffsetSeconds));
        }
    }
    out.Family("kalvor_sync_period_seconds", "gauge",
               "How often the device is set (--every), in seconds; 0 for a single run.");
    out.PerDevice(status, always(std::to_string(status.periodMicroseconds / 1'000'000)));

    for (const TimeFamily& family : kTimeFamilies) {
        out.Family(family.name, "gauge", family.help);
        out.PerDevice(status, [&](const DeviceStatus& d) { return Seconds(d.*family.time); });
    }
    out.Family("kalvor_sync_last_attempt_succeeded", "gauge",
               "Whether the last attempt set the device: 1 it did, 0 it did not or there was "
               "none.");
    out.PerDevice(status, [](const DeviceStatus& d) {
        return d.outcome == DeviceOutcome::Set ? std::string("1") : std::string("0");
    });
    out.Family("kalvor_sync_sequences_total", "counter",
               "Attempts to set the device, by outcome: success, or failure (not opened, a "
               "frame not written, or refused for a clock not synchronised).");
    for (const DeviceStatus& device : status.devices) {
        const std::string label = Families::DeviceLabel(device);
        out.Sample(label + ",outcome=\"success\"", std::to_string(device.successes));
        out.Sample(label + ",outcome=\"failure\"", std::to_string(device.failures));
    }
    out.Family("kalvor_sync_counts_since_timestamp_seconds", "gauge",
               "Since when the counts of kalvor_sync_sequences_total run (a single run carries "
               "them on from its status file), in seconds since 1970-01-01 UTC.");
    out.PerDevice(status, always(Seconds(status.countsSince)));
    return out.Text();
}

} // namespace kalvor_sync

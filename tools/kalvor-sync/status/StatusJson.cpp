#include "StatusJson.h"

#include "ClockStateWords.h"
#include "platform/TextEncoding.h"

#include <nlohmann/json.hpp>

namespace kalvor_sync {

// The fields in the order a reader looks for them, not sorted by name.
using json = nlohmann::ordered_json;

namespace {

constexpr const char* kProgram = "kalvor-sync";

double Seconds(std::int64_t microseconds) {
    // To the millisecond, which is what the local times show.
    return static_cast<double>(microseconds / 1000) / 1000;
}

json TimeJson(const std::optional<StatusTime>& time) {
    if (!time) {
        return nullptr;
    }
    return {{"local", time->local}, {"utc_seconds", Seconds(time->utcMicroseconds)}};
}

// A text of the system's (a device's name, an error) as JSON wants it, in UTF-8.
json Text(const std::string& text) {
    return platform::SystemTextToUtf8(text);
}

json TextOrNull(const std::string& text) {
    return text.empty() ? json(nullptr) : Text(text);
}

json ClockJson(const std::optional<platform::ClockSyncState>& clock) {
    if (!clock) {
        return nullptr;
    }
    json out = {{"state", ClockStateWords(clock->status)}, {"reason", Text(clock->reason)}};
    if (clock->estimatedErrorMicroseconds) {
        out["estimated_error_seconds"] = *clock->estimatedErrorMicroseconds / 1e6;
    }
    if (clock->maximumErrorMicroseconds) {
        out["maximum_error_seconds"] = *clock->maximumErrorMicroseconds / 1e6;
    }
    return out;
}

json Optional(const std::optional<double>& value) {
    return value ? json(*value) : json(nullptr);
}

json ReferenceJson(const std::optional<ReferenceStatus>& reference) {
    if (!reference) {
        return nullptr;
    }
    json servers = json::array();
    for (const ServerStatus& server : reference->servers) {
        servers.push_back({
            {"server", Text(server.server)},
            {"address", TextOrNull(server.address)},
            {"reachable", server.reach != 0},
            {"reach", server.reach},
            {"poll_seconds", server.pollSeconds},
            {"last_answer", TimeJson(server.lastAnswer)},
            {"last_offset_seconds", Optional(server.lastOffsetSeconds)},
            {"last_delay_seconds", Optional(server.lastDelaySeconds)},
            {"last_rejection", TextOrNull(server.lastRejection)},
            {"outvoted", server.outvoted},
            {"refusing", server.refusing},
        });
    }
    return {
        {"state", reference->state},
        {"computer_offset_seconds", Optional(reference->computerOffsetSeconds)},
        {"error_bound_seconds", Optional(reference->errorBoundSeconds)},
        {"delay_seconds", Optional(reference->delaySeconds)},
        {"max_error_seconds", reference->maxErrorSeconds},
        {"servers", servers},
    };
}

json DeviceJson(const DeviceStatus& device) {
    return {
        {"name", Text(device.name)},
        {"outcome", device.outcome ? json(OutcomeName(*device.outcome)) : json(nullptr)},
        {"last_attempt", TimeJson(device.lastAttempt)},
        {"last_success", TimeJson(device.lastSuccess)},
        {"last_failure", TimeJson(device.lastFailure)},
        {"last_error", TextOrNull(device.lastError)},
        {"last_reason",
         device.lastReason ? json(ReasonName(device.lastReason->kind)) : json(nullptr)},
        {"last_reason_words", device.lastReason ? TextOrNull(device.lastReason->words) : nullptr},
        {"successes", device.successes},
        {"failures", device.failures},
        {"zone", TextOrNull(device.zone)},
        {"utc_offset_seconds",
         device.utcOffsetSeconds ? json(*device.utcOffsetSeconds) : json(nullptr)},
    };
}

// Reading back: every field that is there must be of its kind; a missing one is none.
std::optional<StatusTime> TimeFrom(const json& value) {
    if (value.is_null()) {
        return std::nullopt;
    }
    const double seconds = value.at("utc_seconds").get<double>();
    return StatusTime{static_cast<std::int64_t>(seconds * 1000 + (seconds < 0 ? -0.5 : 0.5)) * 1000,
                      value.at("local").get<std::string>()};
}

std::string TextFrom(const json& object, const char* key) {
    const auto found = object.find(key);
    return found == object.end() || found->is_null()
               ? std::string()
               : platform::Utf8ToSystemText(found->get<std::string>());
}

DeviceStatus DeviceFrom(const json& value) {
    DeviceStatus device;
    device.name = platform::Utf8ToSystemText(value.at("name").get<std::string>());
    device.lastAttempt = TimeFrom(value.value("last_attempt", json()));
    device.lastSuccess = TimeFrom(value.value("last_success", json()));
    device.lastFailure = TimeFrom(value.value("last_failure", json()));
    if (const std::string outcome = TextFrom(value, "outcome"); !outcome.empty()) {
        device.outcome = OutcomeNamed(outcome);
    }
    device.lastError = TextFrom(value, "last_error");
    if (const auto kind = ReasonNamed(TextFrom(value, "last_reason"))) {
        device.lastReason = RunReason{*kind, TextFrom(value, "last_reason_words")};
    }
    device.successes = value.value("successes", std::uint64_t{0});
    if (const auto offset = value.find("utc_offset_seconds");
        offset != value.end() && offset->is_number_integer()) {
        device.utcOffsetSeconds = offset->get<std::int32_t>();
    }
    device.failures = value.value("failures", std::uint64_t{0});
    return device;
}

} // namespace

std::string StatusToJson(const SyncStatus& status, const StatusTime& written) {
    json devices = json::array();
    for (const DeviceStatus& device : status.devices) {
        devices.push_back(DeviceJson(device));
    }
    const json document = {
        {"program", kProgram},
        {"version", status.version},
        {"state", RunStateName(status.state)},
        {"exit_status", status.exitStatus ? json(*status.exitStatus) : json(nullptr)},
        {"stopped_by", TextOrNull(status.stoppedBy)},
        {"started", TimeJson(status.started)},
        {"written", TimeJson(written)},
        {"every_seconds", status.periodMicroseconds > 0
                              ? json(status.periodMicroseconds / 1'000'000)
                              : json(nullptr)},
        {"counts_since", TimeJson(status.countsSince)},
        {"clock", ClockJson(status.clock)},
        {"zone_data", TextOrNull(status.zoneDataVersion)},
        {"reference", ReferenceJson(status.reference)},
        {"devices", devices},
    };
    // Should a text still be no UTF-8, it is mended rather than the document lost.
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::optional<SyncStatus> StatusFromJson(const std::string& text, std::string& error) {
    try {
        const json document = json::parse(text);
        if (!document.is_object() || document.value("program", "") != kProgram) {
            error = "it is not a status file of kalvor-sync";
            return std::nullopt;
        }
        SyncStatus status;
        status.version = document.value("version", "");
        if (const auto since = TimeFrom(document.value("counts_since", json()))) {
            status.countsSince = *since;
        } else if (const auto started = TimeFrom(document.value("started", json()))) {
            status.countsSince = *started;
        }
        for (const json& device : document.at("devices")) {
            status.devices.push_back(DeviceFrom(device));
        }
        return status;
    } catch (const json::exception& failure) {
        // The library's words name what is wrong and where ("syntax error while parsing ...").
        error = failure.what();
        return std::nullopt;
    }
}

} // namespace kalvor_sync

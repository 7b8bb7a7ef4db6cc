#pragma once

#include "DeviceLink.h"
#include "SyncDevice.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kalvor_sync {

// How a sequence went on one device, from best to worst (the exit status is the worst of them).
enum class PortOutcome { Sent, NotOpened, SendFailed };

// One device for the whole of a run: where it is, its link while it is open, how its last
// sequence went and, under --every, where it stands between sequences. Whoever opens, writes,
// tells or follows a device works on its record, so nothing is matched by position. Written by
// the thread that runs the program's loop only.
struct DeviceRecord {
    explicit DeviceRecord(SyncDevice where) : device(std::move(where)) {}

    SyncDevice device;
    std::unique_ptr<DeviceLink> link; // while it is open

    // Its last sequence: how it went, and what went wrong in the order it was met, in plain
    // words that name the device.
    PortOutcome outcome = PortOutcome::Sent;
    std::vector<std::string> errors;
    // The UTC offset of the civil time it was last set to (its zone's, or the computer's).
    std::optional<std::int32_t> setWithUtcOffsetSeconds;

    // --every: its last sequence or try failed, and that was told; a try of it is under way; when
    // the next try is due (monotonic microseconds).
    bool failing = false;
    bool trying = false;
    std::int64_t nextTry = 0;

    const std::string& Label() const { return device.Label(); }

    // A sequence begins for it: no outcome yet but success, no error.
    void BeginSequence() {
        outcome = PortOutcome::Sent;
        errors.clear();
    }
    // It failed: the worst outcome stays, every error is kept, and its link is let go.
    void Fail(PortOutcome failure, std::string error) {
        if (outcome == PortOutcome::Sent) {
            outcome = failure;
        }
        errors.push_back(std::move(error));
        link.reset();
    }
};

// The devices of one sequence.
using DeviceRecords = std::vector<DeviceRecord*>;

// A record for each device, in the order given.
inline std::vector<DeviceRecord> RecordsOf(const std::vector<SyncDevice>& devices) {
    return {devices.begin(), devices.end()};
}

// Pointers to all of them, for a sequence on every device.
inline DeviceRecords AllOf(std::vector<DeviceRecord>& records) {
    DeviceRecords all;
    for (DeviceRecord& record : records) {
        all.push_back(&record);
    }
    return all;
}

} // namespace kalvor_sync

#pragma once

#include "ClockChange.h"
#include "ClockCheck.h"
#include "tools/kalvor-sync/links/DeviceOpening.h"
#include "tools/kalvor-sync/sequence/SequenceRun.h"
#include "tools/kalvor-sync/status/RunReason.h"
#include "tools/kalvor-sync/status/StatusReporter.h"

#include <cstdint>
#include <vector>

namespace kalvor_sync {

// --every: sets the devices every period, from now until the user asks to stop, and between
// periods sets them again when the computer's clock steps, when the local time's offset from UTC
// changes, and (those devices alone) when devices that failed are back. The clocks are looked at
// every quarter of a second. A device that failed is tried again half a second after its last
// try ended, on a fresh connection; the devices due together are tried together, their
// connections running at the same time and while the clocks are watched, and each is set the
// moment it answers. The other runs leave the failed devices to their tries, so that a device
// that never answers delays nobody. A few cheap calls, so the watch costs next to nothing while
// it waits. With --require-synced, a sequence the clock check holds back waits, the clock asked
// again every second, until the clock is synchronised. What each sequence did is told to the
// StatusReporter; the quiet tries of a device that is gone are not sequences, and are not told.
class KeepInSync {
public:
    static constexpr int kClockLookMilliseconds = 250;
    static constexpr int kPortRetryMilliseconds = 500;
    static constexpr int kClockWaitMilliseconds = 1000;
    // A zone's change of offset is prepared this long before it: its devices are opened (a
    // network device within its 3 s) and their sequence begins 1.2 s before the change.
    static constexpr std::int64_t kZoneLeadMicroseconds = 5'000'000;
    // How far ahead the zones' changes are looked for; no zone goes a year without one it has.
    static constexpr std::int64_t kZoneHorizonSeconds = std::int64_t{400} * 86'400;

    // `devices` are the run's records, which it keeps for as long as it runs.
    // `reference`, when there is one, is the time reference the clock check asks; the follow loop
    // watches it too.
    KeepInSync(SequenceRun& run, ClockCheck& check, StatusReporter& reporter,
               std::vector<DeviceRecord>& devices, const NetworkOptions& network,
               std::int64_t periodMicroseconds, SyncLog& log,
               const platform::Interruption& interruption,
               const reference::TimeReference* reference = nullptr)
        : m_run(run), m_check(check), m_reporter(reporter), m_devices(devices), m_network(network),
          m_periodMicroseconds(periodMicroseconds), m_log(log), m_interruption(interruption),
          m_tries(network), m_reference(reference) {}

    // The exit status: 0 when stopped between sequences, 130 when stopped during one.
    int Run();

private:
    enum class Step { Done, HeldBack, Interrupted };

    // A run that is due: why, and for which devices: all of them, those that show the computer's
    // local time (`localOnly`: its UTC offset changed), or those of `zone` (whose offset changes
    // at `setAt`, when their devices take the time).
    struct Due {
        RunReason reason;
        const DeviceZone* zone = nullptr;
        bool localOnly = false;
        std::optional<std::int64_t> setAt;

        bool All() const { return zone == nullptr && !localOnly; }
        bool Takes(const DeviceRecord& device) const {
            return zone != nullptr ? device.device.zone.get() == zone
                                   : !localOnly || device.device.zone == nullptr;
        }
    };
    // The next change of a device's zone's UTC offset after `after` (microseconds since 1970
    // UTC), and the zone.
    struct ZoneChange {
        std::int64_t at = 0;
        const DeviceZone* zone = nullptr;
    };
    std::optional<ZoneChange> NextZoneChange(std::int64_t after) const;

    // One sequence on the devices chosen, opened here or (`opened`) by their tries, for
    // `reason`, the devices taking the time at `setAt` when given; held back while the clock
    // check says so.
    Step Sequence(const DeviceRecords& chosen, bool opened, const RunReason& reason,
                  std::optional<std::int64_t> setAt = std::nullopt);
    // Tells what became of each chosen device: a device that goes once, and its return once.
    void Tell(const DeviceRecords& chosen);
    // Waits up to `milliseconds` (less when a try ends), moving the tries on meanwhile; true once
    // the user asked to stop.
    bool Wait(int milliseconds);
    // Sets the devices whose tries found them back (`setSome` tells whether any), and starts a
    // try of each failed device that is due. False when the user asked to stop meanwhile.
    bool Retry(std::int64_t now, bool& setSome);
    // The reference's true time minus the monotonic clock, now; nothing while it tells no time.
    ReferenceOffset ReferenceOffsetAt(const platform::ClockReadings& now) const;

    SequenceRun& m_run;
    ClockCheck& m_check;
    StatusReporter& m_reporter;
    std::vector<DeviceRecord>& m_devices; // their follow state written by this object's thread
    const NetworkOptions m_network;
    const std::int64_t m_periodMicroseconds;
    SyncLog& m_log;
    const platform::Interruption& m_interruption;
    DeviceOpening m_tries; // the tries under way
    const reference::TimeReference* m_reference;
    ReferenceOffset m_setWith; // what the devices were last set with (ClockChange.h)
};

} // namespace kalvor_sync

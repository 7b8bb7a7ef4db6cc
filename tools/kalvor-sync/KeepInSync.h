#pragma once

#include "ClockCheck.h"
#include "DeviceOpening.h"
#include "SequenceRun.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace kalvor_sync {

// --every: sets the devices every period, from now until the user asks to stop, and between
// periods sets them again when the computer's clock steps, when the local time's offset from UTC
// changes, and (those devices alone) when devices that failed are back. The clocks are looked at
// every quarter of a second. Devices that failed are tried every half second, all in one try:
// its connections run while the clocks are watched, and the devices that answer are set in one
// sequence. A few cheap calls, so the watch costs next to nothing while it waits.
class KeepInSync {
public:
    static constexpr int kClockLookMilliseconds = 250;
    static constexpr int kPortRetryMilliseconds = 500;

    KeepInSync(SequenceRun& run, ClockCheck& check, std::vector<SyncDevice> devices,
               std::int64_t periodMicroseconds, SyncLog& log,
               const platform::Interruption& interruption)
        : m_run(run), m_check(check), m_devices(std::move(devices)),
          m_periodMicroseconds(periodMicroseconds), m_log(log), m_interruption(interruption),
          m_failing(m_devices.size(), false) {}

    // The exit status: 0 when stopped between sequences, 130 when stopped during one, 4 when
    // --require-synced refused a sequence.
    int Run();

private:
    // The devices of one sequence: indexes into m_devices.
    using Chosen = std::vector<std::size_t>;

    // One sequence on the devices chosen, opened here (`opened` empty) or by a try, for `reason`
    // (empty for the periodic runs). The exit status when the run must end here (Ctrl-C, a
    // refusal), nothing when it goes on.
    std::optional<int> Sequence(const Chosen& chosen, std::vector<OpenedDevice> opened,
                                const std::string& reason);
    // Tells what became of each chosen device: a device that goes once, and its return once.
    void Tell(const Chosen& chosen, const SequenceResult& result);
    // Waits up to `milliseconds`, moving the try of the failed devices on meanwhile, if one runs;
    // true once the user asked to stop.
    bool Wait(int milliseconds);
    // Starts a try of every device that failed, unless one runs.
    void StartTry();

    SequenceRun& m_run;
    ClockCheck& m_check;
    const std::vector<SyncDevice> m_devices;
    const std::int64_t m_periodMicroseconds;
    SyncLog& m_log;
    const platform::Interruption& m_interruption;
    std::vector<bool> m_failing; // per device: its last sequence failed, and that was told
    // The try of the devices that failed, while it runs, and which devices it opens.
    std::unique_ptr<DeviceOpening> m_try;
    Chosen m_tried;
};

} // namespace kalvor_sync

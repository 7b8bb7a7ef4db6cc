#pragma once

#include "ClockCheck.h"
#include "RunReason.h"
#include "SequenceRun.h"
#include "StatusReporter.h"

#include <cstdint>
#include <vector>

namespace kalvor_sync {

// --every: sets the devices every period, from now until the user asks to stop, and between
// periods sets them again when the computer's clock steps, when the local time's offset from UTC
// changes, and (that device alone) when a port that failed is back. The clocks are looked at
// every quarter of a second and failed ports tried every half second: a few cheap calls, so the
// watch costs next to nothing while it waits. With --require-synced, a sequence the clock check
// holds back waits, the clock asked again every second, until the clock is synchronised. What
// each sequence did is told to the StatusReporter; the quiet tries of a port that is gone only
// once it is back.
class KeepInSync {
public:
    static constexpr int kClockLookMilliseconds = 250;
    static constexpr int kPortRetryMilliseconds = 500;
    static constexpr int kClockWaitMilliseconds = 1000;

    KeepInSync(SequenceRun& run, ClockCheck& check, StatusReporter& reporter,
               std::vector<platform::PortName> ports, std::int64_t periodMicroseconds, SyncLog& log,
               const platform::Interruption& interruption)
        : m_run(run), m_check(check), m_reporter(reporter), m_ports(std::move(ports)),
          m_periodMicroseconds(periodMicroseconds), m_log(log), m_interruption(interruption),
          m_failing(m_ports.size(), false) {}

    // The exit status: 0 when stopped between sequences, 130 when stopped during one.
    int Run();

private:
    enum class Step { Done, HeldBack, Interrupted };

    // One sequence on the ports chosen (all when `only` is null), for `reason`, telling a port
    // that goes once and its return once; held back while the clock check says so.
    Step Sequence(const platform::PortName* only, const RunReason& reason);

    SequenceRun& m_run;
    ClockCheck& m_check;
    StatusReporter& m_reporter;
    const std::vector<platform::PortName> m_ports;
    const std::int64_t m_periodMicroseconds;
    SyncLog& m_log;
    const platform::Interruption& m_interruption;
    std::vector<bool> m_failing; // per port: its last sequence failed, and that was told
};

} // namespace kalvor_sync

#pragma once

#include "Verbosity.h"
#include "platform/LocalInstant.h"
#include "timeset/TimeFrame.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>

namespace kalvor_sync {

// What kalvor-sync tells: results and, when verbose, each frame on standard output; errors on
// standard error. Every line is written whole, under a lock, whichever thread writes it.
//
// Where a system log takes the program's events (the Windows Event Log, when it runs as a
// service there), each device set, warning, failure and recovery goes there too, whatever the
// verbosity.
class SyncLog {
public:
    enum class Event { DeviceSet, Warning, Failure, Recovery };
    // Takes one event and its line (without the program's name); called under the log's lock.
    using EventSink = std::function<void(Event, const std::string&)>;

    SyncLog(std::ostream& out, std::ostream& errors, Verbosity verbosity, EventSink events = {})
        : m_out(out), m_errors(errors), m_verbosity(verbosity), m_events(std::move(events)) {}

    // One frame handed to `devices` devices at `at`, which took `microseconds` from the first
    // write's start to the last write's end; shown with --verbose.
    void Frame(const LocalInstant& at, int stepIndex, const TimeFrame& frame, std::size_t devices,
               std::int64_t microseconds);
    // A device set; not shown with --quiet.
    void DeviceSet(const std::string& line);
    // A detail shown with --verbose only.
    void Detail(const std::string& line);
    // Something the user should know although nothing failed; always shown, on standard error.
    void Warning(const std::string& line);
    // A failure, always shown, prefixed with the program's name.
    void Error(const std::string& line);
    // A device that failed works again: shown as errors are.
    void Recovery(const std::string& line);

private:
    std::mutex m_mutex; // taken by whichever thread writes a line
    std::ostream& m_out;
    std::ostream& m_errors;
    const Verbosity m_verbosity;
    const EventSink m_events;
};

} // namespace kalvor_sync

#pragma once

#include "CommandLine.h"
#include "platform/LocalInstant.h"
#include "timeset/TimeFrame.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>

namespace kalvor_sync {

// What kalvor-sync tells: results and, when verbose, each frame on standard output; errors on
// standard error. Both threads of a run write here (the port's monitor reports its failures), so
// every line is written whole.
class SyncLog {
public:
    SyncLog(std::ostream& out, std::ostream& errors, SyncCommand::Verbosity verbosity)
        : m_out(out), m_errors(errors), m_verbosity(verbosity) {}

    // One frame handed to `devices` devices at `at`, which took `microseconds` from the first
    // write's start to the last write's end; shown with --verbose.
    void Frame(const LocalInstant& at, int stepIndex, const TimeFrame& frame, std::size_t devices,
               std::int64_t microseconds);
    // A result; not shown with --quiet.
    void Note(const std::string& line);
    // A detail shown with --verbose only.
    void Detail(const std::string& line);
    // Something the user should know although nothing failed; always shown, on standard error.
    void Warning(const std::string& line);
    // A failure, always shown, prefixed with the program's name.
    void Error(const std::string& line);

private:
    std::mutex m_mutex; // taken by whichever thread writes a line
    std::ostream& m_out;
    std::ostream& m_errors;
    const SyncCommand::Verbosity m_verbosity;
};

} // namespace kalvor_sync

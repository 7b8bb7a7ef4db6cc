#pragma once

#include "SimulatorRun.h"
#include "platform/PortName.h"

#include <optional>
#include <string>

namespace kalvor_sim {

// What the simulator was asked to do, from its command line.
struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };
    Action m_action = Action::Run;
    RunOptions m_options;
    std::string m_replayPath;                 // --replay FILE: raw bytes
    std::string m_hexPath;                    // --hex FILE: hex text; "-" for standard input
    std::optional<platform::PortName> m_port; // --port N|COMn|DEVICE
    std::string m_error;                      // with UsageError: what is wrong, for stderr
};

CommandLine ParseCommandLine(int argc, const char* const argv[]);

// The --help text: options, output and exit codes.
const char* UsageText();

} // namespace kalvor_sim

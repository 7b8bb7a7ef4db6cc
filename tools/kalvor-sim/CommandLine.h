#pragma once

#include "SimulatorRun.h"
#include "platform/PortName.h"
#include "tools/common/NetworkDevice.h"

#include <optional>
#include <string>
#include <vector>

namespace kalvor_sim {

// What the simulator was asked to do, from its command line.
struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };
    Action m_action = Action::Run;
    RunOptions m_options;
    std::string m_replayPath;                 // --replay FILE: raw bytes
    std::string m_hexPath;                    // --hex FILE: hex text; "-" for standard input
    std::optional<platform::PortName> m_port; // --port N|COMn|DEVICE
    // --port tcp://ADDRESS:PORT or rfc2217://ADDRESS:PORT, each --devices N times (on the ports
    // that follow PORT, or on free ports for 0)
    std::vector<kalvor_tools::NetworkDevice> m_listen;
    // --zone AREA/CITY: the device shows that zone's civil time, and is judged against it; empty:
    // the computer's local time.
    std::string m_zone;
    std::string m_error; // with UsageError: what is wrong, for stderr
};

CommandLine ParseCommandLine(int argc, const char* const argv[]);

// The --help text: options, output and exit codes.
const char* UsageText();

} // namespace kalvor_sim

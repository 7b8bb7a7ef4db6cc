#pragma once

#include "SimulatorRun.h"

#include <string>

// What the simulator was asked to do, from its command line.
struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };
    Action m_action = Action::Run;
    RunOptions m_options;
    std::string m_replayPath; // --replay FILE: raw bytes
    std::string m_hexPath;    // --hex FILE: hex text; "-" for standard input
    int m_portNumber = 0;     // --port N, or a device's number; 0 for none
    std::string m_portDevice; // --port DEVICE: the path that stands for m_portNumber
    std::string m_error;      // with UsageError: what is wrong, for stderr
};

CommandLine ParseCommandLine(int argc, const char* const argv[]);

// The --help text: options, output and exit codes.
const char* UsageText();

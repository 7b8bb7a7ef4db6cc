#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

namespace kalvor_tools {

// The flags every tool has: --help (-h) and --version. Each tool prints its own texts for them.
struct CommonFlags {
    bool help = false;
    bool version = false;
};
void AddCommonFlags(CLI::App& app, CommonFlags& flags);

// --port, one value each time it is given; the texts are read with ParsePortArgument
// (PortArgument.h) once the line is parsed, and a tool that takes one port refuses more.
CLI::Option* AddPortOption(CLI::App& app, std::vector<std::string>& texts);

// Parses the command line into the options of `app`. Nothing when it is fine; otherwise what is
// wrong with it, in the tools' own words ("--hex needs a value", "unknown option --bogus").
std::optional<std::string> ParseArguments(CLI::App& app, int argc, const char* const argv[]);

} // namespace kalvor_tools

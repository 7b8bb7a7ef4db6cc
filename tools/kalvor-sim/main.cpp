// kalvor-sim: a simulated clock device. See UsageText() for what it does.
#include "CommandLine.h"
#include "NetworkSimulator.h"
#include "PortSource.h"
#include "ReplaySources.h"
#include "platform/LocalTime.h"
#include "platform/SystemClock.h"
#include "tools/common/PortErrorWords.h"
#include "tools/common/zones/CivilTime.h"
#include "tools/common/zones/ZoneLibrary.h"

#include <fstream>
#include <iostream>
#include <memory>

using namespace kalvor_sim;

int main(int argc, char* argv[]) {
    const CommandLine command = ParseCommandLine(argc, argv);
    switch (command.m_action) {
    case CommandLine::Action::Help:
        std::cout << UsageText();
        return 0;
    case CommandLine::Action::Version:
        std::cout << "kalvor-sim " KALVOR_VERSION "\n";
        return 0;
    case CommandLine::Action::UsageError:
        std::cerr << "kalvor-sim: " << command.m_error << "\n(kalvor-sim --help tells more)\n";
        return 2;
    case CommandLine::Action::Run:
        break;
    }

    // A device of a zone reads that zone's civil time off the computer's clock.
    LocalClock clock = [] { return platform::ReadLocalTime(); };
    if (!command.m_zone.empty()) {
        std::string error;
        auto zone = kalvor_zones::ZoneLibrary::System().Load(command.m_zone, error);
        if (!zone) {
            std::cerr << "kalvor-sim: --zone " << command.m_zone << ": " << error
                      << "\n(kalvor-sim --help tells more)\n";
            return 2;
        }
        clock = [rules = std::move(*zone)] {
            return kalvor_zones::CivilTimeAt(rules, platform::SystemClockMicroseconds());
        };
    }
    if (!command.m_listen.empty()) {
        return RunNetworkSimulator(command.m_listen, clock, command.m_options, std::cout,
                                   std::cerr);
    }

    std::unique_ptr<ByteSource> source;
    std::ifstream hexFile;
    if (command.m_port) {
        std::optional<platform::PortError> failure;
        source = PortSource::Open(*command.m_port, failure);
        if (!source) {
            std::cerr << "kalvor-sim: " << kalvor_tools::PortErrorInWords(*failure) << '\n';
            return 1;
        }
    } else if (!command.m_replayPath.empty()) {
        std::string error;
        source = RawFileSource::Open(command.m_replayPath, error);
        if (!source) {
            std::cerr << "kalvor-sim: " << error << '\n';
            return 1;
        }
    } else if (command.m_hexPath == "-") {
        source = std::make_unique<HexTextSource>(std::cin, "standard input");
    } else {
        hexFile.open(command.m_hexPath);
        if (!hexFile) {
            std::cerr << "kalvor-sim: cannot open " << command.m_hexPath << '\n';
            return 1;
        }
        source = std::make_unique<HexTextSource>(hexFile, command.m_hexPath);
    }

    return RunSimulator(*source, clock, command.m_options, std::cout, std::cerr);
}

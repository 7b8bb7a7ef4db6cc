// kalvor-sync: sets clock devices' date and time from the command line. See SyncUsageText().
#include "platform/ClockSync.h"
#include "tools/common/zones/ZoneLibrary.h"
#include "tools/kalvor-sync/command/CommandLine.h"
#include "tools/kalvor-sync/command/ExitStatus.h"
#include "tools/kalvor-sync/command/UsageText.h"
#include "tools/kalvor-sync/program/DryRun.h"
#include "tools/kalvor-sync/program/SyncProgram.h"
#include "tools/kalvor-sync/service/ServiceCommand.h"

#include <iostream>

using namespace kalvor_sync;

namespace {

// Which zone data the devices' zones are read from: "zone data 2026f in /usr/share/zoneinfo".
std::string ZoneDataLine() {
    const kalvor_zones::ZoneLibrary zones = kalvor_zones::ZoneLibrary::System();
    const std::string version = zones.Version();
    return version.empty() ? "zone data: none found in " + zones.Folder()
                           : "zone data " + version + " in " + zones.Folder();
}

} // namespace

int main(int argc, char* argv[]) {
    const SyncCommand command = ParseSyncCommand(argc, argv);
    switch (command.m_action) {
    case SyncCommand::Action::Help:
        std::cout << SyncUsageText();
        return kExitSent;
    case SyncCommand::Action::Version:
        std::cout << "kalvor-sync " KALVOR_VERSION "\n" << ZoneDataLine() << "\n";
        return kExitSent;
    case SyncCommand::Action::UsageError:
        std::cerr << "kalvor-sync: " << command.m_error << "\n(kalvor-sync --help tells more)\n";
        return kExitUsage;
    case SyncCommand::Action::DryRun:
        PrintDryRun(command, std::cout);
        return kExitSent;
    case SyncCommand::Action::InstallService:
        return InstallSyncService(command, std::cout, std::cerr);
    case SyncCommand::Action::UninstallService:
        return UninstallSyncService(std::cout, std::cerr);
    case SyncCommand::Action::Sync:
        break;
    }
    if (command.m_runAsService) {
        return RunSyncService(command, std::cerr);
    }
    return RunSync(command, std::cout, std::cerr, &platform::ReadClockSyncState);
}

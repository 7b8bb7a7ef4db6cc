// kalvor-sync's service commands against a service manager the test stands in for: what is
// installed for a command line, and what each answer of the manager becomes (the words and the
// exit status a script or an installer checks). The real manager is met under Wine by
// kalvor_sync_service_test.sh; one that refuses access cannot be had there.
#include "tools/kalvor-sync/command/CommandLine.h"
#include "tools/kalvor-sync/command/ExitStatus.h"
#include "tools/kalvor-sync/service/ServiceCommand.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace kalvor_sync;

namespace {

SyncCommand Parsed(std::vector<const char*> words) {
    words.insert(words.begin(), "kalvor-sync");
    return ParseSyncCommand(static_cast<int>(words.size()), words.data());
}

struct Told {
    int status = -1;
    std::string out, errors;
};

Told Install(const SyncCommand& command, platform::ServiceResult answer,
             platform::ServiceDefinition* asked = nullptr) {
    std::ostringstream out, errors;
    Told told;
    told.status = InstallSyncService(command, out, errors,
                                     [&](const platform::ServiceDefinition& definition) {
                                         if (asked != nullptr) {
                                             *asked = definition;
                                         }
                                         return answer;
                                     });
    told.out = out.str();
    told.errors = errors.str();
    return told;
}

Told Uninstall(platform::ServiceResult answer) {
    std::ostringstream out, errors;
    Told told;
    told.status = UninstallSyncService(out, errors, [&](const std::string& name) {
        EXPECT_EQ(name, "kalvor-sync");
        return answer;
    });
    told.out = out.str();
    told.errors = errors.str();
    return told;
}

// A command as --install-service makes it; the parser refuses it where there are no services.
SyncCommand InstallCommand() {
    SyncCommand command =
        Parsed({"--port", "COM3", "--every", "24h", "--status-file", "C:\\Kalvor data\\status.json",
                "--metrics-file", "C:\\metrics\\kalvor.prom"});
    command.m_action = SyncCommand::Action::InstallService;
    command.m_serviceArguments = {"--run-as-service",
                                  "--port",
                                  "COM3",
                                  "--every",
                                  "24h",
                                  "--status-file",
                                  "C:\\Kalvor data\\status.json",
                                  "--metrics-file",
                                  "C:\\metrics\\kalvor.prom"};
    return command;
}

TEST(SyncServiceCommand, TheServiceRunsTheCommandLineGivenAndMayWriteItsFilesFolders) {
    platform::ServiceDefinition asked;
    const Told told = Install(InstallCommand(), {}, &asked);
    EXPECT_EQ(told.status, kExitSent) << told.errors;
    EXPECT_EQ(asked.name, "kalvor-sync");
    EXPECT_EQ(asked.displayName, "Kalvor clock sync");
    EXPECT_EQ(asked.arguments, InstallCommand().m_serviceArguments);
    EXPECT_EQ(asked.writableFolders, (std::vector<std::string>{"C:\\Kalvor data", "C:\\metrics"}));
    EXPECT_NE(told.out.find("installed the service kalvor-sync (\"Kalvor clock sync\")"),
              std::string::npos);
    EXPECT_NE(told.out.find("sc start kalvor-sync"), std::string::npos);
}

TEST(SyncServiceCommand, EachRefusalHasItsOwnExitStatusAndSaysWhatToDo) {
    const SyncCommand command = InstallCommand();
    const Told twice = Install(command, {platform::ServiceOutcome::AlreadyInstalled,
                                         "the service kalvor-sync is installed already"});
    EXPECT_EQ(twice.status, kExitServiceInstalledAlready);
    EXPECT_NE(twice.errors.find("remove it first (kalvor-sync --uninstall-service)"),
              std::string::npos);
    const Told denied = Install(command, {platform::ServiceOutcome::AccessDenied,
                                          "cannot reach the service manager: Access is denied."});
    EXPECT_EQ(denied.status, kExitServiceAccessDenied);
    EXPECT_EQ(denied.errors, "kalvor-sync: cannot reach the service manager: Access is denied.; "
                             "installing and removing services is for administrators: run it "
                             "from a command prompt run as administrator\n");
    EXPECT_EQ(denied.out, "");
    const Told broken =
        Install(command, {platform::ServiceOutcome::Failed, "cannot install: it broke"});
    EXPECT_EQ(broken.status, kExitServiceFailed);
    const Told noAccount =
        Install(command, {platform::ServiceOutcome::Done, "runs as LocalSystem"});
    EXPECT_EQ(noAccount.status, kExitSent);
    EXPECT_EQ(noAccount.errors, "kalvor-sync: warning: runs as LocalSystem\n");

    EXPECT_EQ(Uninstall({}).status, kExitSent);
    EXPECT_EQ(Uninstall({platform::ServiceOutcome::NotInstalled, "no service"}).status,
              kExitServiceNotInstalled);
    EXPECT_EQ(Uninstall({platform::ServiceOutcome::AccessDenied, "denied"}).status,
              kExitServiceAccessDenied);
}

TEST(SyncServiceCommand, TheCommandLineOfAServiceIsCheckedBeforeAnythingIsInstalled) {
    if (!platform::ServicesAvailable()) {
        const SyncCommand linux = Parsed({"--install-service", "--port", "1", "--every", "1h"});
        EXPECT_EQ(linux.m_action, SyncCommand::Action::UsageError);
        EXPECT_NE(linux.m_error.find("kalvor-sync-follow@.service"), std::string::npos);
        return;
    }
    const SyncCommand install = Parsed({"--install-service", "--port", "COM3", "--every", "24h",
                                        "--status-file", "D:\\kalvor\\status.json"});
    ASSERT_EQ(install.m_action, SyncCommand::Action::InstallService) << install.m_error;
    EXPECT_EQ(install.m_serviceArguments,
              (std::vector<std::string>{"--run-as-service", "--port", "COM3", "--every", "24h",
                                        "--status-file", "D:\\kalvor\\status.json"}));
    for (const auto& [words, error] : std::vector<std::pair<std::vector<const char*>, const char*>>{
             {{"--install-service", "--port", "COM3"}, "needs --every"},
             {{"--install-service", "--port", "COM3", "--every", "1h", "--status-file", "s.json"},
              "needs the full path"},
             {{"--install-service", "--uninstall-service"}, "exclude each other"},
             {{"--uninstall-service", "--port", "COM3"}, "takes no other options"},
             {{"--install-service", "--every", "1h"}, "give a port"}}) {
        const SyncCommand refused = Parsed(words);
        EXPECT_EQ(refused.m_action, SyncCommand::Action::UsageError) << words[0];
        EXPECT_NE(refused.m_error.find(error), std::string::npos) << refused.m_error;
    }
    EXPECT_EQ(Parsed({"--uninstall-service"}).m_action, SyncCommand::Action::UninstallService);
    EXPECT_NE(DefaultServiceStatusFile().find("\\Kalvor\\kalvor-sync\\status.json"),
              std::string::npos);
}

} // namespace

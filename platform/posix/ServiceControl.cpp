#include "platform/ServiceControl.h"

namespace platform {

namespace {

constexpr const char* kNoServices =
    "this system's services are its init system's units, which run the program themselves";

} // namespace

bool ServicesAvailable() {
    return false;
}

ServiceResult InstallService(const ServiceDefinition&) {
    return {ServiceOutcome::Failed, kNoServices};
}

ServiceResult UninstallService(const std::string&) {
    return {ServiceOutcome::Failed, kNoServices};
}

std::string SharedDataFolder() {
    return {};
}

ServiceRun RunAsService(const std::string&, const ServiceBody&) {
    return {.failure = kNoServices};
}

} // namespace platform

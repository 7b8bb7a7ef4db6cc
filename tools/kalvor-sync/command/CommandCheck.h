#pragma once

#include "SyncCommand.h"

#include <optional>
#include <string>

namespace kalvor_sync {

// The rules the options of a command obey together, the service's among them, checked on the
// configuration the command line made: settles the action, the verbosity and the service's part,
// or says what is wrong.
std::optional<std::string> CheckSyncCommand(SyncCommand& command);

} // namespace kalvor_sync

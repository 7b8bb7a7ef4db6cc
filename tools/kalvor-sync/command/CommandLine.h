#pragma once

#include "SyncCommand.h"

namespace kalvor_sync {

// kalvor-sync's command line as a configuration: the options' values read (durations, offsets,
// the devices of --port and --ports-from, the instant of --at, the files), then the rules they
// obey together checked (CommandCheck.h). With Action::UsageError, m_error says what is wrong.
SyncCommand ParseSyncCommand(int argc, const char* const argv[]);

} // namespace kalvor_sync

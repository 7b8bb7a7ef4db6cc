#pragma once

#include "tools/kalvor-sync/command/SyncCommand.h"

#include <ostream>

namespace kalvor_sync {

// --dry-run: the seven frames in hex, one per line, for the sequence that would be sent now, or
// for --at's local time. With --verbose each line leads with the local time its write would
// begin and ends with the field's name, and a last line tells the time the device would take.
void PrintDryRun(const SyncCommand& command, std::ostream& out);

} // namespace kalvor_sync

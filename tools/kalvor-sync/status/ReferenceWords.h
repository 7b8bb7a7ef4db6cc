#pragma once

#include "tools/kalvor-sync/reference/ReferenceReport.h"

#include <string>

namespace kalvor_sync {

// The time reference's state in one sentence, as the log, the status line and the Event Log
// tell it: "the time reference is synchronised: 2 of 3 servers answer; error bound 0.812 ms",
// "the time reference is in holdover: no server has answered lately; error bound 41.2 ms",
// "the time reference is unsynchronised: 127.0.0.1:10123: no answer".
std::string ReferenceSentence(const reference::ReferenceReport& report);

} // namespace kalvor_sync

#pragma once

#include "SyncStatus.h"

#include <string>

namespace kalvor_sync {

// The status as metrics in the Prometheus text format, for a node exporter's textfile
// collector: one HELP and one TYPE line per family, its samples after them, no timestamps (the
// collector refuses them). Times are seconds since 1970-01-01 UTC; a device never set has 0.
// Every series is labelled with its device, so that the files of several runs can be read
// together.
std::string StatusToMetrics(const SyncStatus& status);

} // namespace kalvor_sync

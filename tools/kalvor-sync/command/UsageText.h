#pragma once

namespace kalvor_sync {

// The --help text: what kalvor-sync does, its options and its exit statuses.
const char* SyncUsageText();

} // namespace kalvor_sync

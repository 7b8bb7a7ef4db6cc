#pragma once

namespace kalvor_sync {

// How much kalvor-sync tells on standard output: --quiet, the default, --verbose.
enum class Verbosity { Quiet, Normal, Verbose };

} // namespace kalvor_sync

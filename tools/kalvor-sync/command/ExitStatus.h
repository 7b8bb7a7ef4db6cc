#pragma once

namespace kalvor_sync {

// kalvor-sync's exit statuses, as --help tells them.
inline constexpr int kExitSent = 0;
inline constexpr int kExitPortNotOpened = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitSendFailed = 3;
inline constexpr int kExitClockNotSynced = 4;
inline constexpr int kExitServiceInstalledAlready = 5;
inline constexpr int kExitServiceNotInstalled = 6;
inline constexpr int kExitServiceAccessDenied = 7;
inline constexpr int kExitServiceFailed = 8;
inline constexpr int kExitInterrupted = 130;

} // namespace kalvor_sync

#pragma once

#include "NetworkLink.h"
#include "platform/Socket.h"
#include "tools/kalvor-sync/devices/SyncDevice.h"

namespace kalvor_sync {

// How network devices are reached: the look-up of names, and the time limit within which a
// device must be connected (and its RFC 2217 line set up). They belong to whoever opens devices.
struct NetworkOptions {
    HostResolver resolve = &platform::ResolveTcp;
    int connectLimitSeconds = kConnectLimitSeconds;
};

} // namespace kalvor_sync

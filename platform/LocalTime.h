#pragma once

#include "platform/LocalInstant.h"

namespace platform {

// One reading of the computer's local clock.
LocalInstant ReadLocalTime();

} // namespace platform

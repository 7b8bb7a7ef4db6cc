#pragma once

#include "platform/LocalTime.h"

#include <functional>

// Where the clock display reads the local time. The program reads the platform's clock; a test
// may hand the dialog a clock of its own.
using ClockSource = std::function<LocalInstant()>;

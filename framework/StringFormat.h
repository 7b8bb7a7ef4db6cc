#pragma once

#include <string>

// A narrow string built from a printf format, as the framework string's Format builds it.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

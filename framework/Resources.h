#pragma once

#include <string>
#include <windows.h>

// A string of the program's string table in the ANSI code page; empty when it has none.
std::string AfxLoadString(UINT id);

// An icon of the program's resources at the system's standard icon size; shared, never
// destroyed.
HICON AfxLoadIcon(UINT id);

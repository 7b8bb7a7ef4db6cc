#pragma once

#include <string>
#include <windows.h>

// A modal message box; the calling thread waits until it is dismissed. Usable from any thread:
// with no owner (null) it stands alone, else the owner is disabled while it is open.
int AfxShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

#include "framework/MessageBox.h"

int AfxShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
    return ::MessageBoxA(owner, text.c_str(), caption.c_str(), type);
}

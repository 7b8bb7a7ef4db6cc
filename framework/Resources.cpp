#include "framework/Resources.h"

std::string AfxLoadString(UINT id) {
    // A string-table entry holds at most 65535 characters; two bytes each in a double-byte
    // code page.
    std::string text(2 * 65535 + 1, '\0');
    const int length =
        ::LoadStringA(::GetModuleHandleA(nullptr), id, text.data(), static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return text;
}

HICON AfxLoadIcon(UINT id) {
    return ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
}

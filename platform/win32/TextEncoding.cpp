#include "platform/TextEncoding.h"

#include <windows.h>

namespace platform {

namespace {

// `text` from one code page to another, through UTF-16; unchanged when it cannot be converted.
std::string Convert(const std::string& text, UINT from, UINT to) {
    if (text.empty()) {
        return text;
    }
    const int wide =
        ::MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (wide <= 0) {
        return text;
    }
    std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
    ::MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), utf16.data(), wide);
    const int narrow =
        ::WideCharToMultiByte(to, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    if (narrow <= 0) {
        return text;
    }
    std::string out(static_cast<std::size_t>(narrow), '\0');
    ::WideCharToMultiByte(to, 0, utf16.data(), wide, out.data(), narrow, nullptr, nullptr);
    return out;
}

} // namespace

std::string SystemTextToUtf8(const std::string& text) {
    return Convert(text, CP_ACP, CP_UTF8);
}

std::string Utf8ToSystemText(const std::string& text) {
    return Convert(text, CP_UTF8, CP_ACP);
}

} // namespace platform

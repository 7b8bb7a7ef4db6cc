#include "platform/ProfileString.h"

#include <vector>
#include <windows.h>

namespace platform {
namespace {

std::wstring Wide(const std::string& text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

std::string Narrow(const std::wstring& text) {
    const int length =
        ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow.data(), length, nullptr, nullptr);
    narrow.resize(narrow.size() - 1);
    return narrow;
}

// The extended-length form of an absolute path, which the file functions take past MAX_PATH.
std::wstring ExtendedLengthPath(const std::wstring& path) {
    if (path.starts_with(L"\\\\?\\")) {
        return path;
    }
    if (path.starts_with(L"\\\\")) {
        return L"\\\\?\\UNC\\" + path.substr(2);
    }
    return L"\\\\?\\" + path;
}

// The platform's profile reader may not take a path past MAX_PATH, in any form. Such a path is
// handed over as its short (8.3) form when that fits, else in its extended-length form.
std::string ReachablePath(const std::string& path) {
    if (path.size() < MAX_PATH) {
        return path;
    }
    const std::wstring extended = ExtendedLengthPath(Wide(path));
    const DWORD needed = ::GetShortPathNameW(extended.c_str(), nullptr, 0);
    if (needed > 0) {
        std::wstring shortPath(needed, L'\0');
        const DWORD length = ::GetShortPathNameW(extended.c_str(), shortPath.data(), needed);
        shortPath.resize(length < needed ? length : 0);
        if (shortPath.starts_with(L"\\\\?\\UNC\\")) {
            shortPath = L"\\\\" + shortPath.substr(8);
        } else if (shortPath.starts_with(L"\\\\?\\")) {
            shortPath = shortPath.substr(4);
        }
        const std::string narrow = Narrow(shortPath);
        if (!narrow.empty() && narrow.size() < MAX_PATH) {
            return narrow;
        }
    }
    return Narrow(extended);
}

} // namespace

std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& path, std::size_t bufferBytes) {
    if (bufferBytes == 0) {
        return {};
    }
    std::vector<char> buffer(bufferBytes, '\0');
    const std::string file = ReachablePath(path);
    ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                               static_cast<DWORD>(buffer.size()), file.c_str());
    buffer.back() = '\0';
    return std::string(buffer.data());
}

} // namespace platform

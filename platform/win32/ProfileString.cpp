#include "platform/ProfileString.h"

#include <vector>
#include <windows.h>

namespace platform {
namespace {

// The system's file functions take a path past MAX_PATH only in its extended-length form.
std::string ExtendedLengthPath(const std::string& path) {
    if (path.size() < MAX_PATH || path.starts_with("\\\\?\\")) {
        return path;
    }
    if (path.starts_with("\\\\")) {
        return "\\\\?\\UNC\\" + path.substr(2);
    }
    if (path.size() > 2 && path[1] == ':' && path[2] == '\\') {
        return "\\\\?\\" + path;
    }
    return path; // relative: the system takes it as it is or not at all
}

} // namespace

std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& path, std::size_t bufferBytes) {
    if (bufferBytes == 0) {
        return {};
    }
    std::vector<char> buffer(bufferBytes, '\0');
    const std::string file = ExtendedLengthPath(path);
    ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                               static_cast<DWORD>(buffer.size()), file.c_str());
    buffer.back() = '\0';
    return std::string(buffer.data());
}

} // namespace platform

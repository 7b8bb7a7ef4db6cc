#include "tools/common/zones/ZoneLibrary.h"

#include "platform/ZoneFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>
#include <vector>

namespace kalvor_zones {
namespace {

// Far more than any zone's file (a few kilobytes): what is longer is no zone file.
constexpr std::size_t kLargestZoneFile = 1 << 20;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string ErrorText(int code) {
    return std::generic_category().message(code);
}

bool IsDeviceName(std::string component) {
    // Windows finds its devices under any folder and with any extension: "nul.txt" too.
    component = component.substr(0, component.find('.'));
    std::transform(component.begin(), component.end(), component.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    if (component == "CON" || component == "PRN" || component == "AUX" || component == "NUL") {
        return true;
    }
    return component.size() == 4 &&
           (component.starts_with("COM") || component.starts_with("LPT")) && component[3] >= '1' &&
           component[3] <= '9';
}

std::string ComponentProblem(const std::string& component) {
    if (component.empty()) {
        return "an empty component";
    }
    if (component == "." || component == "..") {
        return "the component " + component;
    }
    if (component.front() == '-') {
        return "a component beginning with '-'";
    }
    for (const char c : component) {
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                             (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '+' || c == '.';
        if (!allowed) {
            return "a character no zone name has";
        }
    }
    if (IsDeviceName(component)) {
        return "a device's name";
    }
    return {};
}

} // namespace

std::string ZoneNameProblem(const std::string& name) {
    if (name.empty()) {
        return "no zone name";
    }
    std::string problem;
    for (std::size_t from = 0; problem.empty();) {
        const std::size_t slash = name.find('/', from);
        problem = ComponentProblem(name.substr(from, slash - from));
        if (slash == std::string::npos) {
            break;
        }
        from = slash + 1;
    }
    return problem.empty() ? std::string() : "\"" + name + "\" is no zone name: " + problem;
}

ZoneLibrary::ZoneLibrary(std::string folder) : m_folder(std::move(folder)) {}

ZoneLibrary ZoneLibrary::System() {
    return ZoneLibrary(platform::SystemZoneFolder());
}

std::optional<ZoneRules> ZoneLibrary::Load(const std::string& name, std::string& error) const {
    if (std::string problem = ZoneNameProblem(name); !problem.empty()) {
        error = std::move(problem);
        return std::nullopt;
    }
    if (m_folder.empty()) {
        error = "no zone " + name + ": the zone folder is unknown";
        return std::nullopt;
    }
    const std::string where = " in " + m_folder;
    const std::string separator = m_folder.back() == '/' ? "" : "/";
    errno = 0;
    const File file(std::fopen((m_folder + separator + name).c_str(), "rb"));
    if (!file) {
        const int code = errno;
        if (code != ENOENT && code != ENOTDIR) {
            error = "cannot open zone " + name + where + ": " + ErrorText(code);
            return std::nullopt;
        }
        // A folder can be opened on Linux and is refused as such on Windows: only "no such
        // file" says it is not there.
        errno = 0;
        const File folder(std::fopen(m_folder.c_str(), "rb"));
        if (!folder && errno == ENOENT) {
            error = "no zone " + name + ": the zone folder " + m_folder + " is missing";
        } else {
            error = "no zone " + name + where;
        }
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[16384];
    while (const std::size_t length = std::fread(chunk, 1, sizeof chunk, file.get())) {
        bytes.insert(bytes.end(), chunk, chunk + length);
        if (bytes.size() > kLargestZoneFile) {
            error = "zone " + name + where + " is too large for a compiled zone file";
            return std::nullopt;
        }
    }
    if (std::ferror(file.get())) {
        error = "cannot read zone " + name + where + ": " + ErrorText(errno);
        return std::nullopt;
    }
    std::string problem;
    auto rules = ZoneRules::FromTzif(bytes, problem);
    if (!rules) {
        error = "zone " + name + where + ": " + problem;
    }
    return rules;
}

std::string ZoneLibrary::Version() const {
    if (m_folder.empty()) {
        return {};
    }
    const std::string separator = m_folder.back() == '/' ? "" : "/";
    const File file(std::fopen((m_folder + separator + "tzdata.zi").c_str(), "rb"));
    char line[128] = {};
    if (!file || std::fgets(line, sizeof line, file.get()) == nullptr) {
        return {};
    }
    const std::string text(line);
    const std::string prefix = "# version ";
    if (!text.starts_with(prefix)) {
        return {};
    }
    const std::size_t end = text.find_first_of(" \r\n", prefix.size());
    return text.substr(prefix.size(), end == std::string::npos ? end : end - prefix.size());
}

} // namespace kalvor_zones

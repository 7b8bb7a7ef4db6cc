#pragma once

#include <cstddef>
#include <string>

namespace platform {

// One value of an initialisation file ("[section]" lines, then "key=value" lines), read with the
// platform's reader: section and key names match without regard to case; a missing file,
// section or key gives the empty text. The value is read into a buffer of `bufferBytes` bytes,
// so it keeps at most its first bufferBytes − 1 bytes. Paths of any length are found (past MAX_PATH
// through their short form where the platform's reader takes no longer one).
std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& path, std::size_t bufferBytes);

} // namespace platform

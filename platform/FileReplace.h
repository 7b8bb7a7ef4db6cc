#pragma once

#include <optional>
#include <string>

namespace platform {

// Writes `contents` as the whole of the file at `path`, so that a reader sees either the file
// as it was or all of the new one, never a part: the contents go to "<path>.tmp" in the same
// folder, which is then renamed over `path`.
//
// POSIX: rename() replaces the file in one step, whatever readers hold it open (they keep
// reading the old one). Win32: the rename fails while a reader holds the file open without
// delete sharing (as the C library's fopen does); it is tried again for about a second, after
// which the old file stays and the failure is returned. A Windows reader that opens the file
// with FILE_SHARE_DELETE never holds it up.
//
// Nothing when the file was replaced; otherwise what failed, in words naming the file and
// carrying the system's reason. The temporary file is removed on failure.
std::optional<std::string> ReplaceFileContents(const std::string& path,
                                               const std::string& contents);

} // namespace platform

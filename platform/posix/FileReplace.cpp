#include "platform/FileReplace.h"

#include "platform/SystemError.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

std::string Failure(const std::string& what, const std::string& path) {
    return "cannot " + what + " " + path + ": " + SystemErrorLine(LastSystemError());
}

// Writes all of `contents` to `fd`; false with errno set when that fails.
bool WriteAll(int fd, const std::string& contents) {
    const char* next = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = EIO;
            }
            return false;
        }
        next += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

std::optional<std::string> ReplaceFileContents(const std::string& path,
                                               const std::string& contents) {
    const std::string temporary = path + ".tmp";
    // No fsync: the files are rewritten after every sequence and mostly live in /run; after a
    // crash of the computer ext4 still gives the old file or the new one for a rename over it.
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return Failure("write", temporary);
    }
    std::optional<std::string> failure;
    if (!WriteAll(fd, contents)) {
        failure = Failure("write", temporary);
    }
    // close() gives the descriptor up whatever it returns; its failure is a write that was lost.
    if (::close(fd) != 0 && !failure) {
        failure = Failure("write", temporary);
    }
    if (!failure && ::rename(temporary.c_str(), path.c_str()) != 0) {
        failure = Failure("replace", path);
    }
    if (failure) {
        ::unlink(temporary.c_str());
    }
    return failure;
}

} // namespace platform

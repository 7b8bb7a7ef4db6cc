#include "platform/FileReplace.h"

#include "platform/SystemError.h"
#include "platform/win32/UniqueHandle.h"

#include <windows.h>

namespace platform {

namespace {

// A reader that holds the file open without delete sharing makes the rename fail for as long as
// it does; readers hold a file of a few kilobytes for a millisecond or so, so a try every 10 ms
// for a second is plenty.
constexpr int kReplaceTries = 100;
constexpr DWORD kReplacePauseMs = 10;

std::string Failure(const std::string& what, const std::string& path, DWORD error) {
    return "cannot " + what + " " + path + ": " + SystemErrorLine(error);
}

bool HeldByAReader(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
           error == ERROR_LOCK_VIOLATION;
}

} // namespace

std::optional<std::string> ReplaceFileContents(const std::string& path,
                                               const std::string& contents) {
    const std::string temporary = path + ".tmp";
    {
        const UniqueHandle file(::CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) {
            return Failure("write", temporary, ::GetLastError());
        }
        DWORD written = 0;
        if (!::WriteFile(file.Get(), contents.data(), static_cast<DWORD>(contents.size()), &written,
                         nullptr) ||
            written != contents.size()) {
            const DWORD error = ::GetLastError();
            ::DeleteFileA(temporary.c_str());
            return Failure("write", temporary, error == ERROR_SUCCESS ? ERROR_WRITE_FAULT : error);
        }
    }
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kReplaceTries; ++attempt) {
        if (::MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            return std::nullopt;
        }
        error = ::GetLastError();
        if (!HeldByAReader(error)) {
            break;
        }
        ::Sleep(kReplacePauseMs);
    }
    ::DeleteFileA(temporary.c_str());
    return Failure("replace", path, error);
}

} // namespace platform

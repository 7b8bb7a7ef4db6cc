// A Windows reader that holds the status file open without delete sharing (as the C library's
// fopen does) makes its replacement wait: a short hold is waited out, a long one costs that one
// write, and the reader then still has the whole old file.
#include "platform/FileReplace.h"

#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <thread>
#include <windows.h>

namespace {

// Holds `path` open for reading, as a reader that shares no delete, for `milliseconds`.
std::thread HoldOpen(const std::string& path, int milliseconds) {
    const HANDLE file =
        ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    return std::thread([file, milliseconds] {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        ::CloseHandle(file);
    });
}

std::string Contents(const std::string& path) {
    char text[64] = {};
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return "(none)";
    }
    const std::size_t length = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    return std::string(text, length);
}

TEST(FileReplaceHeld, AShortHoldIsWaitedOut) {
    const std::string path = "file_replace_held.short";
    ASSERT_FALSE(platform::ReplaceFileContents(path, "old"));
    std::thread reader = HoldOpen(path, 300);
    const auto start = std::chrono::steady_clock::now();
    const std::optional<std::string> failure = platform::ReplaceFileContents(path, "new");
    const auto waited = std::chrono::steady_clock::now() - start;
    reader.join();
    EXPECT_FALSE(failure) << *failure;
    EXPECT_EQ(Contents(path), "new");
    std::printf("waited %lld ms for the reader\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(waited).count()));
    std::remove(path.c_str());
}

TEST(FileReplaceHeld, AHoldLongerThanASecondCostsThatWriteAndNothingElse) {
    const std::string path = "file_replace_held.long";
    ASSERT_FALSE(platform::ReplaceFileContents(path, "old"));
    std::thread reader = HoldOpen(path, 2500);
    const std::optional<std::string> failure = platform::ReplaceFileContents(path, "new");
    reader.join();
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->rfind("cannot replace file_replace_held.long: ", 0), 0u) << *failure;
    EXPECT_EQ(Contents(path), "old");
    EXPECT_EQ(Contents(path + ".tmp"), "(none)");
    EXPECT_FALSE(platform::ReplaceFileContents(path, "newer"));
    EXPECT_EQ(Contents(path), "newer");
    std::remove(path.c_str());
}

} // namespace

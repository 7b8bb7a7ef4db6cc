// A file replaced whole while others read it: the status and metrics files of kalvor-sync.
#include "platform/FileReplace.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <thread>

namespace {

// The file's contents; nothing when it cannot be opened.
std::optional<std::string> Contents(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool Exists(const std::string& path) {
    return std::ifstream(path).good();
}

TEST(FileReplace, TheWholeFileAndNoTemporaryLeft) {
    const std::string path = "file_replace_test.whole";
    ASSERT_FALSE(platform::ReplaceFileContents(path, "first\n"));
    ASSERT_FALSE(platform::ReplaceFileContents(path, "second, longer\n"));
    EXPECT_EQ(Contents(path), "second, longer\n");
    EXPECT_FALSE(Exists(path + ".tmp"));
    std::remove(path.c_str());
}

// A reader in a loop, as a monitoring agent reads, while the file is replaced hundreds of times
// with contents of different lengths: every read is one whole version. Under Wine (and on
// Windows, where a file being replaced is briefly not there to open) an open may fail for an
// instant; a reader then reads again, and never gets a part.
TEST(FileReplace, AReaderInALoopNeverSeesAPartOfIt) {
    const std::string path = "file_replace_test.loop";
    const std::string a = std::string(200'000, 'a') + "\nend\n";
    const std::string b = std::string(70'000, 'b') + "\nend\n";
    ASSERT_FALSE(platform::ReplaceFileContents(path, a));
    std::atomic<bool> writing{true};
    int failedWrites = 0;
    std::string firstFailure;
    std::thread writer([&] {
        for (int i = 0; i < 400; ++i) {
            if (const auto failure = platform::ReplaceFileContents(path, i % 2 ? a : b)) {
                if (failedWrites++ == 0) {
                    firstFailure = *failure;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        writing = false;
    });
    int reads = 0, partial = 0, notOpened = 0;
    while (writing) {
        const std::optional<std::string> seen = Contents(path);
        ++reads;
        if (!seen) {
            ++notOpened;
        } else if (*seen != a && *seen != b) {
            ++partial;
        }
        // A reader reads, then does something else for a moment: one that held the file open
        // without a pause would keep a Windows writer out for good.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    writer.join();
    std::printf("%d reads during 400 replaces, %d of them found no file to open\n", reads,
                notOpened);
    EXPECT_EQ(partial, 0);
    EXPECT_GT(reads, 10);
    // A reader holds the file a moment at a time: the replace waits for it, and never gives up.
    EXPECT_EQ(failedWrites, 0) << firstFailure;
    std::remove(path.c_str());
}

TEST(FileReplace, AFileThatCannotBeWrittenSaysWhichAndWhy) {
    const std::string path = "no-such-folder/status.json";
    const std::optional<std::string> failure = platform::ReplaceFileContents(path, "x");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->rfind("cannot write no-such-folder/status.json.tmp: ", 0), 0u) << *failure;
    EXPECT_GT(failure->size(), std::string("cannot write no-such-folder/status.json.tmp: ").size());
}

} // namespace

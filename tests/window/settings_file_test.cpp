// The platform's part of the settings file: the executable's folder in a double-byte code page,
// and a settings path longer than MAX_PATH. Compiled with the execution character set CP936.
#include "platform/ExecutablePath.h"
#include "platform/ProfileString.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

std::wstring Extended(const std::string& path) {
    return L"\\\\?\\" + std::wstring(path.begin(), path.end()); // ASCII paths only
}

} // namespace

TEST(ExecutablePath, NamesThisProgram) {
    const std::string path = platform::ExecutablePath();
    EXPECT_TRUE(path.ends_with("\\settings_file_test.exe")) << path;
    EXPECT_EQ(::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u) << path;
}

TEST(ExecutablePath, LastBackslashIsNeverTheSecondByteOfACharacter) {
    ASSERT_EQ(::GetACP(), 936u) << "the tests run in code page 936";
    EXPECT_EQ(platform::FindLastBackslash("C:\\dir\\kalvor.exe"), 6u);
    EXPECT_EQ(platform::FindLastBackslash("kalvor.exe"), std::string::npos);
    // "錦" is 0xE5 0x5C: its second byte is no separator.
    EXPECT_EQ(platform::FindLastBackslash("C:\\錦"), 2u);
    EXPECT_EQ(platform::FindLastBackslash("錦"), std::string::npos);
    EXPECT_EQ(platform::FindLastBackslash("C:\\錦\\kalvor.exe"), 5u);
    // A lead byte cut off at the end is no character: the byte before it still counts.
    EXPECT_EQ(platform::FindLastBackslash("C:\\\xE5"), 2u);
}

TEST(ProfileString, FileOnPathLongerThanMaxPathIsRead) {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::vector<std::string> folders{std::string(temp) + "kalvor-profile-" +
                                     std::to_string(::GetCurrentProcessId())};
    for (int level = 0; level < 4; ++level) {
        folders.push_back(folders.back() + "\\" + std::string(60, 'p'));
    }
    for (const std::string& folder : folders) {
        ASSERT_TRUE(::CreateDirectoryW(Extended(folder).c_str(), nullptr)) << folder;
    }
    const std::string path = folders.back() + "\\InitSet.ini";
    ASSERT_GT(path.size(), static_cast<std::size_t>(MAX_PATH));
    const std::string text = "[menu ini]\r\ncomset=Set clock\r\n";
    {
        const HANDLE file = ::CreateFileW(Extended(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        ::CloseHandle(file);
    }

    EXPECT_EQ(platform::ReadProfileString("MENU INI", "ComSet", path, 128), "Set clock");
    EXPECT_EQ(platform::ReadProfileString("menu ini", "missing", path, 128), "");
    EXPECT_EQ(platform::ReadProfileString("menu ini", "comset", path + ".absent", 128), "");
    EXPECT_EQ(platform::ReadProfileString("menu ini", "comset", path, 4), "Set");

    ::DeleteFileW(Extended(path).c_str());
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
        ::RemoveDirectoryW(Extended(*folder).c_str());
    }
}

// The version block and the About box's name line of the program's resources, both written from
// the project's version. Compiled with the execution character set CP936, as the program is.
#include "res/resource.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

struct VersionNumbers {
    unsigned major = 0, minor = 0, patch = 0, tweak = 0;
};

VersionNumbers ProjectVersion() {
    VersionNumbers version;
    std::sscanf(KALVOR_PROJECT_VERSION, "%u.%u.%u.%u", &version.major, &version.minor,
                &version.patch, &version.tweak);
    return version;
}

// This test program links the program's resources, version block included.
std::vector<char> OwnVersionInfo() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path, &ignored);
    std::vector<char> info(size);
    if (size == 0 || !::GetFileVersionInfoA(path, 0, size, info.data())) {
        info.clear();
    }
    return info;
}

std::string StringValue(std::vector<char>& info, const std::string& key) {
    void* value = nullptr;
    UINT length = 0;
    const std::string path = "\\StringFileInfo\\080404b0\\" + key;
    if (!::VerQueryValueA(info.data(), path.c_str(), &value, &length) || length == 0) {
        return "(missing)";
    }
    return static_cast<const char*>(value);
}

INT_PTR CALLBACK PlainDialog(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

} // namespace

TEST(VersionBlock, FixedAndTextVersionsAreTheProjectVersion) {
    std::vector<char> info = OwnVersionInfo();
    ASSERT_FALSE(info.empty()) << "no version block";
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));

    const VersionNumbers want = ProjectVersion();
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(want.minor, want.major));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(want.tweak, want.patch));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(StringValue(info, "FileVersion"), KALVOR_PROJECT_VERSION);
    EXPECT_EQ(StringValue(info, "ProductVersion"), KALVOR_PROJECT_VERSION);
    EXPECT_EQ(StringValue(info, "FileDescription"), "Kalvor");
}

TEST(VersionBlock, AboutBoxNamesTheMajorAndMinorVersion) {
    const HWND about = ::CreateDialogParamA(
        ::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUT_DIALOG), nullptr, PlainDialog, 0);
    ASSERT_NE(about, nullptr);
    // The name line is the second control of the template, after the icon.
    const HWND icon = ::GetWindow(about, GW_CHILD);
    ASSERT_NE(icon, nullptr);
    const HWND name = ::GetWindow(icon, GW_HWNDNEXT);
    ASSERT_NE(name, nullptr);
    char text[64] = {};
    ::GetWindowTextA(name, text, sizeof text);
    ::DestroyWindow(about);

    const VersionNumbers want = ProjectVersion();
    EXPECT_EQ(std::string(text),
              "Kalvor，" + std::to_string(want.major) + "." + std::to_string(want.minor) + " 版");
}

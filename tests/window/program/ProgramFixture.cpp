#include "ProgramFixture.h"

#include "res/resource.h"
#include "tests/window/driver/Commands.h"
#include "tests/window/driver/Windows.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

constexpr DWORD kWindowTimeoutMs = 20000;

// A path of the build tree (Unix) as Wine sees it: drive Z: is the root.
std::string WinePath(std::string unixPath) {
    for (char& c : unixPath) {
        if (c == '/') {
            c = '\\';
        }
    }
    return "Z:" + unixPath;
}

// Paths here may pass MAX_PATH; the wide calls take them in extended-length form.
std::wstring Extended(const std::string& path) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length) - 1);
    return L"\\\\?\\" + wide;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    const platform::UniqueHandle file(::CreateFileW(Extended(path).c_str(), GENERIC_WRITE, 0,
                                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                    nullptr));
    DWORD written = 0;
    return file.Get() != INVALID_HANDLE_VALUE &&
           ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) &&
           written == bytes.size();
}

int SecondOfDay(const SYSTEMTIME& time) {
    return time.wHour * 3600 + time.wMinute * 60 + time.wSecond;
}

} // namespace

const ClosingWay kClosingWays[3] = {{"close box", driver::ClickCloseBox},
                                    {"Esc", driver::PressEscape},
                                    {"Enter", driver::PressEnter}};

std::string ShippedChineseSettings() {
    std::ifstream file(KALVOR_SETTINGS_CHINESE, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void ExpectTip(const BoxSeen& seen, const std::string& text, HWND mainWindow) {
    ASSERT_NE(seen.box.window, nullptr) << "no tip came; expected \"" << text << "\"";
    EXPECT_EQ(seen.box.text, text);
    EXPECT_EQ(seen.box.caption, "");
    EXPECT_EQ(seen.box.icon, driver::BoxIcon::Exclamation) << driver::BoxIconName(seen.box.icon);
    EXPECT_EQ(seen.owner, mainWindow) << "the tip is not owned by the main window";
}

std::string DateText(const SYSTEMTIME& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%4d-%02d-%02d", time.wYear, time.wMonth, time.wDay);
    return text;
}

std::string TimeText(const SYSTEMTIME& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%2d:%02d:%02d", time.wHour, time.wMinute, time.wSecond);
    return text;
}

void ExpectLabelsShowLocalClock(HWND window) {
    SYSTEMTIME before{};
    ::GetLocalTime(&before);
    const std::string date = driver::ControlText(window, IDC_DATE_TEXT);
    const std::string time = driver::ControlText(window, IDC_TIME_TEXT);
    SYSTEMTIME after{};
    ::GetLocalTime(&after);

    EXPECT_TRUE(date == DateText(before) || date == DateText(after)) << "date label: " << date;
    int hour = -1, minute = -1, second = -1;
    ASSERT_EQ(std::sscanf(time.c_str(), "%d:%d:%d", &hour, &minute, &second), 3) << time;
    SYSTEMTIME shown{};
    shown.wHour = static_cast<WORD>(hour);
    shown.wMinute = static_cast<WORD>(minute);
    shown.wSecond = static_cast<WORD>(second);
    EXPECT_EQ(time, TimeText(shown)) << "the time label's form";
    // The label may be up to one 500 ms tick behind the clock.
    EXPECT_GE(SecondOfDay(shown), SecondOfDay(before) - 1) << time;
    if (SecondOfDay(after) >= SecondOfDay(before)) { // not across midnight
        EXPECT_LE(SecondOfDay(shown), SecondOfDay(after)) << time;
    }
}

HWND ProgramTest::Start(const std::optional<std::string>& settings,
                        const std::vector<std::string>& subfolders) {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::string folder =
        std::string(temp) + "kalvor-e2e-" + std::to_string(::GetCurrentProcessId());
    // Wine reuses process ids, so a run that was killed may have left this folder behind.
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::vector<std::string> levels{folder};
    for (const std::string& subfolder : subfolders) {
        folder += "\\" + subfolder;
        levels.push_back(folder);
    }
    for (const std::string& level : levels) {
        if (!::CreateDirectoryW(Extended(level).c_str(), nullptr)) {
            ADD_FAILURE() << "cannot make " << level << ": error " << ::GetLastError();
            return nullptr;
        }
        m_folders.push_back(level);
    }

    const std::string program = folder + "\\kalvor.exe";
    if (!::CopyFileW(Extended(WinePath(KALVOR_EXE)).c_str(), Extended(program).c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy the program: error " << ::GetLastError();
        return nullptr;
    }
    m_files.push_back(program);
    if (settings) {
        const std::string settingsPath = folder + "\\InitSet.ini";
        if (!WriteFileBytes(settingsPath, *settings)) {
            ADD_FAILURE() << "cannot write " << settingsPath;
            return nullptr;
        }
        m_files.push_back(settingsPath);
    }

    m_program = std::make_unique<driver::Program>(program, folder);
    if (!m_program->Started()) {
        ADD_FAILURE() << "cannot start " << program << ": error " << ::GetLastError();
        return nullptr;
    }
    m_openingTip = DismissNextBox(kWindowTimeoutMs);
    if (m_openingTip.box.window == nullptr) {
        ADD_FAILURE() << "no tip told how opening COM1 went";
        return nullptr;
    }
    m_window = driver::WaitForMainWindow(m_program->ProcessId(), kWindowTimeoutMs);
    EXPECT_NE(m_window, nullptr) << "the main window did not come";
    return m_window;
}

BoxSeen ProgramTest::DismissNextBox(DWORD milliseconds) const {
    BoxSeen seen;
    seen.box = driver::WaitForMessageBox(m_program->ProcessId(), milliseconds);
    if (seen.box.window == nullptr) {
        return seen;
    }
    seen.owner = ::GetWindow(seen.box.window, GW_OWNER);
    seen.mainWindowVisible = driver::WaitForMainWindow(m_program->ProcessId(), 0) != nullptr;
    EXPECT_TRUE(driver::DismissMessageBox(seen.box.window)) << "the box stayed: " << seen.box.text;
    return seen;
}

std::vector<driver::MessageBoxInfo> ProgramTest::OpenBoxes() const {
    return driver::ListMessageBoxes(m_program->ProcessId());
}

void ProgramTest::ExpectNoBoxFor(DWORD milliseconds) const {
    const driver::MessageBoxInfo box = driver::WaitForMessageBox(ProcessId(), milliseconds);
    EXPECT_EQ(box.window, nullptr)
        << "a box opened: \"" << box.text << "\" (" << box.caption << ")";
}

void ProgramTest::TearDown() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(test->test_suite_name()) + "." + test->name() + ".png";
    const std::string shot = std::string(KALVOR_SCREENSHOT_DIR) + "/" + name;
    if (driver::SaveScreenshot(WinePath(shot))) {
        std::printf("screenshot: %s\n", shot.c_str());
    }
    Stop();
}

void ProgramTest::Stop() {
    m_program.reset(); // kills it if it still runs
    for (const std::string& file : m_files) {
        ::DeleteFileW(Extended(file).c_str());
    }
    for (auto folder = m_folders.rbegin(); folder != m_folders.rend(); ++folder) {
        ::RemoveDirectoryW(Extended(*folder).c_str());
    }
    m_files.clear();
    m_folders.clear();
    m_window = nullptr;
}

// Start-up of the real program: the settings file beside it, the labels and the button caption.
// This file is compiled with the execution character set CP936, as the program's texts are.
#include "ProgramFixture.h"
#include "res/resource.h"
#include "tests/window/driver/Windows.h"

namespace {

const char* const kChineseWeekdays[] = {"星期日", "星期一", "星期二", "星期三",
                                        "星期四", "星期五", "星期六"};

int TodaysWeekday() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return now.wDayOfWeek;
}

// A settings file naming each weekday "<marker><n>", n from 0 (Sunday) to 6.
std::string NumberedWeekdays(const std::string& sectionLine, const char* const keys[7],
                             const std::string& marker) {
    std::string text = sectionLine + "\r\n";
    for (int day = 0; day < 7; ++day) {
        text += std::string(keys[day]) + "=" + marker + std::to_string(day) + "\r\n";
    }
    return text;
}

} // namespace

TEST_F(ProgramTest, WithoutSettingsFileShowsClockAndEmptyTexts) {
    const HWND window = Start(std::nullopt);
    ASSERT_NE(window, nullptr);
    // The template's caption "系统设置" never shows: the empty setting replaces it.
    EXPECT_EQ(driver::ControlText(window, IDC_SET_TIME), "");
    EXPECT_EQ(driver::ControlText(window, IDC_WEEKDAY_TEXT), "");
    ExpectLabelsShowLocalClock(window);
}

TEST_F(ProgramTest, ChineseSettingsFileNamesTodayAndTheButton) {
    const HWND window = Start(ShippedChineseSettings());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(driver::ControlText(window, IDC_WEEKDAY_TEXT), kChineseWeekdays[TodaysWeekday()]);
    EXPECT_EQ(driver::ControlText(window, IDC_SET_TIME), "校准时间");
    ExpectLabelsShowLocalClock(window);
}

TEST_F(ProgramTest, SectionAndKeyNamesInCapitalsAreFound) {
    const char* const keys[7] = {"SUNDAY",   "MONDAY", "TUESDAY", "WEDNESDAY",
                                 "THURSDAY", "FRIDAY", "SATURDAY"};
    const HWND window =
        Start(NumberedWeekdays("[WEEK INI]", keys, "day ") + "[MENU INI]\r\nCOMSET=Set clock\r\n");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(driver::ControlText(window, IDC_WEEKDAY_TEXT),
              "day " + std::to_string(TodaysWeekday()));
    EXPECT_EQ(driver::ControlText(window, IDC_SET_TIME), "Set clock");
}

TEST_F(ProgramTest, LongValueKeepsItsFirst127Bytes) {
    std::string value;
    for (int i = 0; i < 200; ++i) {
        value += static_cast<char>('a' + i % 26);
    }
    const HWND window = Start("[menu ini]\r\ncomset=" + value + "\r\n");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(driver::ControlText(window, IDC_SET_TIME), value.substr(0, 127));
}

TEST_F(ProgramTest, SettingsFileIsFoundBesideProgramInDoubleByteFolder) {
    // The second byte of this folder name's character is 0x5C, a backslash on its own.
    const std::string folder = "錦";
    ASSERT_EQ(folder, "\xE5\x5C");
    const HWND window = Start(ShippedChineseSettings(), {folder});
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(driver::ControlText(window, IDC_SET_TIME), "校准时间");
}

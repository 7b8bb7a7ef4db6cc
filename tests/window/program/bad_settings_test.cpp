// Settings files as they turn up on real machines: missing, empty, saved with only a byte-order
// mark, huge, binary, with values past the buffer, repeated sections and keys, any line ending.
// Start-up always completes, and each text the window shows is what the profile reader makes of
// the file. Without COM1 the opening tip shows "comopenfailed" and a click shows "comunopen"; the
// button shows "comset" and the weekday label today's name.
//
// The reader is the platform's. Where its rules are not the documented ones, these are Wine's
// (the reader these tests run on), and Windows' may differ:
// - a file that starts with a UTF-8 byte-order mark is read as UTF-8 (Windows reads the mark as
//   part of the first line, which then names no section);
// - a line ends at CR, LF or CR LF, also all three in one file;
// - of a section that appears twice only the first is searched, and of a key repeated in it the
//   first value counts;
// - blanks around a section name inside its brackets are dropped: "[menu ini ]" is "menu ini";
// - a value cut at the buffer keeps no part of a double-byte character: the text ends before it.
// Compiled with the execution character set CP936, as the program's texts are.
#include "ProgramFixture.h"
#include "res/resource.h"
#include "tests/window/driver/Commands.h"
#include "tests/window/driver/Windows.h"

#include <optional>
#include <random>

namespace {

const char* const kWeekdayKeys[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                    "Thursday", "Friday", "Saturday"};

// What the window shows of the four texts it can show without a port.
struct Shown {
    std::string caption;       // menu ini / comset
    std::string weekday;       // week ini / today's key
    std::string openFailedTip; // tip ini / comopenfailed
    std::string notOpenTip;    // tip ini / comunopen
};

// A file with the four texts in their places (every weekday with the same name), lines ending in
// `end`.
std::string FileWith(const Shown& texts, const std::string& end = "\r\n") {
    std::string file = "[week ini]" + end;
    for (const char* key : kWeekdayKeys) {
        file += std::string(key) + "=" + texts.weekday + end;
    }
    file += "[menu ini]" + end + "comset=" + texts.caption + end;
    file += "[tip ini]" + end + "comopenfailed=" + texts.openFailedTip + end +
            "comunopen=" + texts.notOpenTip + end;
    return file;
}

std::string Letters(std::size_t count, char first = 'a') {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += static_cast<char>(first + i % 26);
    }
    return text;
}

struct Case {
    const char* name;
    std::optional<std::string> file;
    Shown expected;
};

std::vector<Case> Cases() {
    const Shown plain{"Set clock", "Day", "No port", "Choose a port"};
    std::vector<Case> cases;
    cases.push_back({"no file", std::nullopt, {}});
    cases.push_back({"an empty file", "", {}});
    cases.push_back({"only a byte-order mark", "\xEF\xBB\xBF", {}});
    // As a text editor saves it "as UTF-8": the mark, then "校准" in UTF-8.
    cases.push_back({"a byte-order mark and UTF-8 text",
                     "\xEF\xBB\xBF[menu ini]\r\ncomset=\xE6\xA0\xA1\xE5\x87\x86\r\n",
                     {"校准", "", "", ""}});

    // A megabyte of other sections first; the texts come last.
    std::string huge;
    for (int section = 0; huge.size() < 1024 * 1024; ++section) {
        huge += "[filler " + std::to_string(section) + "]\r\n";
        for (int key = 0; key < 20; ++key) {
            huge += "key" + std::to_string(key) + "=" + Letters(40) + "\r\n";
        }
    }
    cases.push_back({"1 MB of text", huge + FileWith(plain), plain});

    // 64 KB of random bytes (none of them the start of a byte-order mark), then one section.
    std::mt19937 random(64);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string binary;
    while (binary.size() < 64 * 1024) {
        binary += static_cast<char>(byte(random));
    }
    binary[0] = 'x';
    cases.push_back({"64 KB of random bytes",
                     binary + "\r\n[menu ini]\r\ncomset=after the noise\r\n",
                     {"after the noise", "", "", ""}});

    // 127 bytes fit; 128 and 200 keep their first 127; a double-byte character whose second byte
    // would be the 128th is dropped whole.
    const std::string cut = Letters(126) + "钟";
    cases.push_back({"values of 127, 128 and 200 bytes and a character cut at the limit",
                     FileWith({Letters(127), cut, Letters(128, 'A'), Letters(200)}),
                     {Letters(127), Letters(126), Letters(127, 'A'), Letters(127)}});

    cases.push_back(
        {"sections and keys repeated",
         "[menu ini]\r\ncomset=first\r\ncomset=second\r\n[tip ini]\r\ncomunopen=from the first\r\n"
         "[menu ini]\r\ncomset=third\r\n[tip ini]\r\ncomopenfailed=only in the second\r\n"
         "comunopen=from the second\r\n",
         {"first", "", "", "from the first"}});

    cases.push_back({"lines ending in CR", FileWith(plain, "\r"), plain});
    cases.push_back({"lines ending in LF", FileWith(plain, "\n"), plain});
    cases.push_back({"lines ending in CR LF", FileWith(plain, "\r\n"), plain});
    cases.push_back({"CR, LF and CR LF in one file",
                     "[menu ini]\rcomset=Set clock\n[tip ini]\r\ncomunopen=Choose a port\r",
                     {"Set clock", "", "", "Choose a port"}});

    cases.push_back({"a section name with a trailing blank",
                     "[menu ini ]\r\ncomset=Set clock\r\n[tip ini]\r\ncomunopen=Choose a port\r\n",
                     {"Set clock", "", "", "Choose a port"}});
    return cases;
}

} // namespace

TEST_F(ProgramTest, BadSettingsFilesStillLetTheProgramStartWithWhatTheReaderGives) {
    for (const Case& test : Cases()) {
        SCOPED_TRACE(test.name);
        const HWND window = Start(test.file);
        ASSERT_NE(window, nullptr) << "start-up did not complete";
        EXPECT_EQ(m_openingTip.box.text, test.expected.openFailedTip);
        EXPECT_EQ(driver::ControlText(window, IDC_SET_TIME), test.expected.caption);
        EXPECT_EQ(driver::ControlText(window, IDC_WEEKDAY_TEXT), test.expected.weekday);
        ExpectLabelsShowLocalClock(window);
        driver::ClickSetTime(window);
        const BoxSeen tip = DismissNextBox();
        ASSERT_NE(tip.box.window, nullptr) << "no tip for the click";
        EXPECT_EQ(tip.box.text, test.expected.notOpenTip);
        Stop();
    }
}

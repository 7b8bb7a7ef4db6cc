// Which section and key of the settings file fill which text, with a reader the test makes.
#include "settings/SettingsTexts.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <utility>
#include <vector>

TEST(SettingsTexts, EachTextFromItsOwnSectionAndKeyReadOnceInOrder) {
    std::vector<std::string> asked;
    const SettingsTexts texts = ReadSettingsTexts([&](const char* section, const char* key) {
        asked.push_back(std::string(section) + "/" + key);
        return "<" + asked.back() + ">";
    });
    const std::vector<std::pair<std::string, std::string>> filled = {
        {"week ini/Monday", texts.m_textMonday},
        {"week ini/Tuesday", texts.m_textTuesday},
        {"week ini/Wednesday", texts.m_textWednesday},
        {"week ini/Thursday", texts.m_textThursday},
        {"week ini/Friday", texts.m_textFriday},
        {"week ini/Saturday", texts.m_textSaturday},
        {"week ini/Sunday", texts.m_textSunday},
        {"menu ini/comset", texts.m_buttonCaption},
        {"tip ini/comopensucceed", texts.m_tipOpenOk},
        {"tip ini/comopenfailed", texts.m_tipOpenFailed},
        {"tip ini/comunopen", texts.m_tipNotOpen}};
    ASSERT_EQ(asked.size(), filled.size());
    for (std::size_t i = 0; i < filled.size(); ++i) {
        EXPECT_EQ(asked[i], filled[i].first) << "the file's order";
        EXPECT_EQ(filled[i].second, "<" + filled[i].first + ">");
    }
}

TEST(SettingsTexts, MissingValuesLeaveTheirTextsEmpty) {
    const std::map<std::string, std::string> file = {{"menu ini/comset", "Set clock"}};
    const SettingsTexts texts = ReadSettingsTexts([&](const char* section, const char* key) {
        const auto found = file.find(std::string(section) + "/" + key);
        return found == file.end() ? std::string() : found->second;
    });
    EXPECT_EQ(texts.m_buttonCaption, "Set clock");
    EXPECT_EQ(texts.m_textSunday, "");
    EXPECT_EQ(texts.m_tipNotOpen, "");
}

TEST(SettingsTexts, FileLiesBesideTheExecutable) {
    EXPECT_EQ(SettingsPathBeside("C:\\Kalvor\\kalvor.exe", 9), "C:\\Kalvor\\InitSet.ini");
    // No backslash: the root of the current drive.
    EXPECT_EQ(SettingsPathBeside("kalvor.exe", std::string::npos), "\\InitSet.ini");
}

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
    const std::vector<std::string> order = {
        "week ini/Monday",       "week ini/Tuesday", "week ini/Wednesday",
        "week ini/Thursday",     "week ini/Friday",  "week ini/Saturday",
        "week ini/Sunday",       "menu ini/comset",  "tip ini/comopensucceed",
        "tip ini/comopenfailed", "tip ini/comunopen"};
    EXPECT_EQ(asked, order);

    const std::pair<const std::string*, const char*> filled[] = {
        {&texts.m_textMonday, "week ini/Monday"},
        {&texts.m_textTuesday, "week ini/Tuesday"},
        {&texts.m_textWednesday, "week ini/Wednesday"},
        {&texts.m_textThursday, "week ini/Thursday"},
        {&texts.m_textFriday, "week ini/Friday"},
        {&texts.m_textSaturday, "week ini/Saturday"},
        {&texts.m_textSunday, "week ini/Sunday"},
        {&texts.m_buttonCaption, "menu ini/comset"},
        {&texts.m_tipOpenOk, "tip ini/comopensucceed"},
        {&texts.m_tipOpenFailed, "tip ini/comopenfailed"},
        {&texts.m_tipNotOpen, "tip ini/comunopen"}};
    for (const auto& [text, key] : filled) {
        EXPECT_EQ(*text, std::string("<") + key + ">");
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
    EXPECT_EQ(SettingsPathBeside("C:\\kalvor.exe", 2), "C:\\InitSet.ini");
    // No backslash: the root of the current drive.
    EXPECT_EQ(SettingsPathBeside("kalvor.exe", std::string::npos), "\\InitSet.ini");
}

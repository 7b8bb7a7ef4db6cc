#include "settings/SettingsTexts.h"

SettingsTexts ReadSettingsTexts(const SettingReader& read) {
    struct Setting {
        const char* section;
        const char* key;
        std::string SettingsTexts::*text;
    };
    static constexpr Setting kSettings[] = {
        {"week ini", "Monday", &SettingsTexts::m_textMonday},
        {"week ini", "Tuesday", &SettingsTexts::m_textTuesday},
        {"week ini", "Wednesday", &SettingsTexts::m_textWednesday},
        {"week ini", "Thursday", &SettingsTexts::m_textThursday},
        {"week ini", "Friday", &SettingsTexts::m_textFriday},
        {"week ini", "Saturday", &SettingsTexts::m_textSaturday},
        {"week ini", "Sunday", &SettingsTexts::m_textSunday},
        {"menu ini", "comset", &SettingsTexts::m_buttonCaption},
        {"tip ini", "comopensucceed", &SettingsTexts::m_tipOpenOk},
        {"tip ini", "comopenfailed", &SettingsTexts::m_tipOpenFailed},
        {"tip ini", "comunopen", &SettingsTexts::m_tipNotOpen},
    };
    SettingsTexts texts;
    for (const Setting& setting : kSettings) {
        texts.*setting.text = read(setting.section, setting.key);
    }
    return texts;
}

std::string SettingsPathBeside(std::string_view executable, std::size_t lastBackslash) {
    const std::string_view directory = lastBackslash == std::string_view::npos
                                           ? std::string_view()
                                           : executable.substr(0, lastBackslash);
    return std::string(directory) + "\\InitSet.ini";
}

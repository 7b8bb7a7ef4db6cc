#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// The texts a site may put in its own language, from the settings file "InitSet.ini" beside the
// executable, in the system's code page. A text the file lacks is empty.
struct SettingsTexts {
    std::string m_textMonday; // the weekday names, from section "week ini"
    std::string m_textTuesday;
    std::string m_textWednesday;
    std::string m_textThursday;
    std::string m_textFriday;
    std::string m_textSaturday;
    std::string m_textSunday;
    std::string m_tipOpenOk;     // "tip ini": after a port opened
    std::string m_tipOpenFailed; // "tip ini": after a port failed to open
    std::string m_buttonCaption; // "menu ini": the set-time button's caption
    std::string m_tipNotOpen;    // "tip ini": a set-time command with no port open
};

// Each value is read into a buffer of this many bytes, so it keeps at most its first 127.
inline constexpr std::size_t kSettingValueBufferBytes = 128;

// One value of the settings file by section and key; the empty text when the file, the section
// or the key is missing.
using SettingReader = std::function<std::string(const char* section, const char* key)>;

// The eleven texts, each read once from its section and key, in the file's order.
SettingsTexts ReadSettingsTexts(const SettingReader& read);

// The settings file beside the executable: its path up to the last backslash (`lastBackslash`,
// or npos for none, which leaves the root of the current drive) and "\InitSet.ini".
std::string SettingsPathBeside(std::string_view executable, std::size_t lastBackslash);

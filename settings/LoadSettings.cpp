// Reads the settings texts of the main dialog from "InitSet.ini" beside the executable.
#include "app/KalvorDlg.h"
#include "platform/ExecutablePath.h"
#include "platform/ProfileString.h"

namespace {

// Each value keeps at most its first 127 bytes.
constexpr std::size_t kValueBufferBytes = 128;

} // namespace

void CKalvorDlg::LoadSettings() {
    const std::string executable = platform::ExecutablePath();
    const std::size_t backslash = platform::FindLastBackslash(executable);
    // With no backslash the directory is empty and the file is looked for at the drive's root.
    const std::string directory =
        backslash == std::string::npos ? std::string() : executable.substr(0, backslash);
    const std::string path = directory + "\\InitSet.ini";

    struct Setting {
        const char* section;
        const char* key;
        std::string& text;
    };
    const Setting settings[] = {
        {"week ini", "Monday", m_textMonday},       {"week ini", "Tuesday", m_textTuesday},
        {"week ini", "Wednesday", m_textWednesday}, {"week ini", "Thursday", m_textThursday},
        {"week ini", "Friday", m_textFriday},       {"week ini", "Saturday", m_textSaturday},
        {"week ini", "Sunday", m_textSunday},       {"menu ini", "comset", m_buttonCaption},
        {"tip ini", "comopensucceed", m_tipOpenOk}, {"tip ini", "comopenfailed", m_tipOpenFailed},
        {"tip ini", "comunopen", m_tipNotOpen},
    };
    for (const Setting& setting : settings) {
        setting.text =
            platform::ReadProfileString(setting.section, setting.key, path, kValueBufferBytes);
    }
}

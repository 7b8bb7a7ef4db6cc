// Reads the settings texts of the main dialog from "InitSet.ini" beside the executable.
#include "app/KalvorDlg.h"
#include "platform/ExecutablePath.h"
#include "platform/ProfileString.h"

void CKalvorDlg::LoadSettings() {
    const std::string executable = platform::ExecutablePath();
    const std::string path =
        SettingsPathBeside(executable, platform::FindLastBackslash(executable));
    m_texts = ReadSettingsTexts([&path](const char* section, const char* key) {
        return platform::ReadProfileString(section, key, path, kSettingValueBufferBytes);
    });
}

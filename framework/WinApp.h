#pragma once

#include "framework/Wnd.h"

#include <string>
#include <windows.h>

// Restart-manager support flag: restart after a crash or an update, nothing else.
inline constexpr DWORD AFX_RESTART_MANAGER_SUPPORT_RESTART = 0x01;
// The framework's Help command.
inline constexpr UINT ID_HELP = 0xE146;

// The application object: exactly one, static, constructed before WinMain runs it.
class CWinApp : public CCmdTarget {
public:
    CWinApp();
    ~CWinApp() override;

    // The application's start. The framework's own part has nothing to set up, so it succeeds.
    // A program that returns false from its override ends when it returns.
    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }

    // The registry key the framework would keep settings under. Kept as a name only: this
    // program stores nothing.
    void SetRegistryKey(const char* key) { m_registryKey = key; }
    const std::string& RegistryKey() const { return m_registryKey; }

    // A command no window took; the Help command is the only one the application answers.
    bool OnCommand(UINT commandId, UINT notifyCode);

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    // Kept for the platform's restart manager; this program never registers with it.
    DWORD m_dwRestartManagerSupportFlags = 0;

protected:
    static const MessageMapEntry s_messageMap[];
    MessageMap GetMessageMap() const override;
    // No help file is shipped: the Help command has nothing to open.
    void OnHelp() {}

private:
    std::string m_registryKey;
};

// The one application object, or null before it exists (as in a test program).
CWinApp* AfxGetApp();

// The framework's control container: this program hosts no such controls, and the one custom
// control it has ("MfcButton") is registered by every dialog run. Enabling it is accepted.
inline void AfxEnableControlContainer() {}

// The framework's shell manager. This program asks it for nothing; it only exists while the
// application runs.
class CShellManager {};

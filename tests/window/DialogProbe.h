#pragma once

#include "BoxWatcher.h"
#include "app/KalvorDlg.h"
#include "platform/ExecutablePath.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <utility>

// A settings file "InitSet.ini" beside the test program, where the dialog looks for its own, for
// the life of this object. The Wine tests of one build run one at a time, so they never meet.
class SettingsFileBeside {
public:
    explicit SettingsFileBeside(const std::string& text) {
        std::ofstream(m_path, std::ios::binary) << text;
    }
    ~SettingsFileBeside() { std::remove(m_path.c_str()); }
    SettingsFileBeside(const SettingsFileBeside&) = delete;
    SettingsFileBeside& operator=(const SettingsFileBeside&) = delete;

private:
    static std::string PathBesideProgram() {
        const std::string program = platform::ExecutablePath();
        return SettingsPathBeside(program, platform::FindLastBackslash(program));
    }
    std::string m_path = PathBesideProgram();
};

// The main dialog run in the test's own process, on its own resources. The test's script runs
// once the dialog is initialised, on the dialog's thread, before any message is pumped, so no
// timer of the dialog's own fires meanwhile (unless a message box pumps them); the dialog then
// ends. Every message box it shows, from the tip of the first port opening on, is dismissed by
// a watcher and kept in Boxes().
class KalvorDlgProbe : public CKalvorDlg {
public:
    using Script = std::function<void(KalvorDlgProbe&)>;

    KalvorDlgProbe(ClockSource clock, Script script)
        : CKalvorDlg(std::move(clock)), m_script(std::move(script)) {}

    std::string Label(int controlId) const { return GetDlgItemText(controlId); }
    void SetLabel(int controlId, const std::string& text) const { SetDlgItemText(controlId, text); }
    // A tick of the timer, through the dialog's message map.
    void Tick(UINT_PTR timer) const { ::SendMessageA(m_hWnd, WM_TIMER, timer, 0); }
    HWND Window() const { return m_hWnd; }
    const LocalInstant& Snapshot() const { return m_time; }

    // What a user does: choose a list position (−1 for none) and click the set-time button,
    // delivered at once through the dialog's map.
    void SelectPort(int position) const {
        ::SendMessageA(GetDlgItem(IDC_PORT_LIST), CB_SETCURSEL, static_cast<WPARAM>(position), 0);
        ::SendMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_PORT_LIST, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(GetDlgItem(IDC_PORT_LIST)));
    }
    void ClickSetTime() const {
        ::SendMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_SET_TIME, BN_CLICKED),
                       reinterpret_cast<LPARAM>(GetDlgItem(IDC_SET_TIME)));
    }

    const CComboBox& PortList() const { return m_portList; }
    bool PortOpen() const { return m_portOpen; }
    int PortNumber() const { return m_portNumber; }
    int SendStepNumber() const { return m_sendStep.Step(); }
    BoxWatcher& Boxes() { return m_boxes; }

protected:
    BOOL OnInitDialog() override {
        CKalvorDlg::OnInitDialog();
        m_script(*this);
        EndDialog(IDOK);
        return TRUE;
    }

private:
    Script m_script;
    BoxWatcher m_boxes;
};

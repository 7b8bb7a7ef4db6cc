#pragma once

#include "clock/ClockSource.h"
#include "framework/ComboBox.h"
#include "framework/DialogEx.h"
#include "framework/Font.h"
#include "platform/LocalTime.h"
#include "res/resource.h"
#include "serial/SerialPort.h"
#include "settings/SettingsTexts.h"
#include "timeset/SendSequence.h"

#include <string>
#include <windows.h>

// The dialog's timers.
inline constexpr UINT_PTR TIMER_SEND_STEP = 1; // one time-set frame every 200 ms
inline constexpr UINT_PTR TIMER_CLOCK = 2;     // time of day, every 500 ms
inline constexpr UINT_PTR TIMER_REFRESH = 3;   // date, weekday and time, every 10 s

inline constexpr UINT TIMER_SEND_STEP_PERIOD_MS = kFramePeriodMs;
inline constexpr UINT TIMER_CLOCK_PERIOD_MS = 500;
inline constexpr UINT TIMER_REFRESH_PERIOD_MS = 10000;

// The main window: shows the date, weekday and time in large characters and owns all the
// program's state. Everything here runs on the user-interface thread.
class CKalvorDlg : public CDialogEx {
public:
    explicit CKalvorDlg(ClockSource readClock = platform::ReadLocalTime);
    ~CKalvorDlg() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    static const MessageMapEntry s_messageMap[];
    MessageMap GetMessageMap() const override;

    void InitControls();

    // Port selection (app/PortSelection.cpp).
    void InitPortList();
    void OpenInitialPort();
    void OnSelchangePortList();
    void OpenSelectedPort(int portNumber);
    void FinishOpening(bool opened);
    void ShowTip(const std::string& text);

    // The time-set command (timeset/TimeSetCommand.cpp).
    void OnClickedSetTime();
    void SendStep();

    void OnSysCommand(UINT command, LPARAM position);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnTimer(UINT_PTR timer);

    // The clock display (clock/).
    void RefreshAll();
    void RefreshTime();

    // The settings file (settings/).
    void LoadSettings();

    HICON m_hIcon;
    CComboBox m_portList;
    int m_portIndex = 0; // the list's selected position after data exchange; -1 for none
    CSerialPort m_port;
    bool m_portOpen = false; // true exactly when the last opening attempt succeeded
    int m_portNumber = 0;    // the chosen port, 1 to 10; 0 after a change that left none selected
    LocalInstant m_time; // the time snapshot: the last reading of the local clock, written by it
    // The next time-set frame, 0 (year) to 6 (seconds), and the plan of the running sequence,
    // made at its first frame from a reading of its own (m_time is the clock's alone).
    SendSequence m_sendStep;
    CFont m_bigFont;
    SettingsTexts m_texts; // read once, before the controls are set up

    // Where the clock display and the time-set command read the time.
    ClockSource m_readClock;

    // True while a port is being opened and its outcome shown. A selection change that comes
    // meanwhile (from the message loop of a report or tip) only sets m_selectionWaiting, and is
    // acted on once the running opening has returned: no opening ever runs inside another.
    bool m_openingInProgress = false;
    bool m_selectionWaiting = false;
};

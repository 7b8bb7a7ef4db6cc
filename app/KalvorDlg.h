#pragma once

#include "clock/ClockSource.h"
#include "framework/DialogEx.h"
#include "framework/Font.h"
#include "platform/LocalTime.h"
#include "res/resource.h"
#include "timeset/TimeSnapshot.h"

#include <string>
#include <windows.h>

// The dialog's timers.
inline constexpr UINT_PTR TIMER_SEND_STEP = 1; // one time-set frame every 200 ms
inline constexpr UINT_PTR TIMER_CLOCK = 2;     // time of day, every 500 ms
inline constexpr UINT_PTR TIMER_REFRESH = 3;   // date, weekday and time, every 10 s

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
    // The port list, its selected position, the port and the port choice come here.
    TimeSnapshot m_time; // the last reading of the local clock
    // The time-set step comes here.
    CFont m_bigFont;
    // The settings texts, in the code page of the system; empty when the file lacks them.
    std::string m_textMonday;
    std::string m_textTuesday;
    std::string m_textWednesday;
    std::string m_textThursday;
    std::string m_textFriday;
    std::string m_textSaturday;
    std::string m_textSunday;
    std::string m_tipOpenOk;
    std::string m_tipOpenFailed;
    std::string m_buttonCaption;
    std::string m_tipNotOpen;

    // Where the clock display reads the time.
    ClockSource m_readClock;
};

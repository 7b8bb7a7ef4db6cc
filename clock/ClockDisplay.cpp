// The clock display of the main dialog: the snapshot of the local time and the three labels.
#include "app/KalvorDlg.h"
#include "clock/ClockTexts.h"

void CKalvorDlg::RefreshAll() {
    m_time = m_readClock();
    SetDlgItemText(IDC_DATE_TEXT, DateText(m_time));
    SetDlgItemText(IDC_WEEKDAY_TEXT, WeekdayText(m_time, m_texts));
    SetDlgItemText(IDC_TIME_TEXT, TimeText(m_time));
}

void CKalvorDlg::RefreshTime() {
    m_time = m_readClock();
    SetDlgItemText(IDC_TIME_TEXT, TimeText(m_time));
    // Every tick that reads midnight refreshes the date and weekday too, also a second one in the
    // same second.
    if (IsMidnight(m_time)) {
        RefreshAll();
    }
}

// The clock display of the main dialog: the snapshot of the local time and the three labels.
#include "app/KalvorDlg.h"
#include "framework/StringFormat.h"

namespace {

void StoreReading(TimeSnapshot& snapshot, const platform::LocalTime& now) {
    snapshot.m_year = now.year;
    snapshot.m_month = now.month;
    snapshot.m_day = now.day;
    snapshot.m_weekday = now.dayOfWeek;
    snapshot.m_hour = now.hour;
    snapshot.m_minute = now.minute;
    snapshot.m_second = now.second;
}

// Hours below 10 get a leading blank, not a zero: " 9:05:30".
std::string TimeText(const TimeSnapshot& snapshot) {
    return FormatText("%2d:%02d:%02d", snapshot.m_hour, snapshot.m_minute, snapshot.m_second);
}

bool IsMidnight(const TimeSnapshot& snapshot) {
    return snapshot.m_hour == 0 && snapshot.m_minute == 0 && snapshot.m_second == 0;
}

} // namespace

void CKalvorDlg::RefreshAll() {
    StoreReading(m_time, m_readClock());
    const std::string date =
        FormatText("%4d-%02d-%02d", m_time.m_year, m_time.m_month, m_time.m_day);
    const std::string time = TimeText(m_time);
    // Indexed by the platform's weekday number, Sunday 0.
    const std::string* const weekdays[] = {&m_textSunday,    &m_textMonday,   &m_textTuesday,
                                           &m_textWednesday, &m_textThursday, &m_textFriday,
                                           &m_textSaturday};
    const bool known = m_time.m_weekday >= 0 && m_time.m_weekday <= 6;
    const std::string weekday = known ? *weekdays[m_time.m_weekday] : std::string();

    SetDlgItemText(IDC_DATE_TEXT, date);
    SetDlgItemText(IDC_WEEKDAY_TEXT, weekday);
    SetDlgItemText(IDC_TIME_TEXT, time);
}

void CKalvorDlg::RefreshTime() {
    StoreReading(m_time, m_readClock());
    SetDlgItemText(IDC_TIME_TEXT, TimeText(m_time));
    // Every tick that reads midnight refreshes the date and weekday too, also a second one in the
    // same second.
    if (IsMidnight(m_time)) {
        RefreshAll();
    }
}

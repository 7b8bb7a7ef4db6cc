#include "DeviceClock.h"

namespace kalvor_sim {

DeviceClock::DeviceClock(const LocalInstant& powerOnAt)
    : m_registers{2000, 1, 1, 6, 0, 0, 0, 0}, m_setAt(powerOnAt) {}

LocalInstant DeviceClock::Read(const LocalInstant& at) const {
    if (!m_running) {
        return m_registers;
    }
    LocalInstant shown = AddMilliseconds(m_registers, MillisecondsBetween(m_setAt, at));
    shown.m_weekday = (shown.m_weekday + m_weekdayShift) % 7;
    return shown;
}

bool DeviceClock::HasDay(int day, const LocalInstant& at) const {
    const LocalInstant shown = Read(at);
    return day >= 1 && day <= DaysInMonth(shown.m_year, shown.m_month);
}

void DeviceClock::Set(int fieldNumber, int value, const LocalInstant& arrival) {
    LocalInstant shown = Read(arrival);
    LocalInstant& t = shown;
    switch (fieldNumber) {
    case 1:
        t.m_year = 2000 + value;
        break;
    case 2:
        t.m_month = value;
        break;
    case 3:
        t.m_day = value;
        break;
    case 4:
        t.m_weekday = value;
        break;
    case 5:
        t.m_hour = value;
        break;
    case 6:
        t.m_minute = value;
        break;
    case 7:
        t.m_second = value;
        shown.m_milliseconds = 0;
        break;
    default:
        return;
    }
    m_registers = shown;
    m_setAt = arrival;
    m_running = fieldNumber == 7;
    const int dateWeekday = WeekdayOf(t.m_year, t.m_month, t.m_day);
    m_weekdayShift = ((t.m_weekday - dateWeekday) % 7 + 7) % 7;
}

} // namespace kalvor_sim

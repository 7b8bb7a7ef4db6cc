#pragma once

#include "platform/LocalInstant.h"

namespace kalvor_sim {

// The clock of a simulated device: seven registers, year to second, and a running second.
//
// It runs from power-on at 2000-01-01 00:00:00, a Saturday. Each accepted frame sets one register
// at its arrival, as the device does. A frame of any field but the seconds also stops the clock,
// so that it cannot carry into a field already set (the hour set to 10 at 09:59:59.9 would
// otherwise turn into 11 a moment later); the seconds frame sets the seconds and starts a fresh
// second at its arrival (its milliseconds are 0 then). A sequence whose seconds frame is lost
// leaves the clock standing until the next seconds frame. The device counts years 2000 to 2099
// from the frame's two digits.
//
// The weekday register is the device's own: it is carried from day to day whether or not it
// matches the date.
//
// Time on both sides is local civil time: the computer's instants are the arrival times of the
// bytes, as read from its local clock.
class DeviceClock {
public:
    explicit DeviceClock(const LocalInstant& powerOnAt);

    // What the device shows at the computer's instant `at`.
    LocalInstant Read(const LocalInstant& at) const;

    // The day the device would take, with the month and year it holds at `at`, is a real one.
    bool HasDay(int day, const LocalInstant& at) const;

    // Sets one field (1 year, ... 7 second) to a frame's decimal value at the frame's arrival.
    void Set(int fieldNumber, int value, const LocalInstant& arrival);

private:
    LocalInstant m_registers; // what the device showed at m_setAt
    LocalInstant m_setAt;     // the computer's instant of the last setting
    bool m_running = true;    // false from a field's setting until the next seconds frame
    int m_weekdayShift = 0;   // device weekday minus the date's own weekday, 0 to 6
};

} // namespace kalvor_sim

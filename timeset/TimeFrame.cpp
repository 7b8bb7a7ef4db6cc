#include "TimeFrame.h"

namespace {

std::uint8_t FieldValue(const LocalInstant& snapshot, FrameStep step) {
    switch (step.Index()) {
    case 0:
        return ToBcd(snapshot.m_year % 100);
    case 1:
        return ToBcd(snapshot.m_month);
    case 2:
        return ToBcd(snapshot.m_day);
    case 3:
        // The device counts weekdays as the platform does, Sunday 0, and not in BCD.
        return static_cast<std::uint8_t>(snapshot.m_weekday);
    case 4:
        return ToBcd(snapshot.m_hour);
    case 5:
        return ToBcd(snapshot.m_minute);
    default:
        return ToBcd(snapshot.m_second);
    }
}

} // namespace

TimeFrame BuildTimeFrame(const LocalInstant& snapshot, FrameStep step) {
    const std::uint8_t field = step.FieldNumber();
    const std::uint8_t value = FieldValue(snapshot, step);
    // The device checks ~(value - K) with K = 10 - field; that is the same byte as the sum rule.
    return {kFrameStartByte, field, value, FrameCheckByte(field, value)};
}

const char* FieldName(FrameStep step) {
    static constexpr const char* kNames[kFramesPerSequence] = {"year", "month",  "day",   "weekday",
                                                               "hour", "minute", "second"};
    return kNames[step.Index()];
}

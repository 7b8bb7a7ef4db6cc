#pragma once

#include "platform/DeadlineTimer.h"
#include "platform/MonotonicClock.h"
#include "platform/SystemClock.h"

#include <cstdint>
#include <string>
#include <utility>

namespace kalvor_sync {

// The time a sequence is planned in, and the clock its frames' instants are waited for on: the
// computer's clock, or true time from a time reference, tied to the monotonic clock so that a
// step of the computer's clock does not move a frame.
class TimeBase {
public:
    virtual ~TimeBase() = default;

    // Now, in microseconds since 1970 UTC, as this time tells it.
    virtual std::int64_t Now() const = 0;
    // The clock the frames are waited for on, and the instant `at` of this time on that clock.
    virtual platform::DeadlineClock WaitClock() const = 0;
    virtual std::int64_t OnWaitClock(std::int64_t at) const = 0;
    // How a device set to this time is told after the time it got, or nothing.
    const std::string& Told() const { return m_told; }

protected:
    explicit TimeBase(std::string told) : m_told(std::move(told)) {}

private:
    std::string m_told;
};

// The computer's clock, waited for on itself.
class ComputerTime final : public TimeBase {
public:
    explicit ComputerTime(std::string told = {}) : TimeBase(std::move(told)) {}

    std::int64_t Now() const override { return platform::SystemClockMicroseconds(); }
    platform::DeadlineClock WaitClock() const override { return platform::DeadlineClock::Wall; }
    std::int64_t OnWaitClock(std::int64_t at) const override { return at; }
};

// True time as a reference told it when the sequence began (`trueThen` at the monotonic reading
// `monotonicThen`), carried on by the monotonic clock. Over a sequence's few seconds the monotonic
// clock's own error (some parts per million) is a few microseconds.
class ReferenceTime final : public TimeBase {
public:
    ReferenceTime(std::int64_t monotonicThen, std::int64_t trueThen, std::string told)
        : TimeBase(std::move(told)), m_monotonicThen(monotonicThen), m_trueThen(trueThen) {}

    std::int64_t Now() const override {
        return m_trueThen + (platform::MonotonicMicroseconds() - m_monotonicThen);
    }
    platform::DeadlineClock WaitClock() const override {
        return platform::DeadlineClock::Monotonic;
    }
    std::int64_t OnWaitClock(std::int64_t at) const override {
        return m_monotonicThen + (at - m_trueThen);
    }

private:
    std::int64_t m_monotonicThen;
    std::int64_t m_trueThen;
};

} // namespace kalvor_sync

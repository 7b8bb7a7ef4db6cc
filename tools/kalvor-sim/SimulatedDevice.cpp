#include "SimulatedDevice.h"

#include "timeset/TimeFrame.h"

namespace kalvor_sim {

namespace {

std::string NumberedField(int fieldNumber) {
    return "field " + std::to_string(fieldNumber) + " (" + FieldLabel(fieldNumber) + ")";
}

} // namespace

SimulatedDevice::SimulatedDevice(const LocalInstant& powerOnAt, int silenceLimitMs)
    : m_decoder(silenceLimitMs), m_clock(powerOnAt) {}

void SimulatedDevice::Receive(std::uint8_t byte, const LocalInstant& arrival,
                              std::vector<DeviceReport>& out) {
    m_decoded.clear();
    m_decoder.Feed(byte, arrival, m_decoded);
    Handle(m_decoded, out);
}

void SimulatedDevice::NoteSilence(const LocalInstant& now, bool inputEnded,
                                  std::vector<DeviceReport>& out) {
    m_decoded.clear();
    m_decoder.Flush(now, inputEnded, m_decoded);
    Handle(m_decoded, out);
    if (inputEnded && m_framesInSequence > 0) {
        Break(now, "the input ended", out);
    }
}

void SimulatedDevice::Handle(std::vector<DecodedFrame>& frames, std::vector<DeviceReport>& out) {
    for (DecodedFrame& frame : frames) {
        if (frame.m_verdict == FrameVerdict::Accepted && frame.m_fieldNumber == 3 &&
            !m_clock.HasDay(frame.m_value, frame.m_arrival)) {
            const LocalInstant shown = m_clock.Read(frame.m_arrival);
            frame.m_verdict = FrameVerdict::DayNotInMonth;
            frame.m_detail = "day " + std::to_string(frame.m_value) + " does not exist in " +
                             std::to_string(shown.m_year) + "-" + (shown.m_month < 10 ? "0" : "") +
                             std::to_string(shown.m_month);
        }
        if (frame.m_verdict == FrameVerdict::Accepted) {
            m_clock.Set(frame.m_fieldNumber, frame.m_value, frame.m_arrival);
        }
        out.emplace_back(frame);
        Follow(frame, out);
    }
}

void SimulatedDevice::Follow(const DecodedFrame& frame, std::vector<DeviceReport>& out) {
    if (frame.m_verdict == FrameVerdict::Noise) {
        return;
    }
    if (frame.m_verdict != FrameVerdict::Accepted) {
        Break(frame.m_arrival,
              (frame.m_fieldNumber != 0 ? "the " + std::string(FieldLabel(frame.m_fieldNumber))
                                        : std::string("a")) +
                  " frame was rejected (" + VerdictCode(frame.m_verdict) + ")",
              out);
        return;
    }
    if (frame.m_fieldNumber == 1) {
        Break(frame.m_arrival, "a new sequence began", out);
        m_framesInSequence = 1;
        return;
    }
    if (m_framesInSequence == 0) {
        return; // a field set outside any sequence
    }
    if (frame.m_fieldNumber != m_framesInSequence + 1) {
        Break(frame.m_arrival,
              NumberedField(frame.m_fieldNumber) + " arrived where " +
                  NumberedField(m_framesInSequence + 1) + " was due",
              out);
        return;
    }
    ++m_framesInSequence;
    if (m_framesInSequence < kFramesPerSequence) {
        return;
    }
    SequenceReport report;
    report.m_arrival = frame.m_arrival;
    report.m_complete = true;
    report.m_framesAccepted = m_framesInSequence;
    report.m_deviceClock = m_clock.Read(frame.m_arrival);
    report.m_computerClock = frame.m_arrival;
    report.m_errorMs = MillisecondsBetween(report.m_computerClock, report.m_deviceClock);
    const LocalInstant& shown = report.m_deviceClock;
    report.m_weekdayMatchesDate =
        shown.m_weekday == WeekdayOf(shown.m_year, shown.m_month, shown.m_day);
    out.emplace_back(std::move(report));
    m_framesInSequence = 0;
}

void SimulatedDevice::Break(const LocalInstant& at, const std::string& why,
                            std::vector<DeviceReport>& out) {
    if (m_framesInSequence == 0) {
        return;
    }
    SequenceReport report;
    report.m_arrival = at;
    report.m_framesAccepted = m_framesInSequence;
    report.m_detail = "incomplete after " + std::to_string(m_framesInSequence) + " of " +
                      std::to_string(kFramesPerSequence) + " frames: " + why;
    out.emplace_back(std::move(report));
    m_framesInSequence = 0;
}

} // namespace kalvor_sim

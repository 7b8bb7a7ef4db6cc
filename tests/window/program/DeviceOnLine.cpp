#include "DeviceOnLine.h"

#include "platform/LocalTime.h"

#include <algorithm>
#include <variant>

LocalInstant LocalNow() {
    return platform::ReadLocalTime();
}

DeviceOnLine::DeviceOnLine(int portNumber) : m_line(portNumber), m_device(LocalNow()) {}

void DeviceOnLine::ListenForFrames(std::size_t count, int milliseconds) {
    const LocalInstant start = LocalNow();
    for (;;) {
        const std::int64_t left = milliseconds - MillisecondsBetween(start, LocalNow());
        if (m_frames.size() >= count || left <= 0) {
            return;
        }
        const serial_test::Bytes bytes =
            m_line.ReadSome(static_cast<int>(std::min<std::int64_t>(left, 100)));
        const LocalInstant arrival = LocalNow();
        std::vector<kalvor_sim::DeviceReport> reports;
        for (const std::uint8_t byte : bytes) {
            m_device.Receive(byte, arrival, reports);
        }
        m_device.NoteSilence(arrival, false, reports);
        m_bytesReceived += bytes.size();
        for (kalvor_sim::DeviceReport& report : reports) {
            if (auto* frame = std::get_if<DecodedFrame>(&report)) {
                m_frames.push_back(std::move(*frame));
            } else {
                m_sequences.push_back(std::get<SequenceReport>(std::move(report)));
            }
        }
    }
}

void DeviceOnLine::ListenFor(int milliseconds) {
    ListenForFrames(static_cast<std::size_t>(-1), milliseconds);
}

std::vector<int> DeviceOnLine::Fields() const {
    std::vector<int> fields;
    for (const DecodedFrame& frame : m_frames) {
        fields.push_back(frame.m_fieldNumber);
    }
    return fields;
}

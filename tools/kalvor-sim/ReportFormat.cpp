#include "ReportFormat.h"

#include "tools/common/InstantText.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace kalvor_sim {

namespace {

using kalvor_tools::FormatInstant;
using kalvor_tools::WeekdayName;
// Keys in the order they are added, as the format lists them and readers grep them.
using Json = nlohmann::ordered_json;

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::uint8_t byte : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", byte);
        if (!text.empty()) {
            text += ' ';
        }
        text += pair;
    }
    return text;
}

std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

// One line of JSON. Texts that are not UTF-8 (a detail quoting received bytes) have their bad
// bytes replaced rather than make the line invalid.
std::string JsonText(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string HumanFrame(const DecodedFrame& frame) {
    const bool accepted = frame.m_verdict == FrameVerdict::Accepted;
    std::string line =
        FormatInstant(frame.m_arrival) + "  " + Padded(HexBytes(frame.m_bytes), 11) + "  " +
        Padded(frame.m_verdict == FrameVerdict::Noise ? "noise" : FieldLabel(frame.m_fieldNumber),
               7) +
        "  " + Padded(accepted ? std::to_string(frame.m_value) : "--", 2) + "  ";
    return line + (accepted ? "ok" : std::string("rejected: ") + frame.m_detail);
}

std::string HumanSequence(const SequenceReport& sequence) {
    std::string line = FormatInstant(sequence.m_arrival) + "  sequence ";
    if (!sequence.m_complete) {
        return line + sequence.m_detail;
    }
    const int weekday = sequence.m_deviceClock.m_weekday;
    line += "complete: device clock " + FormatInstant(sequence.m_deviceClock) + " " +
            WeekdayName(weekday) + ", error " + std::to_string(sequence.m_errorMs) + " ms";
    if (!sequence.m_weekdayMatchesDate) {
        line += std::string(" (the weekday ") + WeekdayName(weekday) + " is not the date's)";
    }
    return line;
}

std::string JsonFrame(const DecodedFrame& frame, const std::string& device) {
    const bool noise = frame.m_verdict == FrameVerdict::Noise;
    const bool accepted = frame.m_verdict == FrameVerdict::Accepted;
    Json json;
    json["type"] = noise ? "noise" : "frame";
    if (!device.empty()) {
        json["address"] = device;
    }
    json["arrival"] = FormatInstant(frame.m_arrival, 'T');
    json["bytes"] = HexBytes(frame.m_bytes);
    if (frame.m_fieldNumber != 0) {
        json["field"] = frame.m_fieldNumber;
        json["name"] = FieldLabel(frame.m_fieldNumber);
    }
    if (accepted) {
        json["value"] = frame.m_value;
        json["status"] = "ok";
    } else {
        json["status"] = "rejected";
        json["reason"] = VerdictCode(frame.m_verdict);
        json["detail"] = frame.m_detail;
    }
    return JsonText(json);
}

std::string JsonSequence(const SequenceReport& sequence, const std::string& device) {
    Json json;
    json["type"] = "sequence";
    if (!device.empty()) {
        json["address"] = device;
    }
    json["arrival"] = FormatInstant(sequence.m_arrival, 'T');
    json["complete"] = sequence.m_complete;
    json["frames"] = sequence.m_framesAccepted;
    if (!sequence.m_complete) {
        json["detail"] = sequence.m_detail;
        return JsonText(json);
    }
    json["device"] = FormatInstant(sequence.m_deviceClock, 'T');
    json["weekday"] = sequence.m_deviceClock.m_weekday;
    json["weekday_matches_date"] = sequence.m_weekdayMatchesDate;
    json["computer"] = FormatInstant(sequence.m_computerClock, 'T');
    json["error_ms"] = sequence.m_errorMs;
    return JsonText(json);
}

} // namespace

std::string HumanLine(const DeviceReport& report, const std::string& device) {
    const std::string prefix = device.empty() ? "" : device + "  ";
    if (const auto* frame = std::get_if<DecodedFrame>(&report)) {
        return prefix + HumanFrame(*frame);
    }
    return prefix + HumanSequence(std::get<SequenceReport>(report));
}

std::string JsonLine(const DeviceReport& report, const std::string& device) {
    if (const auto* frame = std::get_if<DecodedFrame>(&report)) {
        return JsonFrame(*frame, device);
    }
    return JsonSequence(std::get<SequenceReport>(report), device);
}

std::string HumanLine(const NetworkEvent& event) {
    switch (event.kind) {
    case NetworkEvent::Kind::Listening:
        return event.device + "  listening";
    case NetworkEvent::Kind::Connected:
        return event.device + "  " + FormatInstant(event.at) + "  connected from " + event.detail;
    case NetworkEvent::Kind::Disconnected:
        return event.device + "  " + FormatInstant(event.at) + "  disconnected (" + event.detail +
               ")";
    case NetworkEvent::Kind::LineSet:
        return event.device + "  " + FormatInstant(event.at) + "  line set to " +
               Describe(event.settings);
    }
    return event.device;
}

std::string JsonLine(const NetworkEvent& event) {
    Json json;
    static const char* const kTypes[] = {"listening", "connected", "disconnected", "line"};
    json["type"] = kTypes[static_cast<int>(event.kind)];
    json["address"] = event.device;
    if (event.kind != NetworkEvent::Kind::Listening) {
        json["arrival"] = FormatInstant(event.at, 'T');
    }
    if (event.kind == NetworkEvent::Kind::LineSet) {
        json["baud"] = event.settings.baudRate;
        json["data_bits"] = event.settings.dataBits;
        json["settings"] = Describe(event.settings);
    } else if (event.kind != NetworkEvent::Kind::Listening) {
        json["detail"] = event.detail;
    }
    return JsonText(json);
}

std::string StampingLine(const StampingFigures& figures, bool json) {
    if (json) {
        Json line;
        line["type"] = "stamping";
        line["passes"] = figures.passes;
        line["longest_pass_us"] = figures.longestPassMicroseconds;
        line["lines_in_longest_pass"] = figures.linesInLongestPass;
        return JsonText(line);
    }
    char text[160];
    std::snprintf(text, sizeof text,
                  "stamping: %lld passes read bytes; the longest took %.3f ms for %d lines",
                  static_cast<long long>(figures.passes),
                  static_cast<double>(figures.longestPassMicroseconds) / 1000,
                  figures.linesInLongestPass);
    return text;
}

} // namespace kalvor_sim

#include "PortArgument.h"

#include <cctype>
#include <charconv>

namespace kalvor_tools {

namespace {

constexpr int kHighestComPort = 255;

// Drops `prefix` from the front of `text`, whatever the letters' case; false if it is not there.
bool DropPrefix(std::string_view& text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i]) {
            return false;
        }
    }
    text.remove_prefix(prefix.size());
    return true;
}

std::string SerialPortProblem(const std::string& text) {
    return "\"" + text + "\" is neither a port number from 1 to " +
           std::to_string(kHighestComPort) + " nor a device";
}

} // namespace

std::optional<platform::PortName> ParsePortArgument(const std::string& text) {
    std::string_view number = text;
    DropPrefix(number, "\\\\.\\");
    const bool named = DropPrefix(number, "COM");
    int value = 0;
    const char* end = number.data() + number.size();
    const auto [stop, failure] = std::from_chars(number.data(), end, value);
    if (failure == std::errc() && stop == end && value >= 1 && value <= kHighestComPort) {
        return platform::NumberedPort(value);
    }
    if (named || text.empty() || std::isdigit(static_cast<unsigned char>(text[0])) ||
        text[0] == '-') {
        return std::nullopt;
    }
    return platform::DevicePort(text);
}

std::string PortArgumentError(const std::string& text) {
    return "--port: " + SerialPortProblem(text);
}

const std::string& DeviceLabel(const DeviceAddress& device) {
    return std::visit([](const auto& named) -> const std::string& { return named.label; }, device);
}

DeviceArgument ParseDeviceArgument(const std::string& text, NetworkUse use) {
    if (LooksLikeUrl(text)) {
        UrlReading url = ReadNetworkUrl(text, use);
        if (!url.device) {
            return {std::nullopt, "\"" + text + "\": " + url.problem};
        }
        return {DeviceAddress(std::move(*url.device)), {}};
    }
    if (auto port = ParsePortArgument(text)) {
        return {DeviceAddress(std::move(*port)), {}};
    }
    return {std::nullopt, SerialPortProblem(text)};
}

} // namespace kalvor_tools

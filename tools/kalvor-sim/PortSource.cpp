#include "PortSource.h"

#include "platform/SystemError.h"

namespace {

// Short enough that silence inside a frame is seen well within the decoder's limit.
constexpr int kQuietReadMs = 20;

std::string Failure(int portNumber, const char* what) {
    const unsigned code = platform::LastSystemError();
    std::string text = platform::SystemErrorText(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return "port " + std::to_string(portNumber) + " (" + platform::PortDevice(portNumber) +
           "): " + what + ": " + (text.empty() ? "error " + std::to_string(code) : text);
}

} // namespace

std::unique_ptr<PortSource> PortSource::Open(int portNumber, std::string& error) {
    std::unique_ptr<PortSource> source(new PortSource(portNumber));
    platform::CommPort& port = source->m_port;
    if (!port.Open(portNumber)) {
        error = Failure(portNumber, "cannot open");
        return nullptr;
    }
    // No time limits of the port's own: each read sets its own.
    platform::LineSettings line;
    if (!port.SetTimeouts(platform::CommTimeouts{}) || !port.GetLineSettings(line) ||
        !platform::BuildLineSettings("baud=9600 parity=N data=8 stop=1", line) ||
        !port.SetLineSettings(line)) {
        error = Failure(portNumber, "cannot set 9600 8N1");
        return nullptr;
    }
    port.Purge(platform::kPurgeAll);
    return source;
}

ByteSource::Chunk PortSource::Read(std::span<std::uint8_t> buffer) {
    Chunk chunk;
    const int count =
        m_port.ReadWithin(buffer.data(), static_cast<int>(buffer.size()), kQuietReadMs);
    if (count < 0) {
        chunk.ended = true;
        chunk.error = Failure(m_portNumber, "reading failed");
        return chunk;
    }
    chunk.count = static_cast<std::size_t>(count);
    return chunk;
}

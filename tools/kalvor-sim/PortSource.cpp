#include "PortSource.h"

#include "tools/common/PortErrorWords.h"
#include "tools/common/SerialLine.h"

namespace kalvor_sim {

using platform::PortOperation;

namespace {

// Short enough that silence inside a frame is seen well within the decoder's limit.
constexpr int kQuietReadMs = 20;

} // namespace

std::unique_ptr<PortSource> PortSource::Open(const platform::PortName& port,
                                             std::optional<platform::PortError>& failure) {
    std::unique_ptr<PortSource> source(new PortSource(port));
    // No time limits of the port's own: each read sets its own.
    failure = kalvor_tools::OpenClockLine(source->m_port, port, platform::CommTimeouts{});
    return failure ? nullptr : std::move(source);
}

ByteSource::Chunk PortSource::Read(std::span<std::uint8_t> buffer) {
    Chunk chunk;
    const int count =
        m_port.ReadWithin(buffer.data(), static_cast<int>(buffer.size()), kQuietReadMs);
    if (count < 0) {
        chunk.ended = true;
        chunk.error = kalvor_tools::PortErrorInWords(
            platform::CapturePortError(PortOperation::ReadCompletion, m_name));
        return chunk;
    }
    chunk.count = static_cast<std::size_t>(count);
    return chunk;
}

} // namespace kalvor_sim

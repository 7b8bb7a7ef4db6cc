#include "SerialLink.h"

#include "tools/common/PortErrorWords.h"
#include "tools/common/SerialLine.h"

namespace kalvor_sync {

std::unique_ptr<SerialLink> SerialLink::Open(const platform::PortName& port, std::string& error) {
    std::unique_ptr<SerialLink> link(new SerialLink(port));
    // Nothing is read; a frame's write ends within its limit, taken or not.
    const platform::CommTimeouts timeouts{0, 0, 0, 0, kFrameLimitMs};
    const auto failure = kalvor_tools::OpenClockLine(link->m_port, port, timeouts);
    if (failure) {
        error = kalvor_tools::PortErrorInWords(*failure);
        return nullptr;
    }
    return link;
}

bool SerialLink::StartFrame(const TimeFrame& frame, std::string& error) {
    m_frameBytes = static_cast<std::uint32_t>(frame.size());
    if (m_port.StartWrite(frame.data(), m_frameBytes) == platform::IoStart::Failed) {
        error = kalvor_tools::PortErrorInWords(
            platform::CapturePortError(platform::PortOperation::Write, m_name));
        return false;
    }
    return true;
}

bool SerialLink::FinishFrame(std::string& error) {
    std::uint32_t taken = 0;
    if (m_port.FinishBoundedWrite(taken) != platform::Transfer::Done) {
        error = kalvor_tools::PortErrorInWords(
            platform::CapturePortError(platform::PortOperation::WriteCompletion, m_name));
        return false;
    }
    if (taken < m_frameBytes) {
        const std::string limit = " within " + std::to_string(kFrameLimitMs) + " ms";
        error = m_name.label + ": the line took " +
                (taken == 0 ? "no byte of the frame" + limit
                            : std::to_string(taken) + " of the frame's " +
                                  std::to_string(m_frameBytes) + " bytes" + limit);
        return false;
    }
    return true;
}

} // namespace kalvor_sync

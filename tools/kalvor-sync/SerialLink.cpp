#include "SerialLink.h"

#include "tools/common/PortErrorWords.h"
#include "tools/common/SerialLine.h"

namespace kalvor_sync {

namespace {

// As the window's port has them: a write of n bytes ends within 1000 * n + 1000 ms.
constexpr std::uint32_t kTimeoutMs = 1000;

} // namespace

std::unique_ptr<SerialLink> SerialLink::Open(const platform::PortName& port, std::string& error) {
    std::unique_ptr<SerialLink> link(new SerialLink(port));
    const auto failure = kalvor_tools::OpenClockLine(
        link->m_port, port, {kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs});
    if (failure) {
        error = kalvor_tools::PortErrorInWords(*failure);
        return nullptr;
    }
    return link;
}

bool SerialLink::StartFrame(const TimeFrame& frame, std::string& error) {
    if (m_port.StartWrite(frame.data(), static_cast<std::uint32_t>(frame.size())) ==
        platform::IoStart::Failed) {
        error = kalvor_tools::PortErrorInWords(
            platform::CapturePortError(platform::PortOperation::Write, m_name));
        return false;
    }
    return true;
}

bool SerialLink::FinishFrame(std::string& error) {
    if (m_port.FinishWrite() != platform::Transfer::Done) {
        error = kalvor_tools::PortErrorInWords(
            platform::CapturePortError(platform::PortOperation::WriteCompletion, m_name));
        return false;
    }
    return true;
}

} // namespace kalvor_sync

#include "serial/SerialPort.h"

#include "platform/LineSetUp.h"
#include "platform/monitor/ErrorBox.h"
#include "serial/PortReport.h"

using platform::PortOperation;

namespace {

constexpr std::uint32_t kAllTimeoutsMs = 1000;
constexpr std::uint32_t kPortEventMask = platform::kEventRxChar | platform::kEventRxFlag;

} // namespace

CSerialPort::CSerialPort()
    : m_reportSink([](const platform::PortError& error) {
          platform::ShowErrorBox(PortReportText(error), kPortReportCaption);
      }) {}

CSerialPort::~CSerialPort() {
    StopMonitor();
    m_portHandle.Close();
    m_stopEvent.Close();
    m_ioRecord.Close();
    m_sendEvent.Close();
    m_sendBuffer.reset();
}

void CSerialPort::SetReportSink(ReportSink sink) {
    m_reportSink = std::move(sink);
}

// Asks the monitor to end and waits until it has. The stop event is manual-reset and nothing
// resets it before the wait is over, so it stays signalled until the monitor has cleared
// m_monitorRunning, however late it looks; the wait blocks, and a report the monitor is showing
// meanwhile can still be dismissed, after which the monitor sees the stop event.
void CSerialPort::StopMonitor() {
    if (m_stopEvent.Exists()) {
        m_stopEvent.Set();
    }
    m_monitor.WaitUntilEnded();
}

bool CSerialPort::Open(platform::WindowHandle owner, int portNumber) {
    return Open(owner, platform::NumberedPort(portNumber));
}

bool CSerialPort::Open(platform::WindowHandle owner, const platform::PortName& port) {
    StopMonitor();
    m_openFailure.reset();

    const bool eventsReady =
        m_ioRecord.Prepare() && m_sendEvent.CreateOrReset() && m_stopEvent.CreateOrReset();
    if (!eventsReady) {
        m_openFailure = platform::CapturePortError(PortOperation::CreateEvents, port);
    }
    m_waitList = platform::WaitList(m_stopEvent, m_ioRecord, m_sendEvent);

    m_owner = owner;
    m_sendBuffer = std::make_unique<std::uint8_t[]>(kSendBufferSize);
    m_portNumber = port.number;
    m_portName = port;
    m_eventMask = kPortEventMask;
    m_sendCapacity = kSendBufferSize;
    m_shownFailures = {};
    m_busyRefusals = 0;

    platform::LockGuard guard(m_lock);
    m_portHandle.Close();
    if (!eventsReady) {
        // Without its events no monitor could serve the port: report it, and hold none.
        m_reportSink(*m_openFailure);
        return false;
    }
    if (!m_portHandle.Open(port.device)) {
        m_openFailure = platform::CapturePortError(PortOperation::Open, port);
        return false;
    }
    ConfigurePort();
    m_portHandle.Purge(platform::kPurgeAll);
    return true;
}

// Time-outs, event mask and line settings, in this order; the first that fails is reported and
// ends the configuration, and the port stays open with what was applied before it (the tools
// close a line that fails instead).
void CSerialPort::ConfigurePort() {
    m_timeouts = {kAllTimeoutsMs, kAllTimeoutsMs, kAllTimeoutsMs, kAllTimeoutsMs, kAllTimeoutsMs};
    if (const auto failed = platform::SetUpClockLine(
            m_portHandle, {m_timeouts, m_eventMask, kLineFormat}, m_lineSettings)) {
        ReportPortError(*failed);
    }
}

void CSerialPort::ReportPortError(PortOperation operation) {
    m_reportSink(platform::CapturePortError(operation, m_portName));
}

#include "serial/SerialPort.h"

#include "platform/ErrorBox.h"
#include "platform/SystemError.h"

#include <cstdio>

namespace {

constexpr std::uint32_t kAllTimeoutsMs = 1000;
constexpr std::uint32_t kPortEventMask = platform::kEventRxChar | platform::kEventRxFlag;
constexpr const char* kReportCaption = "Application Error";

} // namespace

CSerialPort::CSerialPort()
    : m_reportSink([](const std::string& text, const std::string& caption) {
          platform::ShowErrorBox(text, caption);
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
    StopMonitor();

    const bool eventsReady =
        m_ioRecord.Prepare() && m_sendEvent.CreateOrReset() && m_stopEvent.CreateOrReset();
    m_waitList = platform::WaitList(m_stopEvent, m_ioRecord, m_sendEvent);

    m_owner = owner;
    m_sendBuffer = std::make_unique<std::uint8_t[]>(kSendBufferSize);
    m_portNumber = portNumber;
    m_eventMask = kPortEventMask;
    m_sendCapacity = kSendBufferSize;
    m_shownFailures = {};

    char lineDefinition[64];
    std::snprintf(lineDefinition, sizeof lineDefinition, "baud=%d parity=%c data=%d stop=%d", 9600,
                  'N', 8, 1);

    platform::LockGuard guard(m_lock);
    m_portHandle.Close();
    if (!eventsReady) {
        // Without its events no monitor could serve the port: report it, and hold none.
        ReportPortError("CreateEvent()");
        return false;
    }
    if (!m_portHandle.Open(portNumber)) {
        return false;
    }
    ConfigurePort(lineDefinition);
    m_portHandle.Purge(platform::kPurgeAll);
    return true;
}

// Time-outs, event mask and line settings, in this order; the first that fails is reported and
// ends the configuration, and the port keeps what was applied before it.
void CSerialPort::ConfigurePort(const char* lineDefinition) {
    m_timeouts = {kAllTimeoutsMs, kAllTimeoutsMs, kAllTimeoutsMs, kAllTimeoutsMs, kAllTimeoutsMs};
    if (!m_portHandle.SetTimeouts(m_timeouts)) {
        ReportPortError("SetCommTimeouts()");
        return;
    }
    if (!m_portHandle.SetEventMask(m_eventMask)) {
        ReportPortError("SetCommMask()");
        return;
    }
    if (!m_portHandle.GetLineSettings(m_lineSettings)) {
        ReportPortError("GetCommState()");
        return;
    }
    m_lineSettings.EnableRts();
    if (!platform::BuildLineSettings(lineDefinition, m_lineSettings)) {
        ReportPortError("BuildCommDCB()");
        return;
    }
    if (!m_portHandle.SetLineSettings(m_lineSettings)) {
        ReportPortError("SetCommState()");
    }
}

void CSerialPort::ReportPortError(const char* operation) {
    const std::string systemText = platform::SystemErrorText(platform::LastSystemError());
    // The system's text keeps its own closing line break, so an empty line stands before "Port:".
    std::string text = "WARNING:  ";
    text += operation;
    text += " Failed with the following error: \n";
    text += systemText;
    text += "\nPort: " + std::to_string(m_portNumber) + "\n";
    m_reportSink(text, kReportCaption);
}

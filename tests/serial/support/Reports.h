#pragma once

#include "platform/PortError.h"
#include "serial/SerialPort.h"

#include <condition_variable>
#include <mutex>
#include <vector>

namespace serial_test {

// Collects the errors a port reports instead of showing them, from whichever thread meets them.
// A report of a chosen operation can be held, keeping its thread inside the report (as a user
// who has not yet dismissed the message box) until Release().
class ReportCollector {
public:
    CSerialPort::ReportSink Sink();

    std::vector<platform::PortError> All();
    std::size_t CountOf(platform::PortOperation operation);
    // Waits until a report of the operation has come.
    bool WaitFor(platform::PortOperation operation, int timeoutMs);

    void HoldNext(platform::PortOperation operation);
    bool WaitUntilHeld(int timeoutMs);
    void Release();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<platform::PortError> m_reports;
    std::optional<platform::PortOperation> m_holdOperation;
    bool m_holding = false;
};

} // namespace serial_test

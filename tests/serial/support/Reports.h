#pragma once

#include "serial/SerialPort.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace serial_test {

struct Report {
    std::string text;
    std::string caption;
};

// Collects the reports of a port instead of showing them, from whichever thread makes them.
// A report naming a chosen operation can be held, keeping its thread inside the report (as a
// user who has not yet dismissed the message box) until Release().
class ReportCollector {
public:
    CSerialPort::ReportSink Sink();

    std::vector<Report> All();
    std::size_t CountNaming(const std::string& operation);
    // Waits until a report naming operation has come.
    bool WaitFor(const std::string& operation, int timeoutMs);

    void HoldNext(const std::string& operation);
    bool WaitUntilHeld(int timeoutMs);
    void Release();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Report> m_reports;
    std::string m_holdOperation;
    bool m_holding = false;
};

// The operation a report names: the text between "WARNING:  " and " Failed".
std::string OperationOf(const Report& report);

} // namespace serial_test

#include "Reports.h"

#include <chrono>

namespace serial_test {

CSerialPort::ReportSink ReportCollector::Sink() {
    return [this](const platform::PortError& error) {
        std::unique_lock lock(m_mutex);
        m_reports.push_back(error);
        if (m_holdOperation == error.operation) {
            m_holdOperation.reset();
            m_holding = true;
        }
        m_changed.notify_all();
        // A test that fails while holding must not hang: a held report ends after 20 s anyway.
        m_changed.wait_for(lock, std::chrono::seconds(20), [&] { return !m_holding; });
        m_holding = false;
    };
}

std::vector<platform::PortError> ReportCollector::All() {
    std::lock_guard lock(m_mutex);
    return m_reports;
}

std::size_t ReportCollector::CountOf(platform::PortOperation operation) {
    std::size_t count = 0;
    for (const platform::PortError& report : All()) {
        count += report.operation == operation;
    }
    return count;
}

bool ReportCollector::WaitFor(platform::PortOperation operation, int timeoutMs) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        for (const platform::PortError& report : m_reports) {
            if (report.operation == operation) {
                return true;
            }
        }
        return false;
    });
}

void ReportCollector::HoldNext(platform::PortOperation operation) {
    std::lock_guard lock(m_mutex);
    m_holdOperation = operation;
}

bool ReportCollector::WaitUntilHeld(int timeoutMs) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_holding; });
}

void ReportCollector::Release() {
    std::lock_guard lock(m_mutex);
    m_holding = false;
    m_changed.notify_all();
}

} // namespace serial_test

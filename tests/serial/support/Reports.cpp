#include "Reports.h"

#include <chrono>

namespace serial_test {

CSerialPort::ReportSink ReportCollector::Sink() {
    return [this](const std::string& text, const std::string& caption) {
        std::unique_lock lock(m_mutex);
        m_reports.push_back({text, caption});
        const bool hold =
            !m_holdOperation.empty() && OperationOf(m_reports.back()) == m_holdOperation;
        if (hold) {
            m_holdOperation.clear();
            m_holding = true;
        }
        m_changed.notify_all();
        // A test that fails while holding must not hang: a held report ends after 20 s anyway.
        m_changed.wait_for(lock, std::chrono::seconds(20), [&] { return !m_holding; });
        m_holding = false;
    };
}

std::vector<Report> ReportCollector::All() {
    std::lock_guard lock(m_mutex);
    return m_reports;
}

std::size_t ReportCollector::CountNaming(const std::string& operation) {
    std::size_t count = 0;
    for (const Report& report : All()) {
        count += OperationOf(report) == operation;
    }
    return count;
}

bool ReportCollector::WaitFor(const std::string& operation, int timeoutMs) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        for (const Report& report : m_reports) {
            if (OperationOf(report) == operation) {
                return true;
            }
        }
        return false;
    });
}

void ReportCollector::HoldNext(const std::string& operation) {
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

std::string OperationOf(const Report& report) {
    static const std::string kStart = "WARNING:  ";
    const auto end = report.text.find(" Failed with the following error: \n");
    if (report.text.rfind(kStart, 0) != 0 || end == std::string::npos) {
        return {};
    }
    return report.text.substr(kStart.size(), end - kStart.size());
}

} // namespace serial_test

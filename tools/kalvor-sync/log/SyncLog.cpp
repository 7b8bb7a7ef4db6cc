#include "SyncLog.h"

#include "tools/common/InstantText.h"

#include <cstdio>

namespace kalvor_sync {

void SyncLog::Frame(const LocalInstant& at, int stepIndex, const TimeFrame& frame,
                    std::size_t devices, std::int64_t microseconds) {
    if (m_verbosity != Verbosity::Verbose) {
        return;
    }
    std::string spread;
    if (devices > 1) {
        char text[64];
        std::snprintf(text, sizeof text, "  (%lu devices, written in %.3f ms)",
                      static_cast<unsigned long>(devices),
                      static_cast<double>(microseconds) / 1000);
        spread = text;
    }
    std::lock_guard lock(m_mutex);
    m_out << kalvor_tools::FormatInstant(at) << "  " << kalvor_tools::FrameHex(frame) << "  "
          << FieldName(*FrameStep::At(stepIndex)) << spread << std::endl;
}

void SyncLog::DeviceSet(const std::string& line) {
    std::lock_guard lock(m_mutex);
    if (m_verbosity != Verbosity::Quiet) {
        m_out << line << std::endl;
    }
    if (m_events) {
        m_events(Event::DeviceSet, line);
    }
}

void SyncLog::Detail(const std::string& line) {
    if (m_verbosity != Verbosity::Verbose) {
        return;
    }
    std::lock_guard lock(m_mutex);
    m_out << line << std::endl;
}

void SyncLog::Warning(const std::string& line) {
    std::lock_guard lock(m_mutex);
    m_errors << "kalvor-sync: warning: " << line << std::endl;
    if (m_events) {
        m_events(Event::Warning, line);
    }
}

void SyncLog::Error(const std::string& line) {
    std::lock_guard lock(m_mutex);
    m_errors << "kalvor-sync: " << line << std::endl;
    if (m_events) {
        m_events(Event::Failure, line);
    }
}

void SyncLog::Recovery(const std::string& line) {
    std::lock_guard lock(m_mutex);
    m_errors << "kalvor-sync: " << line << std::endl;
    if (m_events) {
        m_events(Event::Recovery, line);
    }
}

} // namespace kalvor_sync

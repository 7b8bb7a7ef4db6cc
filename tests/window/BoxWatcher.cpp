#include "BoxWatcher.h"

#include <chrono>
#include <windows.h>

BoxWatcher::BoxWatcher() : m_thread([this] { Watch(); }) {}

BoxWatcher::~BoxWatcher() {
    m_stop = true;
    m_thread.join();
}

std::vector<driver::MessageBoxInfo> BoxWatcher::Seen() const {
    const std::lock_guard guard(m_lock);
    return m_seen;
}

void BoxWatcher::Forget() {
    const std::lock_guard guard(m_lock);
    m_seen.clear();
}

void BoxWatcher::Watch() {
    while (!m_stop) {
        for (const driver::MessageBoxInfo& box :
             driver::ListMessageBoxes(::GetCurrentProcessId())) {
            {
                const std::lock_guard guard(m_lock);
                m_seen.push_back(box);
            }
            driver::DismissMessageBox(box.window);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

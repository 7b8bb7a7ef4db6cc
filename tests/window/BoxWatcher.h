#pragma once

#include "tests/window/driver/MessageBoxes.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

// Presses OK on every message box this process shows, from a thread of its own, and keeps what
// each box said: a dialog run in the test's own thread can show its tips without waiting for a
// user.
class BoxWatcher {
public:
    BoxWatcher();
    ~BoxWatcher();
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    // The boxes dismissed so far, in the order they came.
    std::vector<driver::MessageBoxInfo> Seen() const;
    void Forget();

private:
    void Watch();

    mutable std::mutex m_lock;
    std::vector<driver::MessageBoxInfo> m_seen; // written by the watching thread
    std::atomic<bool> m_stop{false};            // written by the owner's thread
    std::thread m_thread;
};

#pragma once

#include <cstddef>

namespace platform {

// A lock between threads (Win32: a critical section, POSIX: a mutex). Initialised by the
// constructor and deleted by the destructor, once each. A thread must not enter it twice.
class Lock {
public:
    Lock();
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    void Enter();
    void Leave();

private:
    // Room for the platform's lock record, which this header does not name. Aligned as either
    // record needs and no more than every target's heap aligns a block: on i686 Windows that is
    // 8 bytes, though the compiler's largest alignment there is 16.
    alignas(8) std::byte m_native[64];
};

// Holds a lock for a scope; Leave() gives it up early.
class LockGuard {
public:
    explicit LockGuard(Lock& lock) : m_lock(&lock) { m_lock->Enter(); }
    ~LockGuard() { Leave(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

    void Leave() {
        if (m_lock != nullptr) {
            m_lock->Leave();
            m_lock = nullptr;
        }
    }

private:
    Lock* m_lock;
};

} // namespace platform

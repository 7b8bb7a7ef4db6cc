#include "platform/monitor/WorkerThread.h"

#include <cstdint>
#include <pthread.h>

namespace platform {

namespace {

struct Launch {
    WorkerThread::Procedure procedure;
    void* argument;
};

void* Run(void* launch) {
    const Launch what = *static_cast<Launch*>(launch);
    delete static_cast<Launch*>(launch);
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(what.procedure(what.argument)));
}

} // namespace

// A thread that was started and not yet joined; joining it is what releases it.
struct WorkerThread::Owned {
    pthread_t thread;
};

WorkerThread::WorkerThread() = default;

WorkerThread::~WorkerThread() {
    WaitUntilEnded();
}

bool WorkerThread::Start(Procedure procedure, void* argument) {
    WaitUntilEnded();
    auto* launch = new Launch{procedure, argument};
    pthread_t thread{};
    if (pthread_create(&thread, nullptr, &Run, launch) != 0) {
        delete launch;
        return false;
    }
    m_owned = std::make_unique<Owned>(Owned{thread});
    return true;
}

void WorkerThread::WaitUntilEnded() {
    if (!m_owned) {
        return;
    }
    void* result = nullptr;
    pthread_join(m_owned->thread, &result);
    m_exitCode = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(result));
    m_owned.reset();
}

} // namespace platform

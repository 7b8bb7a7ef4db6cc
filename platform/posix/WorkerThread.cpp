#include "platform/WorkerThread.h"

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

bool WorkerThread::Start(Procedure procedure, void* argument) {
    WaitUntilEnded();
    auto* launch = new Launch{procedure, argument};
    pthread_t thread{};
    if (pthread_create(&thread, nullptr, &Run, launch) != 0) {
        delete launch;
        return false;
    }
    m_native = static_cast<std::intptr_t>(thread);
    m_started = true;
    return true;
}

void WorkerThread::WaitUntilEnded() {
    if (!m_started) {
        return;
    }
    void* result = nullptr;
    pthread_join(static_cast<pthread_t>(m_native), &result);
    m_exitCode = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(result));
    m_started = false;
}

} // namespace platform

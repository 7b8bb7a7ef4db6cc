#include "platform/monitor/Lock.h"

#include <new>
#include <pthread.h>

namespace platform {

namespace {
pthread_mutex_t* Native(std::byte* storage) {
    return std::launder(reinterpret_cast<pthread_mutex_t*>(storage));
}
} // namespace

Lock::Lock() {
    static_assert(sizeof(pthread_mutex_t) <= sizeof(m_native));
    static_assert(alignof(pthread_mutex_t) <= alignof(Lock));
    pthread_mutex_init(new (m_native) pthread_mutex_t, nullptr);
}

Lock::~Lock() {
    pthread_mutex_destroy(Native(m_native));
}

void Lock::Enter() {
    pthread_mutex_lock(Native(m_native));
}

void Lock::Leave() {
    pthread_mutex_unlock(Native(m_native));
}

} // namespace platform

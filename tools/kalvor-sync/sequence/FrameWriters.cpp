#include "FrameWriters.h"

#include <algorithm>
#include <chrono>
#include <system_error>

namespace kalvor_sync {

namespace {

// The share of `count` targets that writer `index` of `writers` takes: [first, end).
std::pair<std::size_t, std::size_t> Share(std::size_t count, std::size_t writers,
                                          std::size_t index) {
    return {count * index / writers, count * (index + 1) / writers};
}

} // namespace

FrameWriters::FrameWriters(std::size_t devices, platform::DeadlineTimer& timer,
                           const platform::Interruption& interruption)
    : m_timer(timer), m_interruption(interruption) {
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t wanted = std::min<std::size_t>(
        {processors, kMostThreads, (devices + kDevicesPerThread - 1) / kDevicesPerThread});
    m_helpers.reserve(wanted > 1 ? wanted - 1 : 0);
    for (std::size_t i = 0; i + 1 < wanted; ++i) {
        auto timerOfItsOwn = std::make_unique<platform::DeadlineTimer>(timer.Clock());
        if (!timerOfItsOwn->Ready()) {
            break;
        }
        Helper helper{{}, std::move(timerOfItsOwn)};
        try {
            helper.thread = std::thread(&FrameWriters::Serve, this, i);
        } catch (const std::system_error&) {
            break; // fewer helpers, or none: the calling thread writes the rest
        }
        m_helpers.push_back(std::move(helper));
    }
}

FrameWriters::~FrameWriters() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    for (Helper& helper : m_helpers) {
        helper.thread.join();
    }
}

void FrameWriters::WriteShare(const TimeFrame& frame, std::vector<FrameTarget>& targets,
                              std::size_t first, std::size_t end) {
    // Every device of the share gets the frame before any is waited for.
    for (std::size_t i = first; i < end; ++i) {
        targets[i].written = targets[i].device->link->StartFrame(frame, targets[i].error);
    }
    for (std::size_t i = first; i < end; ++i) {
        if (targets[i].written) {
            targets[i].written = targets[i].device->link->FinishFrame(targets[i].error);
        }
    }
}

void FrameWriters::Serve(std::size_t index) {
    std::uint64_t seen = 0;
    for (;;) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_stopping || m_generation != seen; });
        if (m_stopping) {
            return;
        }
        seen = m_generation;
        const std::int64_t at = m_at;
        const TimeFrame& frame = *m_frame;
        std::vector<FrameTarget>& targets = *m_targets;
        lock.unlock();

        const auto [first, end] = Share(targets.size(), Threads(), index + 1);
        if (m_helpers[index].timer->WaitUntil(at, m_interruption) ==
            platform::DeadlineWait::Reached) {
            WriteShare(frame, targets, first, end);
        } else {
            // The calling thread's own wait tells the user; the share is left unwritten.
            for (std::size_t i = first; i < end; ++i) {
                targets[i].error = "the write of the frame was not started";
            }
        }
        lock.lock();
        --m_busy;
        lock.unlock();
        m_changed.notify_all();
    }
}

platform::DeadlineWait FrameWriters::Write(std::int64_t at, const TimeFrame& frame,
                                           std::vector<FrameTarget>& targets) {
    if (!m_helpers.empty()) {
        {
            const std::lock_guard lock(m_mutex);
            m_at = at;
            m_frame = &frame;
            m_targets = &targets;
            m_busy = m_helpers.size();
            ++m_generation;
        }
        m_changed.notify_all();
    }
    const platform::DeadlineWait wait = m_timer.WaitUntil(at, m_interruption);
    const auto started = std::chrono::steady_clock::now();
    const auto [first, end] = Share(targets.size(), Threads(), 0);
    if (wait == platform::DeadlineWait::Reached) {
        WriteShare(frame, targets, first, end);
    }
    // The helpers are waited for in any case: the targets are theirs until they are done.
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_busy == 0; });
    m_lastWriteMicroseconds = std::chrono::duration_cast<std::chrono::microseconds>(
                                  std::chrono::steady_clock::now() - started)
                                  .count();
    return wait;
}

} // namespace kalvor_sync

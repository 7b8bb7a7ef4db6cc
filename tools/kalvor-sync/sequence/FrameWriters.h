#pragma once

#include "platform/DeadlineTimer.h"
#include "platform/Interruption.h"
#include "tools/kalvor-sync/devices/DeviceRecord.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kalvor_sync {

// One device's part in a frame's writing: the writers use its record's link and say here how it
// went; the record itself is the caller's to change, once Write() has returned.
struct FrameTarget {
    DeviceRecord* device = nullptr;
    bool written = false;
    std::string error; // when not written
};

// Writes one frame to many devices at one instant. A write costs the system several
// microseconds (on loopback it carries the far end's receiving too), so one thread takes
// milliseconds for hundreds of devices; beyond kDevicesPerThread devices the targets are shared
// among helper threads, one per further processor (up to kMostThreads in all), each waiting for
// the instant on a timer of its own. Fewer devices are written by the calling thread alone.
class FrameWriters {
public:
    static constexpr std::size_t kDevicesPerThread = 64;
    static constexpr unsigned kMostThreads = 4;

    FrameWriters(std::size_t devices, platform::DeadlineTimer& timer,
                 const platform::Interruption& interruption);
    ~FrameWriters();
    FrameWriters(const FrameWriters&) = delete;
    FrameWriters& operator=(const FrameWriters&) = delete;

    // Waits until `at`, then starts `frame` on every target and finishes it; each target says
    // how it went. Reached, or how the calling thread's wait ended otherwise (nothing written).
    platform::DeadlineWait Write(std::int64_t at, const TimeFrame& frame,
                                 std::vector<FrameTarget>& targets);

    // The threads that write, the calling one included.
    std::size_t Threads() const { return m_helpers.size() + 1; }
    // How long the last Write took from its instant until every target was written.
    std::int64_t LastWriteMicroseconds() const { return m_lastWriteMicroseconds; }

private:
    // A helper's share of the current frame: the targets [first, end) of the job.
    struct Helper {
        std::thread thread;
        std::unique_ptr<platform::DeadlineTimer> timer;
    };
    static void WriteShare(const TimeFrame& frame, std::vector<FrameTarget>& targets,
                           std::size_t first, std::size_t end);
    void Serve(std::size_t index);

    platform::DeadlineTimer& m_timer;
    const platform::Interruption& m_interruption;
    std::vector<Helper> m_helpers;
    std::int64_t m_lastWriteMicroseconds = 0;

    // The job every helper takes, under m_mutex: written by the calling thread before it raises
    // m_generation, read by the helpers after they see it raised.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::uint64_t m_generation = 0;
    std::size_t m_busy = 0; // helpers still on the current job
    bool m_stopping = false;
    std::int64_t m_at = 0;
    const TimeFrame* m_frame = nullptr;
    std::vector<FrameTarget>* m_targets = nullptr;
};

} // namespace kalvor_sync

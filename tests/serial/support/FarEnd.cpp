#include "FarEnd.h"

#include <chrono>

namespace serial_test {

namespace {
using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}
} // namespace

Bytes FarEnd::Read(std::size_t count, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    Bytes all;
    while (all.size() < count) {
        const int left = MillisecondsLeft(deadline);
        if (left == 0) {
            break;
        }
        const Bytes some = ReadSome(left);
        all.insert(all.end(), some.begin(), some.end());
    }
    return all;
}

Bytes FarEnd::ReadUntilQuiet(int quietMs) {
    Bytes all;
    for (Bytes some = ReadSome(quietMs); !some.empty(); some = ReadSome(quietMs)) {
        all.insert(all.end(), some.begin(), some.end());
    }
    return all;
}

} // namespace serial_test

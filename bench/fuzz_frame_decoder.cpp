// libFuzzer harness for the simulated device's input side: the frame decoder, the device clock
// it sets, and the report lines. Built and run by bench/fuzz frame-decoder, not by CI.
//
// The input is pairs of bytes: a delay in milliseconds (0 to 255, so that the silence limit of
// 100 ms is crossed now and then) and a received byte. Besides the sanitizers' checks it holds
// the decoder to its promise: every received byte is reported exactly once, in order.
#include "tools/kalvor-sim/ReportFormat.h"
#include "tools/kalvor-sim/SimulatedDevice.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace kalvor_sim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Late in the device's last year, so that carries run past what it can be set to.
    LocalInstant now{{2099, 12, 31, 4, 23, 59, 58}, 500};
    SimulatedDevice device(now);
    std::vector<DeviceReport> reports;
    std::vector<std::uint8_t> received;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        now = AddMilliseconds(now, data[i]);
        device.Receive(data[i + 1], now, reports);
        received.push_back(data[i + 1]);
    }
    device.NoteSilence(AddMilliseconds(now, 1000), true, reports);

    std::vector<std::uint8_t> reported;
    std::size_t textLength = 0;
    for (const DeviceReport& report : reports) {
        textLength += HumanLine(report).size() + JsonLine(report).size();
        if (const auto* frame = std::get_if<DecodedFrame>(&report)) {
            reported.insert(reported.end(), frame->m_bytes.begin(), frame->m_bytes.end());
            if (frame->m_verdict == FrameVerdict::Accepted && frame->m_bytes.size() != 4) {
                std::abort();
            }
        }
    }
    if (reported != received || (textLength == 0 && !received.empty())) {
        std::abort();
    }
    return 0;
}

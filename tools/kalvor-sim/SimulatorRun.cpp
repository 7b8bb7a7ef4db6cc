#include "SimulatorRun.h"

#include "LineTime.h"
#include "ReportFormat.h"
#include "SimulatedDevice.h"

#include <array>

namespace kalvor_sim {

int RunSimulator(ByteSource& source, const LocalClock& clock, const RunOptions& options,
                 std::ostream& out, std::ostream& errors) {
    SimulatedDevice device(clock(), options.silenceLimitMs);
    LineTimeModel line;
    std::vector<DeviceReport> reports;
    int completeSequences = 0;

    // Writes what the device reported; true once enough sequences are complete.
    auto write = [&] {
        for (const DeviceReport& report : reports) {
            out << (options.json ? JsonLine(report) : HumanLine(report)) << '\n';
            const auto* sequence = std::get_if<SequenceReport>(&report);
            if (sequence != nullptr && sequence->m_complete) {
                ++completeSequences;
            }
        }
        out.flush();
        reports.clear();
        return options.stopAfterSequences > 0 && completeSequences >= options.stopAfterSequences;
    };

    std::array<std::uint8_t, 256> buffer{};
    for (;;) {
        const ByteSource::Chunk chunk = source.Read(buffer);
        const LocalInstant arrival = clock();
        for (std::size_t i = 0; i < chunk.count; ++i) {
            device.Receive(buffer[i], options.lineTime ? line.NextArrival(arrival) : arrival,
                           reports);
            if (write()) {
                return 0;
            }
        }
        if (chunk.count == 0 || chunk.ended) {
            device.NoteSilence(arrival, chunk.ended, reports);
        }
        if (write()) {
            return 0;
        }
        if (chunk.ended) {
            if (!chunk.error.empty()) {
                errors << "kalvor-sim: " << chunk.error << '\n';
                return 1;
            }
            return 0;
        }
    }
}

} // namespace kalvor_sim

#include "DryRun.h"

#include "timeset/SequencePlan.h"
#include "tools/common/InstantText.h"
#include "tools/kalvor-sync/sequence/ComputerClock.h"

namespace kalvor_sync {

using kalvor_tools::FormatInstant;

void PrintDryRun(const SyncCommand& command, std::ostream& out) {
    // --at names the computer's local time; a device of a zone shows that zone's at that instant.
    const DeviceZone* zone = command.m_zone.get();
    LocalTimeAtInstant clock =
        command.m_at ? LocalTimeAtInstant(&CivilClockTime) : LocalTimeAtInstant(&ComputerLocalTime);
    std::int64_t deviceSetAt =
        command.m_at ? CivilClockInstant(*command.m_at)
                     : ChooseDeviceSetInstant(platform::SystemClockMicroseconds(), command.m_align,
                                              command.m_latencyMicroseconds);
    if (zone != nullptr) {
        clock = [zone](std::int64_t utc) { return zone->CivilTimeAt(utc); };
        if (command.m_at) {
            deviceSetAt = ComputerInstantOf(*command.m_at);
        }
    }
    const SequencePlan plan = PlanSequence(deviceSetAt, command.m_latencyMicroseconds, clock);
    const bool verbose = command.m_verbosity == Verbosity::Verbose;
    for (int index = 0; index < kFramesPerSequence; ++index) {
        const std::string frame = kalvor_tools::FrameHex(plan.m_frames[index]);
        if (verbose) {
            out << FormatInstant(clock(plan.m_writeAt[index])) << "  " << frame << "  "
                << FieldName(*FrameStep::At(index)) << '\n';
        } else {
            out << frame << '\n';
        }
    }
    if (verbose) {
        out << FormatInstant(plan.m_instant) << "  the device takes "
            << kalvor_tools::FormatSecond(plan.m_instant) << " "
            << kalvor_tools::WeekdayName(plan.m_instant.m_weekday) << '\n';
    }
}

} // namespace kalvor_sync

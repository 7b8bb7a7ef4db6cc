#include "DryRun.h"

#include "ComputerClock.h"
#include "InstantText.h"
#include "SequencePlan.h"

void PrintDryRun(const SyncCommand& command, std::ostream& out) {
    const LocalTimeAtInstant clock =
        command.m_at ? LocalTimeAtInstant(&CivilClockTime) : LocalTimeAtInstant(&ComputerLocalTime);
    const std::int64_t deviceSetAt =
        command.m_at ? CivilClockInstant(*command.m_at)
                     : ChooseDeviceSetInstant(platform::SystemClockMicroseconds(), command.m_align,
                                              command.m_latencyMicroseconds);
    const SequencePlan plan = PlanSequence(deviceSetAt, command.m_latencyMicroseconds, clock);
    const bool verbose = command.m_verbosity == SyncCommand::Verbosity::Verbose;
    for (int index = 0; index < kFramesPerSequence; ++index) {
        if (verbose) {
            out << FormatInstant(clock(plan.m_writeAt[index])) << "  "
                << FrameHex(plan.m_frames[index]) << "  " << FieldName(index) << '\n';
        } else {
            out << FrameHex(plan.m_frames[index]) << '\n';
        }
    }
    if (verbose) {
        out << FormatInstant(plan.m_instant) << "  the device takes "
            << FormatInstant(plan.m_instant).substr(0, 19) << " "
            << WeekdayName(plan.m_instant.m_time.m_weekday) << '\n';
    }
}

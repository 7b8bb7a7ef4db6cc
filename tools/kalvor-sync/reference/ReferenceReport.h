#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalvor_sync::reference {

// The reference's states and the moves between them (ReferenceCore keeps them):
//   unsynced -> synced    the servers' answers give an estimate (a majority agrees);
//   synced   -> holdover  no server answered any of its last 3 requests: the model carries on
//                         from what it had, its error bound growing;
//   holdover -> synced    an answer is taken again and the servers agree;
//   synced or holdover -> unsynced  the error bound grew past the most allowed (Options): the
//                         model is dropped and starts over from the next answers.
// Unsynced, the reference tells no time.
enum class ReferenceState { Unsynced, Synced, Holdover };
std::string StateName(ReferenceState state);

// True time at an instant (microseconds since 1970-01-01 UTC) and the most it may be wrong by.
struct TrueTime {
    std::int64_t microseconds = 0;
    std::int64_t errorBoundMicroseconds = 0;
};

// A server's last answer that was taken.
struct AnswerReport {
    std::int64_t monotonicMicroseconds = 0; // when it came
    int stratum = 0;
    std::string referenceId;       // four characters, or an IPv4 address for stratum 2 and over
    double offsetMicroseconds = 0; // the server's time minus the computer's wall clock
    double delayMicroseconds = 0;
    double distanceMicroseconds = 0; // delay / 2 + the server's root distance
};

struct ServerReport {
    std::string server;  // as the user named it
    std::string address; // the address asked, or empty before a look-up found one
    std::uint8_t reach = 0;
    int pollSeconds = 0;
    std::optional<AnswerReport> lastAnswer;
    std::string lastRejection; // why the last answer refused was refused, or a look-up failed
    bool outvoted = false;     // its word disagreed with the majority at the last update
    bool dropped = false;      // it refused us (DENY, RSTR): asked no more
};

struct ReferenceReport {
    ReferenceState state = ReferenceState::Unsynced;
    // The computer's wall clock minus true time, and the error bound of true time, now; nothing
    // while unsynced.
    std::optional<double> computerOffsetMicroseconds;
    std::optional<double> errorBoundMicroseconds;
    // The least round trip among the agreeing servers' chosen samples.
    std::optional<double> delayMicroseconds;
    double frequencyPpm = 0; // how fast the monotonic clock runs against true time
    std::vector<ServerReport> servers;
    std::string failure; // why the reference cannot work (its thread did not start), if it cannot
};

} // namespace kalvor_sync::reference

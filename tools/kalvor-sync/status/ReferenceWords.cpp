#include "ReferenceWords.h"

#include "ClockStateWords.h"

#include <cmath>

namespace kalvor_sync {

using reference::ReferenceState;

std::string ReferenceSentence(const reference::ReferenceReport& report) {
    std::size_t answering = 0;
    std::string why;
    for (const reference::ServerReport& server : report.servers) {
        answering += server.reach != 0 ? 1 : 0;
        if (why.empty() && !server.lastRejection.empty()) {
            why = server.server + ": " + server.lastRejection;
        }
    }
    const std::string bound =
        report.errorBoundMicroseconds
            ? "; error bound " + ErrorEstimateText(std::llround(*report.errorBoundMicroseconds))
            : std::string();
    switch (report.state) {
    case ReferenceState::Synced:
        return "the time reference is synchronised: " + std::to_string(answering) + " of " +
               std::to_string(report.servers.size()) +
               (report.servers.size() == 1 ? " server answers" : " servers answer") + bound;
    case ReferenceState::Holdover:
        return "the time reference is in holdover: no server has answered lately" + bound;
    case ReferenceState::Unsynced:
        break;
    }
    return "the time reference is unsynchronised: " +
           (why.empty() ? std::string("no server has answered yet") : why);
}

} // namespace kalvor_sync

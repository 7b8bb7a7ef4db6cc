#pragma once

#include "SimulatorRun.h"
#include "tools/common/NetworkDevice.h"

#include <ostream>
#include <vector>

namespace kalvor_sim {

// Simulated clock devices on the network, any number of them in one process: each listens on a
// TCP port of its own, as an Ethernet clock or a device server's port does, and what its
// connection brings is its line. One connection at a time: a new client replaces the old one, as
// a device server lets the next client in. Over raw TCP the bytes are the line's; an RFC 2217
// device answers the client's negotiation, applies the line settings it asks for and tells them.
//
// All devices are served by one thread and one wait; the bytes read after a wait are stamped
// with one reading of the clock, taken when the wait returned, so that lines read at once carry
// the same arrival. Prints a "listening" report per device first (with the port the system chose
// for port 0), then the reports of RunSimulator, each naming its device. Runs until the user
// stops it (0), until every device had `stopAfterSequences` complete sequences (0), or until
// a device cannot listen or the wait fails (1, told on `errors`).
int RunNetworkSimulator(const std::vector<kalvor_tools::NetworkDevice>& devices,
                        const LocalClock& clock, const RunOptions& options, std::ostream& out,
                        std::ostream& errors);

} // namespace kalvor_sim

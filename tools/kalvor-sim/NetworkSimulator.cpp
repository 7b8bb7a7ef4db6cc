#include "NetworkSimulator.h"

#include "LineTime.h"
#include "ReportFormat.h"
#include "Rfc2217Server.h"
#include "SimulatedDevice.h"
#include "platform/Interruption.h"
#include "platform/Socket.h"
#include "tools/common/PortErrorWords.h"

#include <chrono>
#include <memory>
#include <optional>

namespace kalvor_sim {

namespace {

using kalvor_tools::NetworkDevice;

// The longest a wait lasts, so that silence inside a frame is seen well within the decoder's
// limit, as on a serial port.
constexpr int kQuietWaitMs = 20;
// Reads of one connection in one pass, so that one busy client cannot starve the others.
constexpr int kReadsPerPass = 4;
constexpr int kBacklog = 4;

// One simulated device, its listener and its current connection.
struct NetworkClock {
    NetworkClock(const LocalInstant& powerOn, int silenceLimitMs)
        : device(powerOn, silenceLimitMs) {}

    std::string label;
    bool rfc2217 = false;
    platform::TcpSocket listener;
    platform::TcpSocket connection;
    SimulatedDevice device;
    LineTimeModel line;
    std::unique_ptr<Rfc2217Server> server; // of the current connection, with RFC 2217
    std::vector<std::uint8_t> outgoing;    // answers to the client not yet taken
    int completeSequences = 0;
    std::size_t listenerIndex = 0;
    std::optional<std::size_t> connectionIndex;
};

class Simulator {
public:
    Simulator(const LocalClock& clock, const RunOptions& options, std::ostream& out)
        : m_clock(clock), m_options(options), m_out(out) {}

    bool Listen(const NetworkDevice& at, std::string& error);
    int Run(std::ostream& errors);

private:
    // One device's part of a pass: true when its line brought bytes.
    bool Pass(NetworkClock& clock, bool ready, const LocalInstant& now);
    // How precisely the lines were stamped, told when the simulator ends.
    void TellStamping();
    void Accept(NetworkClock& clock, const LocalInstant& now);
    // Reads what the connection brought; false when it ended.
    bool Read(NetworkClock& clock, const LocalInstant& now, bool& received);
    // One byte of the line, arrived before m_passStarted.
    void Receive(NetworkClock& clock, std::uint8_t byte);
    void Disconnect(NetworkClock& clock, const LocalInstant& now, const std::string& why);
    void Tell(const NetworkEvent& event);
    // Writes the device's reports; counts its complete sequences.
    void TellReports(NetworkClock& clock);
    bool Finished() const;

    const LocalClock& m_clock;
    const RunOptions& m_options;
    std::ostream& m_out;
    std::vector<std::unique_ptr<NetworkClock>> m_clocks;
    std::vector<DeviceReport> m_reports;
    platform::SocketWait m_wait;
    LocalInstant m_passStarted; // the clock read when the last wait returned
    StampingFigures m_stamping;
};

bool Simulator::Listen(const NetworkDevice& at, std::string& error) {
    const auto address = platform::NumericAddress(at.host, at.port);
    auto clock = std::make_unique<NetworkClock>(m_clock(), m_options.silenceLimitMs);
    if (!address) {
        error = "cannot listen on " + at.label + ": " + at.host +
                " is not an address of this "
                "computer (give one as numbers)";
        return false;
    }
    if (!clock->listener.Listen(*address, kBacklog)) {
        error = "cannot listen on " + at.label + ": " + kalvor_tools::LastSystemReason();
        return false;
    }
    const auto bound = clock->listener.LocalAddress();
    clock->label = kalvor_tools::NetworkUrl(at.protocol, at.host, bound ? bound->Port() : at.port);
    clock->rfc2217 = at.protocol == NetworkDevice::Protocol::Rfc2217;
    Tell({NetworkEvent::Kind::Listening, clock->label, {}, {}, {}});
    m_clocks.push_back(std::move(clock));
    return true;
}

void Simulator::Tell(const NetworkEvent& event) {
    m_out << (m_options.json ? JsonLine(event) : HumanLine(event)) << '\n';
}

void Simulator::TellReports(NetworkClock& clock) {
    for (const DeviceReport& report : m_reports) {
        m_out << (m_options.json ? JsonLine(report, clock.label) : HumanLine(report, clock.label))
              << '\n';
        const auto* sequence = std::get_if<SequenceReport>(&report);
        if (sequence != nullptr && sequence->m_complete) {
            ++clock.completeSequences;
        }
    }
    m_reports.clear();
}

bool Simulator::Finished() const {
    if (m_options.stopAfterSequences <= 0) {
        return false;
    }
    for (const auto& clock : m_clocks) {
        if (clock->completeSequences < m_options.stopAfterSequences) {
            return false;
        }
    }
    return true;
}

void Simulator::Receive(NetworkClock& clock, std::uint8_t byte) {
    const LocalInstant& now = m_passStarted;
    clock.device.Receive(byte, m_options.lineTime ? clock.line.NextArrival(now) : now, m_reports);
}

void Simulator::Disconnect(NetworkClock& clock, const LocalInstant& now, const std::string& why) {
    clock.connection.Close();
    clock.server.reset();
    clock.outgoing.clear();
    Tell({NetworkEvent::Kind::Disconnected, clock.label, now, why, {}});
}

void Simulator::Accept(NetworkClock& clock, const LocalInstant& now) {
    platform::TcpSocket accepted = clock.listener.Accept();
    if (!accepted.IsOpen()) {
        return; // the client gave up before it was taken, or the system refused it
    }
    if (clock.connection.IsOpen()) {
        Disconnect(clock, now, "a new client came");
    }
    accepted.SetNoDelay();
    const auto peer = accepted.PeerAddress();
    clock.connection = std::move(accepted);
    if (clock.rfc2217) {
        NetworkClock* owner = &clock;
        clock.server = std::make_unique<Rfc2217Server>(
            [this, owner](std::uint8_t byte) { Receive(*owner, byte); });
    }
    Tell({NetworkEvent::Kind::Connected, clock.label, now, peer ? peer->Text() : "?", {}});
}

bool Simulator::Read(NetworkClock& clock, const LocalInstant& now, bool& received) {
    std::uint8_t buffer[512];
    for (int read = 0; read < kReadsPerPass; ++read) {
        int count = 0;
        switch (clock.connection.Receive(buffer, sizeof buffer, count)) {
        case platform::ReceiveStatus::Received:
            received = true;
            if (clock.server) {
                // The server hands the data on through Receive().
                clock.server->Receive({buffer, static_cast<std::size_t>(count)});
                auto& answers = clock.server->Outbox();
                clock.outgoing.insert(clock.outgoing.end(), answers.begin(), answers.end());
                answers.clear();
                if (clock.server->TakeSettingsChanged()) {
                    Tell({NetworkEvent::Kind::LineSet,
                          clock.label,
                          now,
                          {},
                          clock.server->Settings()});
                }
            } else {
                for (int i = 0; i < count; ++i) {
                    Receive(clock, buffer[i]);
                }
            }
            break;
        case platform::ReceiveStatus::NothingYet:
            return true;
        case platform::ReceiveStatus::Closed:
            Disconnect(clock, now, "closed by the client");
            return false;
        case platform::ReceiveStatus::Failed:
            Disconnect(clock, now, kalvor_tools::LastSystemReason());
            return false;
        }
    }
    return true;
}

bool Simulator::Pass(NetworkClock& clock, bool ready, const LocalInstant& now) {
    bool received = false;
    if (ready && clock.connectionIndex && m_wait.Readable(*clock.connectionIndex)) {
        Read(clock, now, received);
    }
    if (clock.connection.IsOpen() && !clock.outgoing.empty()) {
        const int sent =
            clock.connection.Send(clock.outgoing.data(), static_cast<int>(clock.outgoing.size()));
        if (sent < 0) {
            Disconnect(clock, now, kalvor_tools::LastSystemReason());
        } else {
            clock.outgoing.erase(clock.outgoing.begin(), clock.outgoing.begin() + sent);
        }
    }
    if (ready && m_wait.Readable(clock.listenerIndex)) {
        Accept(clock, now);
    }
    if (!received) {
        clock.device.NoteSilence(now, false, m_reports);
    }
    TellReports(clock);
    return received;
}

void Simulator::TellStamping() {
    m_out << StampingLine(m_stamping, m_options.json) << '\n';
    m_out.flush();
}

int Simulator::Run(std::ostream& errors) {
    m_out.flush();
    const platform::Interruption interruption;
    for (;;) {
        m_wait.Clear();
        for (const auto& clock : m_clocks) {
            clock->listenerIndex = m_wait.Add(clock->listener, true, false);
            clock->connectionIndex.reset();
            if (clock->connection.IsOpen()) {
                clock->connectionIndex =
                    m_wait.Add(clock->connection, true, !clock->outgoing.empty());
            }
        }
        const auto outcome = m_wait.Wait(kQuietWaitMs, interruption);
        const auto passBegan = std::chrono::steady_clock::now();
        // One reading of the clock for every line of this pass: the bytes arrived before it.
        m_passStarted = m_clock();
        if (outcome == platform::SocketWait::Outcome::Interrupted) {
            TellStamping();
            return 0;
        }
        if (outcome == platform::SocketWait::Outcome::Failed) {
            errors << "kalvor-sim: cannot wait for the connections: "
                   << kalvor_tools::LastSystemReason() << '\n';
            return 1;
        }
        const bool ready = outcome == platform::SocketWait::Outcome::Ready;
        int lines = 0;
        for (const auto& clock : m_clocks) {
            lines += Pass(*clock, ready, m_passStarted) ? 1 : 0;
        }
        m_out.flush();
        if (lines > 0) {
            // Bytes that arrive while a pass reads the others are stamped by the next pass: the
            // longest pass bounds how late a line can be stamped.
            const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                                  std::chrono::steady_clock::now() - passBegan)
                                  .count();
            ++m_stamping.passes;
            if (took > m_stamping.longestPassMicroseconds) {
                m_stamping.longestPassMicroseconds = took;
                m_stamping.linesInLongestPass = lines;
            }
        }
        if (Finished()) {
            TellStamping();
            return 0;
        }
    }
}

} // namespace

int RunNetworkSimulator(const std::vector<NetworkDevice>& devices, const LocalClock& clock,
                        const RunOptions& options, std::ostream& out, std::ostream& errors) {
    Simulator simulator(clock, options, out);
    for (const NetworkDevice& device : devices) {
        std::string error;
        if (!simulator.Listen(device, error)) {
            errors << "kalvor-sim: " << error << '\n';
            return 1;
        }
    }
    return simulator.Run(errors);
}

} // namespace kalvor_sim

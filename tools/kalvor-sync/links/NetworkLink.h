#pragma once

#include "Rfc2217Client.h"
#include "platform/Socket.h"
#include "tools/common/NetworkDevice.h"
#include "tools/kalvor-sync/devices/DeviceLink.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kalvor_sync {

// Looks up a host's addresses; the platform's resolver in the program, a stand-in in tests (no
// test sends a query anywhere).
using HostResolver =
    std::function<platform::Resolution(const std::string& host, std::uint16_t port)>;

// A device on the network, reached over TCP: raw (the bytes as they are) or through RFC 2217
// (Telnet with the COM-PORT-OPTION, which sets the server's line to 9600 8N1 first). It is
// opened step by step without ever blocking, so that many open at once (DeviceOpening.h): a host
// name is looked up on a thread of its own, since the system's resolver keeps no time limit;
// each address found is tried in turn; an RFC 2217 server's answers are awaited.
class NetworkLink final : public DeviceLink {
public:
    // Bytes a device may leave untaken before it counts as gone: far more than a sequence's frames.
    static constexpr std::size_t kMostOutgoing = 4096;

    enum class Stage { LookingUp, Connecting, Negotiating, Open, Failed };

    NetworkLink(kalvor_tools::NetworkDevice device, const HostResolver& resolve);
    ~NetworkLink() override;

    Stage CurrentStage() const { return m_stage; }
    // With Failed: what went wrong, in words that name the device.
    const std::string& Failure() const { return m_failure; }
    // Adds the socket to the wait for what the opening waits for now (nothing while looking up).
    void Watch(platform::SocketWait& wait);
    // After a wait: moves on as far as it can without waiting.
    void Advance(const platform::SocketWait& wait);
    // The time limit of `limitSeconds` passed before the device was open.
    void GiveUp(int limitSeconds);

    // A frame counts as written once the kernel has taken it into the connection's send buffer:
    // what becomes of it on the network and in the device server is not seen. That buffer holds
    // far more than a sequence, so the kernel takes every frame at once unless the server stopped
    // reading long ago; what it does not take is kept and offered again between frames, and a
    // device with more than kMostOutgoing bytes untaken counts as gone. So there is nothing to
    // wait for once the frame is started (a serial line, by contrast, must take it: SerialLink).
    bool StartFrame(const TimeFrame& frame, std::string& error) override;
    bool FinishFrame(std::string&) override { return true; }
    void Tend() override;

private:
    struct LookUp;

    void TakeAddresses(platform::Resolution resolution);
    void ConnectNext();
    void Connected();
    // Sends what is queued; false (with m_brokenReason set) when the connection failed.
    bool Flush();
    // Reads what arrived; false when the connection failed or was closed.
    bool ReadArrivals();
    void Fail(const std::string& what);

    kalvor_tools::NetworkDevice m_device;
    Stage m_stage = Stage::LookingUp;
    std::string m_failure;
    std::shared_ptr<LookUp> m_lookUp; // shared with the look-up's thread while it runs
    std::vector<platform::SocketAddress> m_addresses;
    std::size_t m_nextAddress = 0;
    std::string m_lastRefusal; // the last address tried, and why it failed
    platform::TcpSocket m_socket;
    std::optional<std::size_t> m_waitIndex; // in the wait the socket was last added to
    std::optional<Rfc2217Client> m_rfc2217;
    std::vector<std::uint8_t> m_outgoing; // queued for the connection, not yet taken by it
    bool m_farEndClosed = false;          // the server sends nothing more (it may still read)
    std::string m_brokenReason;           // the connection failed: the system's reason
};

} // namespace kalvor_sync

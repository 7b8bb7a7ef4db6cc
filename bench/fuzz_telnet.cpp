// libFuzzer harness for what reads a device server's bytes: the Telnet reader, and RFC 2217 on
// both sides (kalvor-sync's client and kalvor-sim's server) fed the same bytes. Built and run by
// bench/fuzz telnet, not by CI.
//
// The first byte of the input chooses the size of the pieces the rest arrives in (1 to 16), as a
// network hands them over anywhere in a command. Besides the sanitizers' checks it holds the code
// to what it promises:
//   - the reader hands on the same events whether the stream comes whole or in pieces, and never
//     a subnegotiation longer than it keeps;
//   - data escaped by the writer and read back is the data again;
//   - the client is refused if and only if it says what was refused, and is ready only when
//     nothing was refused;
//   - what the client and the server send back is whole Telnet commands, never stray data.
#include "tools/common/Telnet.h"
#include "tools/kalvor-sim/Rfc2217Server.h"
#include "tools/kalvor-sync/links/Rfc2217Client.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Every event of a reader, flattened into bytes that tell them apart.
class Events : public telnet::Handler {
public:
    Bytes log;

private:
    void OnData(std::uint8_t byte) override { log.insert(log.end(), {0, byte}); }
    void OnNegotiation(std::uint8_t verb, std::uint8_t option) override {
        log.insert(log.end(), {1, verb, option});
    }
    void OnSubnegotiation(std::uint8_t option, std::span<const std::uint8_t> payload,
                          bool complete) override {
        if (payload.size() > telnet::Reader::kLongestSubnegotiation) {
            std::abort();
        }
        log.insert(log.end(), {2, option, static_cast<std::uint8_t>(complete),
                               static_cast<std::uint8_t>(payload.size())});
        log.insert(log.end(), payload.begin(), payload.end());
    }
};

// What a peer sends back must read as commands alone: no data byte among them.
void CheckOnlyCommands(const Bytes& answer) {
    struct NoData : telnet::Handler {
        void OnData(std::uint8_t) override { std::abort(); }
        void OnNegotiation(std::uint8_t, std::uint8_t) override {}
        void OnSubnegotiation(std::uint8_t, std::span<const std::uint8_t>, bool complete) override {
            if (!complete) {
                std::abort();
            }
        }
    } handler;
    telnet::Reader().Feed(answer, handler);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t piece = 1 + data[0] % 16;
    const std::span<const std::uint8_t> stream(data + 1, size - 1);

    Events whole, pieces;
    telnet::Reader().Feed(stream, whole);
    telnet::Reader reader;
    kalvor_sync::Rfc2217Client client;
    client.Outbox().clear();
    Bytes line;
    kalvor_sim::Rfc2217Server server([&line](std::uint8_t byte) { line.push_back(byte); });
    Bytes clientAnswers, serverAnswers;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        const auto part = stream.subspan(at, std::min(piece, stream.size() - at));
        reader.Feed(part, pieces);
        client.Receive(part);
        server.Receive(part);
        clientAnswers.insert(clientAnswers.end(), client.Outbox().begin(), client.Outbox().end());
        client.Outbox().clear();
        serverAnswers.insert(serverAnswers.end(), server.Outbox().begin(), server.Outbox().end());
        server.Outbox().clear();
    }
    if (whole.log != pieces.log) {
        std::abort();
    }
    const auto state = client.Progress();
    if ((state == kalvor_sync::Rfc2217Client::State::Refused) == client.Refusal().empty()) {
        std::abort();
    }
    CheckOnlyCommands(clientAnswers);
    CheckOnlyCommands(serverAnswers);

    // What the server passed to its line, escaped again and read back, is itself.
    Bytes escaped;
    telnet::AppendData(escaped, line);
    Events back;
    telnet::Reader().Feed(escaped, back);
    if (back.log.size() != 2 * line.size()) {
        std::abort();
    }
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (back.log[2 * i] != 0 || back.log[2 * i + 1] != line[i]) {
            std::abort();
        }
    }
    return 0;
}

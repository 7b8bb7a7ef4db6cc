// RFC 2217 between kalvor-sync's client and kalvor-sim's server, in memory, and the client against
// servers that refuse, answer wrong or say more than asked: every byte a server sends is input
// from the network.
#include "tools/common/Rfc2217.h"
#include "tools/kalvor-sim/Rfc2217Server.h"
#include "tools/kalvor-sync/links/Rfc2217Client.h"

#include <gtest/gtest.h>

using namespace telnet;
using kalvor_sync::Rfc2217Client;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Take(Bytes& outbox) {
    Bytes taken;
    taken.swap(outbox);
    return taken;
}

// The client with its opening requests sent, fed `answer` as the server's whole reply.
Rfc2217Client AnsweredWith(const Bytes& answer) {
    Rfc2217Client client;
    Take(client.Outbox());
    client.Receive(answer);
    return client;
}

// A server's answers that accept everything and apply 9600 8N1, but with `baud` as the baud rate.
Bytes Agreement(std::uint32_t baud = 9600) {
    Bytes bytes;
    AppendNegotiation(bytes, kDo, kOptionComPort);
    AppendNegotiation(bytes, kDo, kOptionBinary);
    AppendNegotiation(bytes, kWill, kOptionBinary);
    AppendSubnegotiation(
        bytes, kOptionComPort,
        Bytes{101, static_cast<std::uint8_t>(baud >> 24), static_cast<std::uint8_t>(baud >> 16),
              static_cast<std::uint8_t>(baud >> 8), static_cast<std::uint8_t>(baud)});
    AppendSubnegotiation(bytes, kOptionComPort, Bytes{102, 8});
    AppendSubnegotiation(bytes, kOptionComPort, Bytes{103, 1});
    AppendSubnegotiation(bytes, kOptionComPort, Bytes{104, 1});
    AppendSubnegotiation(bytes, kOptionComPort, Bytes{105, 1});
    return bytes;
}

} // namespace

TEST(Rfc2217, ClientAndServerAgreeOn9600EightNOneAndPassFFUnchanged) {
    Bytes line;
    kalvor_sim::Rfc2217Server server([&line](std::uint8_t byte) { line.push_back(byte); });
    Rfc2217Client client;
    for (int round = 0; round < 10 && client.Progress() == Rfc2217Client::State::Negotiating;
         ++round) {
        server.Receive(Take(client.Outbox()));
        client.Receive(Take(server.Outbox()));
    }
    ASSERT_EQ(client.Progress(), Rfc2217Client::State::Ready) << client.Awaited();
    EXPECT_EQ(kalvor_sim::Describe(server.Settings()),
              "9600 baud, 8 data bits, no parity, 1 stop bit, no flow control");
    EXPECT_TRUE(server.TakeSettingsChanged());
    EXPECT_TRUE(line.empty()) << "negotiation is not data";

    // Saturday's weekday frame ends in 0xFF: doubled on the wire, single on the line.
    const Bytes frame = {0xF6, 0x04, 0x06, 0xFF};
    Bytes wire;
    client.AppendData(wire, frame);
    EXPECT_EQ(wire, (Bytes{0xF6, 0x04, 0x06, 0xFF, 0xFF}));
    server.Receive(wire);
    EXPECT_EQ(line, frame);
}

TEST(Rfc2217, WhatAServerRefusesIsTold) {
    Bytes refuseOption;
    AppendNegotiation(refuseOption, kDont, kOptionComPort);
    Rfc2217Client client = AnsweredWith(refuseOption);
    EXPECT_EQ(client.Progress(), Rfc2217Client::State::Refused);
    EXPECT_EQ(client.Refusal(), "the COM-PORT-OPTION (RFC 2217)");

    Bytes refuseBinary;
    AppendNegotiation(refuseBinary, kDo, kOptionComPort);
    AppendNegotiation(refuseBinary, kWont, kOptionBinary);
    EXPECT_EQ(AnsweredWith(refuseBinary).Refusal(),
              "binary transmission to the client (Telnet BINARY)");

    EXPECT_EQ(AnsweredWith(Agreement(4800)).Refusal(), "setting 9600 baud (it answered 4800)");
    EXPECT_EQ(AnsweredWith(Agreement()).Progress(), Rfc2217Client::State::Ready);
}

TEST(Rfc2217, AnAnswerCutOffOrMissingIsNotTakenForAgreement) {
    // The baud rate's answer broken off by another command.
    Bytes cut;
    AppendNegotiation(cut, kDo, kOptionComPort);
    cut.insert(cut.end(), {kIac, kSb, kOptionComPort, 101, 0x00, 0x00, kIac, kDo, kOptionBinary});
    const Rfc2217Client broken = AnsweredWith(cut);
    EXPECT_EQ(broken.Refusal(), "a readable answer to setting 9600 baud");

    // A server that agrees to the option but never answers the settings is still awaited.
    Bytes silent;
    AppendNegotiation(silent, kDo, kOptionComPort);
    AppendNegotiation(silent, kDo, kOptionBinary);
    AppendNegotiation(silent, kWill, kOptionBinary);
    const Rfc2217Client waiting = AnsweredWith(silent);
    EXPECT_EQ(waiting.Progress(), Rfc2217Client::State::Negotiating);
    EXPECT_EQ(waiting.Awaited(), "its answer to setting 9600 baud");
}

TEST(Rfc2217, RequestsOfTheServerAreAnsweredOnceAndNeverLoop) {
    Rfc2217Client client;
    Take(client.Outbox());
    Bytes requests;
    AppendNegotiation(requests, kDo, 1);                        // echo: refused
    AppendNegotiation(requests, kWill, kOptionSuppressGoAhead); // taken
    AppendNegotiation(requests, kDo, kOptionComPort); // the answer awaited: the settings go
    AppendNegotiation(requests, kDo, kOptionComPort); // said again: nothing more
    client.Receive(requests);
    Bytes expected;
    AppendNegotiation(expected, kWont, 1);
    AppendNegotiation(expected, kDo, kOptionSuppressGoAhead);
    const Bytes sent = Take(client.Outbox());
    ASSERT_GE(sent.size(), expected.size());
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + static_cast<long>(expected.size())), expected);
    // Then the five settings, once, and nothing else.
    std::size_t subnegotiations = 0;
    for (std::size_t i = 0; i + 1 < sent.size(); ++i) {
        subnegotiations += sent[i] == kIac && sent[i + 1] == kSb;
    }
    EXPECT_EQ(subnegotiations, 5u);
    // Notifications of the line and the modem change nothing.
    Bytes notices;
    AppendSubnegotiation(notices, kOptionComPort, Bytes{106, 0x60});
    AppendSubnegotiation(notices, kOptionComPort, Bytes{107, 0x30});
    client.Receive(notices);
    EXPECT_TRUE(client.Outbox().empty());
    EXPECT_EQ(client.Progress(), Rfc2217Client::State::Negotiating);
}

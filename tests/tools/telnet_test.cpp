// The Telnet stream as RFC 2217 devices speak it: what the reader makes of whatever a peer sends,
// in pieces of any size, and the 0xFF that the writers double.
#include "tools/common/Telnet.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace telnet;

// What the reader handed on, one line per event: "data FF", "DO 44", "SB 44 65 00 | cut".
class Transcript : public Handler {
public:
    std::vector<std::string> events;

private:
    static std::string Hex(std::uint8_t byte) {
        static const char* const kDigits = "0123456789ABCDEF";
        return {kDigits[byte >> 4], kDigits[byte & 15]};
    }
    void OnData(std::uint8_t byte) override { events.push_back("data " + Hex(byte)); }
    void OnNegotiation(std::uint8_t verb, std::uint8_t option) override {
        const char* names[] = {"WILL", "WONT", "DO", "DONT"};
        events.push_back(std::string(names[verb - kWill]) + " " + std::to_string(option));
    }
    void OnSubnegotiation(std::uint8_t option, std::span<const std::uint8_t> payload,
                          bool complete) override {
        std::string line = "SB " + std::to_string(option);
        for (const std::uint8_t byte : payload) {
            line += " " + Hex(byte);
        }
        events.push_back(line + (complete ? "" : " | cut"));
    }
};

std::vector<std::string> ReadWhole(const Bytes& stream) {
    Transcript transcript;
    Reader().Feed(stream, transcript);
    return transcript.events;
}

// The same stream fed one byte at a time: a command may be split anywhere.
std::vector<std::string> ReadByteByByte(const Bytes& stream) {
    Transcript transcript;
    Reader reader;
    for (const std::uint8_t byte : stream) {
        reader.Feed({&byte, 1}, transcript);
    }
    return transcript.events;
}

} // namespace

TEST(TelnetReader, DataNegotiationAndSubnegotiationInAnyPieces) {
    const Bytes stream = {
        0x41, kIac, kIac, 0x42, kIac, kDo,  kOptionComPort, kIac, kWont, 1,    kIac,
        kSb,  44,   101,  0x00, 0x00, 0x25, 0x80,           kIac, kSe,   kIac, 0xF1 /* NOP */,
        0xF6, kIac, kSb,  44,   7,    kIac, kIac,           kIac, kSe};
    const std::vector<std::string> expected = {"data 41", "data FF",    "data 42",
                                               "DO 44",   "WONT 1",     "SB 44 65 00 00 25 80",
                                               "data F6", "SB 44 07 FF"};
    EXPECT_EQ(ReadWhole(stream), expected);
    EXPECT_EQ(ReadByteByByte(stream), expected);
}

TEST(TelnetReader, ASubnegotiationCutOffOrTooLongIsToldIncomplete) {
    // Another command inside a subnegotiation ends it unfinished and counts as itself.
    EXPECT_EQ(ReadWhole({kIac, kSb, 44, 101, 0x00, kIac, kWill, 0, 0x30}),
              (std::vector<std::string>{"SB 44 65 00 | cut", "WILL 0", "data 30"}));
    // A peer that never ends one is held to the longest kept, and the rest of its bytes dropped.
    Bytes endless = {kIac, kSb, 44};
    endless.insert(endless.end(), 10'000, 0x55);
    endless.insert(endless.end(), {kIac, kSe, 0x31});
    const std::vector<std::string> events = ReadWhole(endless);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].size(), std::string("SB 44").size() + 3 * Reader::kLongestSubnegotiation +
                                    std::string(" | cut").size());
    EXPECT_EQ(events[1], "data 31");
    // A stream that ends inside a command hands on nothing of it yet.
    EXPECT_EQ(ReadWhole({0x30, kIac}), std::vector<std::string>{"data 30"});
    EXPECT_EQ(ReadWhole({kIac, kSb, 44, 1, 2}), std::vector<std::string>{});
}

TEST(TelnetWriter, EveryFFOfDataIsDoubled) {
    Bytes out;
    AppendData(out, Bytes{0xF6, 0x04, 0x06, 0xFF}); // Saturday's weekday frame
    EXPECT_EQ(out, (Bytes{0xF6, 0x04, 0x06, 0xFF, 0xFF}));
    out.clear();
    AppendSubnegotiation(out, kOptionComPort, Bytes{1, 0x00, 0xFF, 0xFF, 0x00});
    EXPECT_EQ(out, (Bytes{kIac, kSb, 44, 1, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, kIac, kSe}));
    // Read back, the doubling is undone in both.
    EXPECT_EQ(ReadWhole(out), std::vector<std::string>{"SB 44 01 00 FF FF 00"});
}

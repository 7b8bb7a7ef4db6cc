// The simulated device's frame decoder: frames, the reasons it rejects input, resynchronisation.
#include "tools/kalvor-sim/FrameDecoder.h"

#include <gtest/gtest.h>
#include <random>

using namespace kalvor_sim;

namespace {

using Bytes = std::vector<std::uint8_t>;

const LocalInstant kStart{2016, 4, 12, 2, 9, 5, 29, 0};

// Feeds every byte at `atMs` after kStart, then reports silence until the input ends.
class Decoding {
public:
    explicit Decoding(int silenceLimitMs = FrameDecoder::kDefaultSilenceLimitMs)
        : m_decoder(silenceLimitMs) {}

    Decoding& Send(const Bytes& bytes, int atMs = 0) {
        for (std::uint8_t byte : bytes) {
            m_decoder.Feed(byte, AddMilliseconds(kStart, atMs), m_frames);
        }
        return *this;
    }
    const std::vector<DecodedFrame>& End(int atMs = 0) {
        m_decoder.Flush(AddMilliseconds(kStart, atMs), true, m_frames);
        return m_frames;
    }

private:
    FrameDecoder m_decoder;
    std::vector<DecodedFrame> m_frames;
};

// The single report that `bytes` make, alone on the line.
DecodedFrame DecodeOne(const Bytes& bytes) {
    const std::vector<DecodedFrame> frames = Decoding().Send(bytes).End();
    EXPECT_EQ(frames.size(), 1u);
    return frames.empty() ? DecodedFrame{} : frames[0];
}

TEST(FrameDecoder, DecodesTheExampleSequence) {
    const Bytes sequence = {0xF6, 0x01, 0x16, 0xF2, 0xF6, 0x02, 0x04, 0x03, 0xF6, 0x03,
                            0x12, 0xF4, 0xF6, 0x04, 0x02, 0x03, 0xF6, 0x05, 0x09, 0xFB,
                            0xF6, 0x06, 0x05, 0xFE, 0xF6, 0x07, 0x30, 0xD2};
    const std::vector<DecodedFrame> frames = Decoding().Send(sequence).End();
    ASSERT_EQ(frames.size(), 7u);
    const int values[7] = {16, 4, 12, 2, 9, 5, 30};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(frames[i].m_verdict, FrameVerdict::Accepted) << frames[i].m_detail;
        EXPECT_EQ(frames[i].m_fieldNumber, i + 1);
        EXPECT_EQ(frames[i].m_value, values[i]);
        EXPECT_EQ(frames[i].m_bytes, Bytes(sequence.begin() + 4 * i, sequence.begin() + 4 * i + 4));
    }
}

TEST(FrameDecoder, RejectsBadFieldNumbersAndCheckBytesWithTheirReason) {
    DecodedFrame frame = DecodeOne({0xF6, 0x08, 0x16, 0xEB}); // sums to 0xFF, but field 8
    EXPECT_EQ(frame.m_verdict, FrameVerdict::BadFieldNumber);
    EXPECT_EQ(frame.m_detail, "field number 0x08 is not 1 to 7");
    EXPECT_EQ(DecodeOne({0xF6, 0x00, 0x16, 0xF3}).m_verdict, FrameVerdict::BadFieldNumber);

    frame = DecodeOne({0xF6, 0x01, 0x16, 0xF3});
    EXPECT_EQ(frame.m_verdict, FrameVerdict::BadCheckByte);
    EXPECT_EQ(frame.m_fieldNumber, 1);
    EXPECT_EQ(frame.m_detail, "check byte 0xF3, expected 0xF2");
    // A value corrupted on the way is caught by the check byte, before its range is looked at.
    EXPECT_EQ(DecodeOne({0xF6, 0x02, 0x14, 0x03}).m_verdict, FrameVerdict::BadCheckByte);
}

TEST(FrameDecoder, RejectsValuesOutOfTheirFieldsRange) {
    // Each frame carries the right check byte, so only the value is wrong.
    struct Case {
        Bytes bytes;
        FrameVerdict verdict;
        const char* detail;
    };
    const Case cases[] = {
        {{0xF6, 0x02, 0x13, 0xF4}, FrameVerdict::OutOfRange, "month 13 is not 1 to 12"},
        {{0xF6, 0x02, 0x00, 0x07}, FrameVerdict::OutOfRange, "month 0 is not 1 to 12"},
        {{0xF6, 0x03, 0x32, 0xD4}, FrameVerdict::OutOfRange, "day 32 is not 1 to 31"},
        {{0xF6, 0x04, 0x07, 0xFE}, FrameVerdict::OutOfRange, "weekday 7 is not 0 to 6"},
        {{0xF6, 0x05, 0x24, 0xE0}, FrameVerdict::OutOfRange, "hour 24 is not 0 to 23"},
        {{0xF6, 0x06, 0x60, 0xA3}, FrameVerdict::OutOfRange, "minute 60 is not 0 to 59"},
        {{0xF6, 0x07, 0x3A, 0xC8},
         FrameVerdict::NotBcd,
         "second 0x3A is not BCD: a digit is above 9"},
        {{0xF6, 0x01, 0xA0, 0x68},
         FrameVerdict::NotBcd,
         "year 0xA0 is not BCD: a digit is above 9"},
    };
    for (const Case& c : cases) {
        const DecodedFrame frame = DecodeOne(c.bytes);
        EXPECT_EQ(frame.m_verdict, c.verdict) << c.detail;
        EXPECT_EQ(frame.m_detail, c.detail);
    }
    // The edges that are allowed.
    EXPECT_EQ(DecodeOne({0xF6, 0x04, 0x06, 0xFF}).m_verdict, FrameVerdict::Accepted);
    EXPECT_EQ(DecodeOne({0xF6, 0x01, 0x99, 0x6F}).m_value, 99);
    EXPECT_EQ(DecodeOne({0xF6, 0x07, 0x59, 0xA9}).m_value, 59);
}

TEST(FrameDecoder, ReportsTruncatedFramesAndWhatCutThemShort) {
    // Cut by a new start byte: the next frame is still decoded.
    std::vector<DecodedFrame> frames =
        Decoding().Send({0xF6, 0x02, 0x04}).Send({0xF6, 0x03, 0x12, 0xF4}).End();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].m_verdict, FrameVerdict::Truncated);
    EXPECT_EQ(frames[0].m_fieldNumber, 2);
    EXPECT_EQ(frames[0].m_detail, "truncated after 3 bytes: a new start byte arrived");
    EXPECT_EQ(frames[1].m_verdict, FrameVerdict::Accepted);

    // Cut by silence: 150 ms between the second and the third byte.
    frames = Decoding().Send({0xF6, 0x05}, 0).Send({0x09, 0xFB}, 150).End(150);
    ASSERT_GE(frames.size(), 1u);
    EXPECT_EQ(frames[0].m_detail, "truncated after 2 bytes: 150 ms of silence");
    EXPECT_EQ(frames[0].m_bytes, (Bytes{0xF6, 0x05}));
    // A frame that trickles in within the limit is whole.
    EXPECT_EQ(DecodeOne({0xF6, 0x05, 0x09, 0xFB}).m_verdict, FrameVerdict::Accepted);
    frames = Decoding().Send({0xF6, 0x05}, 0).Send({0x09, 0xFB}, 100).End(100);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].m_verdict, FrameVerdict::Accepted);

    // Cut by the end of the input.
    EXPECT_EQ(DecodeOne({0xF6}).m_detail, "truncated after 1 byte: the input ended");
}

TEST(FrameDecoder, ResynchronisesAfterNoiseThatContainsTheStartByte) {
    const Bytes frame = {0xF6, 0x07, 0x30, 0xD2};
    const Bytes noises[] = {
        {0x41, 0x42},
        {0xF6},
        {0xF6, 0xF6, 0x05},
        {0x13, 0xF6, 0x05, 0x09}, // a start byte in place of a check byte that is not 0xF6
    };
    for (const Bytes& noise : noises) {
        const std::vector<DecodedFrame> frames = Decoding().Send(noise).Send(frame).End();
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames.back().m_verdict, FrameVerdict::Accepted) << frames.back().m_detail;
        EXPECT_EQ(frames.back().m_bytes, frame);
        for (std::size_t i = 0; i + 1 < frames.size(); ++i) {
            EXPECT_TRUE(frames[i].m_verdict == FrameVerdict::Noise ||
                        frames[i].m_verdict == FrameVerdict::Truncated)
                << frames[i].m_detail;
        }
    }
    // Noise that happens to end in a valid-looking frame start is separated from the next frame
    // by the silence between them: F6 01 12 F6 would be the year 2012.
    const std::vector<DecodedFrame> frames =
        Decoding().Send({0xF6, 0x01, 0x12}, 0).Send({0xF6, 0x01, 0x16, 0xF2}, 200).End(200);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].m_verdict, FrameVerdict::Truncated);
    EXPECT_EQ(frames[1].m_value, 16);
}

TEST(FrameDecoder, AStartByteIsARightfulCheckByte) {
    // Year 12, month 11 and day 10 end in 0xF6.
    EXPECT_EQ(DecodeOne({0xF6, 0x01, 0x12, 0xF6}).m_value, 12);
    EXPECT_EQ(DecodeOne({0xF6, 0x02, 0x11, 0xF6}).m_value, 11);
    EXPECT_EQ(DecodeOne({0xF6, 0x03, 0x10, 0xF6}).m_value, 10);
}

TEST(FrameDecoder, NoiseIsReportedInBoundedRuns) {
    const std::vector<DecodedFrame> frames = Decoding().Send(Bytes(150, 0x55)).End();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].m_bytes.size(), FrameDecoder::kLongestNoiseRun);
    EXPECT_EQ(frames[2].m_bytes.size(), 150 - 2 * FrameDecoder::kLongestNoiseRun);
    EXPECT_EQ(frames[2].m_detail, "22 bytes outside any frame");
}

// Whatever arrives, every byte is accounted for exactly once, in order, and every report is
// either an accepted frame of four bytes with a field number or a rejection with a reason.
TEST(FrameDecoder, AccountsForEveryByteOfRandomInput) {
    std::mt19937 random(20160412);
    for (int round = 0; round < 200; ++round) {
        Bytes input(random() % 300);
        for (std::uint8_t& byte : input) {
            // Lean towards the bytes that matter, so that frames and near-frames occur.
            const std::uint8_t likely[] = {0xF6, 0x01, 0x07, 0x16, 0xF2, 0x30, 0xD2};
            byte = random() % 2 ? likely[random() % 7] : static_cast<std::uint8_t>(random());
        }
        Decoding decoding;
        int atMs = 0;
        for (std::uint8_t byte : input) {
            atMs += static_cast<int>(random() % 120);
            decoding.Send({byte}, atMs);
        }
        Bytes seen;
        for (const DecodedFrame& frame : decoding.End(atMs)) {
            seen.insert(seen.end(), frame.m_bytes.begin(), frame.m_bytes.end());
            if (frame.m_verdict == FrameVerdict::Accepted) {
                EXPECT_EQ(frame.m_bytes.size(), 4u);
                EXPECT_GE(frame.m_fieldNumber, 1);
                EXPECT_LE(frame.m_fieldNumber, 7);
            } else {
                EXPECT_FALSE(frame.m_detail.empty());
            }
        }
        EXPECT_EQ(seen, input) << "round " << round;
    }
}

} // namespace

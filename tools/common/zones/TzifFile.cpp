#include "tools/common/zones/TzifFile.h"

#include <algorithm>
#include <cstring>

namespace kalvor_zones {
namespace {

constexpr std::size_t kHeaderBytes = 44;
constexpr std::size_t kLocalTimeTypeBytes = 6;
// The widest UTC offsets a file may hold: less than 25 hours behind, less than 26 ahead.
constexpr std::int32_t kLowestOffset = -89'999;
constexpr std::int32_t kHighestOffset = 93'599;

// Reads big-endian fields from the front of a span; callers check the length first.
class ByteCursor {
public:
    explicit ByteCursor(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::size_t Left() const { return m_bytes.size(); }
    std::span<const std::uint8_t> Take(std::size_t count) {
        const auto taken = m_bytes.first(count);
        m_bytes = m_bytes.subspan(count);
        return taken;
    }
    std::uint8_t Byte() { return Take(1)[0]; }
    std::uint64_t Unsigned(std::size_t width) {
        std::uint64_t value = 0;
        for (const std::uint8_t byte : Take(width)) {
            value = value << 8 | byte;
        }
        return value;
    }
    // A two's complement field of 4 or 8 bytes.
    std::int64_t Signed(std::size_t width) {
        const std::uint64_t value = Unsigned(width);
        if (width == 4) {
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
        }
        return static_cast<std::int64_t>(value);
    }

private:
    std::span<const std::uint8_t> m_bytes;
};

struct Header {
    char version = 0; // the byte as written: 0, '2', '3' or '4'
    std::uint64_t isUtCount = 0, isStandardCount = 0, leapCount = 0, timeCount = 0, typeCount = 0,
                  charCount = 0;

    // The size of the data block that follows, with times of `timeBytes` (4 or 8) bytes.
    std::uint64_t DataBytes(std::uint64_t timeBytes) const {
        return timeCount * (timeBytes + 1) + typeCount * kLocalTimeTypeBytes + charCount +
               leapCount * (timeBytes + 4) + isStandardCount + isUtCount;
    }
};

bool ReadHeader(ByteCursor& cursor, Header& header, std::string& error) {
    if (cursor.Left() < kHeaderBytes) {
        error = "the file ends inside a header";
        return false;
    }
    const auto magic = cursor.Take(4);
    if (std::memcmp(magic.data(), "TZif", 4) != 0) {
        error = "not a compiled zone file (no TZif header)";
        return false;
    }
    header.version = static_cast<char>(cursor.Byte());
    if (header.version != 0 && (header.version < '2' || header.version > '4')) {
        error =
            "unknown TZif version " + std::to_string(static_cast<unsigned char>(header.version));
        return false;
    }
    cursor.Take(15);
    for (std::uint64_t* count : {&header.isUtCount, &header.isStandardCount, &header.leapCount,
                                 &header.timeCount, &header.typeCount, &header.charCount}) {
        *count = cursor.Unsigned(4);
    }
    return true;
}

// What must hold for a data block to be read at all; each count is at most 2^32, so no size
// computed from them overflows.
bool CheckCounts(const Header& header, std::uint64_t timeBytes, std::size_t left,
                 std::string& error) {
    if (header.typeCount == 0 || header.typeCount > 256) {
        error = "the header counts " + std::to_string(header.typeCount) +
                " local time types (1 to 256 can be named)";
        return false;
    }
    if (header.charCount == 0) {
        error = "the header counts no abbreviation characters";
        return false;
    }
    if ((header.isStandardCount != 0 && header.isStandardCount != header.typeCount) ||
        (header.isUtCount != 0 && header.isUtCount != header.typeCount)) {
        error = "the standard/UT indicators do not match the local time types";
        return false;
    }
    if (header.DataBytes(timeBytes) > left) {
        error = "the file is shorter than its header's counts say (" +
                std::to_string(header.DataBytes(timeBytes)) + " bytes of data, " +
                std::to_string(left) + " left)";
        return false;
    }
    return true;
}

bool ReadTypes(ByteCursor& cursor, const Header& header, TzifContents& contents,
               std::string& error) {
    struct RawType {
        std::int64_t offset;
        std::uint8_t daylightSaving, abbreviationIndex;
    };
    std::vector<RawType> raw(header.typeCount);
    for (RawType& type : raw) {
        type.offset = cursor.Signed(4);
        type.daylightSaving = cursor.Byte();
        type.abbreviationIndex = cursor.Byte();
    }
    const auto characters = cursor.Take(header.charCount);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const std::string which = "local time type " + std::to_string(i);
        if (raw[i].offset < kLowestOffset || raw[i].offset > kHighestOffset) {
            error = which + " has a UTC offset of " + std::to_string(raw[i].offset) + " s";
            return false;
        }
        if (raw[i].daylightSaving > 1) {
            error =
                which + " has a daylight saving flag of " + std::to_string(raw[i].daylightSaving);
            return false;
        }
        const auto rest =
            characters.subspan(std::min<std::size_t>(raw[i].abbreviationIndex, characters.size()));
        const auto end = std::find(rest.begin(), rest.end(), 0);
        if (end == rest.end()) {
            error = which + " has no terminated abbreviation";
            return false;
        }
        contents.types.push_back({static_cast<std::int32_t>(raw[i].offset),
                                  raw[i].daylightSaving == 1, std::string(rest.begin(), end)});
    }
    return true;
}

bool ReadData(ByteCursor& cursor, const Header& header, std::size_t timeBytes,
              TzifContents& contents, std::string& error) {
    contents.transitionTimes.reserve(header.timeCount);
    for (std::uint64_t i = 0; i < header.timeCount; ++i) {
        const std::int64_t time = cursor.Signed(timeBytes);
        if (i > 0 && time <= contents.transitionTimes.back()) {
            error = "transition " + std::to_string(i) + " is not later than the one before it";
            return false;
        }
        contents.transitionTimes.push_back(time);
    }
    const auto types = cursor.Take(header.timeCount);
    contents.transitionTypes.assign(types.begin(), types.end());
    for (std::size_t i = 0; i < contents.transitionTypes.size(); ++i) {
        if (contents.transitionTypes[i] >= header.typeCount) {
            error = "transition " + std::to_string(i) + " names local time type " +
                    std::to_string(contents.transitionTypes[i]) + " of " +
                    std::to_string(header.typeCount);
            return false;
        }
    }
    if (!ReadTypes(cursor, header, contents, error)) {
        return false;
    }
    cursor.Take(header.leapCount * (timeBytes + 4));
    const auto indicators = cursor.Take(header.isStandardCount + header.isUtCount);
    if (std::any_of(indicators.begin(), indicators.end(), [](std::uint8_t b) { return b > 1; })) {
        error = "a standard/UT indicator is neither 0 nor 1";
        return false;
    }
    return true;
}

// The footer of a version 2 or later file: the POSIX TZ text between two line feeds, which
// end the file.
bool ReadFooter(ByteCursor& cursor, TzifContents& contents, std::string& error) {
    const auto rest = cursor.Take(cursor.Left());
    if (rest.empty() || rest.front() != '\n') {
        error = "the footer does not begin with a line feed";
        return false;
    }
    const auto text = rest.subspan(1);
    const auto end = std::find(text.begin(), text.end(), '\n');
    if (end == text.end()) {
        error = "the footer does not end with a line feed";
        return false;
    }
    if (end + 1 != text.end()) {
        error = std::to_string(text.end() - end - 1) + " bytes follow the footer";
        return false;
    }
    contents.footer.assign(text.begin(), end);
    return true;
}

} // namespace

std::optional<TzifContents> ReadTzif(std::span<const std::uint8_t> file, std::string& error) {
    ByteCursor cursor(file);
    Header header;
    if (!ReadHeader(cursor, header, error)) {
        return std::nullopt;
    }
    TzifContents contents;
    std::size_t timeBytes = 4;
    if (header.version != 0) {
        // The version 1 block only serves readers that know no later version: skip it whole.
        if (header.DataBytes(4) > cursor.Left()) {
            error = "the file is shorter than its version 1 header's counts say";
            return std::nullopt;
        }
        cursor.Take(header.DataBytes(4));
        const char version = header.version;
        if (!ReadHeader(cursor, header, error)) {
            return std::nullopt;
        }
        if (header.version != version) {
            error = "the two headers give different versions";
            return std::nullopt;
        }
        timeBytes = 8;
    }
    contents.version = header.version == 0 ? 1 : header.version - '0';
    if (!CheckCounts(header, timeBytes, cursor.Left(), error) ||
        !ReadData(cursor, header, timeBytes, contents, error)) {
        return std::nullopt;
    }
    if (header.version == 0) {
        if (cursor.Left() != 0) {
            error = std::to_string(cursor.Left()) + " bytes follow the data";
            return std::nullopt;
        }
    } else if (!ReadFooter(cursor, contents, error)) {
        return std::nullopt;
    }
    return contents;
}

} // namespace kalvor_zones

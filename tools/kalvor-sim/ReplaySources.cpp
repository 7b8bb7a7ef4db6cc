#include "ReplaySources.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace kalvor_sim {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// The bytes of one line of hex text, or an error saying what is wrong with it.
bool ParseHexLine(const std::string& line, std::string& bytes, std::string& error) {
    const std::string text = line.substr(0, line.find('#'));
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c)) || c == ',') {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && HexDigit(text[end]) >= 0) {
            ++end;
        }
        if (end == i) {
            error = std::string("'") + c + "' is not a hex digit";
            return false;
        }
        if ((end - i) % 2 != 0) {
            error = "\"" + text.substr(i, end - i) + "\" has an odd number of hex digits";
            return false;
        }
        for (; i < end; i += 2) {
            bytes += static_cast<char>(HexDigit(text[i]) * 16 + HexDigit(text[i + 1]));
        }
    }
    return true;
}

} // namespace

std::unique_ptr<RawFileSource> RawFileSource::Open(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<RawFileSource>(new RawFileSource(std::move(file), path));
}

RawFileSource::RawFileSource(std::ifstream file, std::string path)
    : m_file(std::move(file)), m_path(std::move(path)) {}

ByteSource::Chunk RawFileSource::Read(std::span<std::uint8_t> buffer) {
    Chunk chunk;
    m_file.read(reinterpret_cast<char*>(buffer.data()),
                static_cast<std::streamsize>(std::min<std::size_t>(buffer.size(), 256)));
    chunk.count = static_cast<std::size_t>(m_file.gcount());
    if (m_file.bad()) {
        chunk.ended = true;
        chunk.error = "cannot read " + m_path;
    } else if (chunk.count == 0) {
        chunk.ended = true;
    }
    return chunk;
}

HexTextSource::HexTextSource(std::istream& text, std::string name)
    : m_text(text), m_name(std::move(name)) {}

ByteSource::Chunk HexTextSource::Read(std::span<std::uint8_t> buffer) {
    Chunk chunk;
    while (m_pending.empty()) {
        std::string line;
        if (!std::getline(m_text, line)) {
            chunk.ended = true;
            if (m_text.bad()) {
                chunk.error = "cannot read " + m_name;
            }
            return chunk;
        }
        ++m_lineNumber;
        std::string error;
        if (!ParseHexLine(line, m_pending, error)) {
            chunk.ended = true;
            chunk.error = m_name + " line " + std::to_string(m_lineNumber) + ": " + error;
            return chunk;
        }
    }
    chunk.count = std::min(buffer.size(), m_pending.size());
    std::memcpy(buffer.data(), m_pending.data(), chunk.count);
    m_pending.erase(0, chunk.count);
    return chunk;
}

} // namespace kalvor_sim

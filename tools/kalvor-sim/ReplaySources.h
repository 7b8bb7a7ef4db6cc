#pragma once

#include "ByteSource.h"

#include <fstream>
#include <istream>
#include <memory>
#include <string>

namespace kalvor_sim {

// Replays captured bytes as they are, from a file, in chunks of up to 256 bytes.
class RawFileSource : public ByteSource {
public:
    // Null, with `error` set, if the file cannot be opened.
    static std::unique_ptr<RawFileSource> Open(const std::string& path, std::string& error);

    Chunk Read(std::span<std::uint8_t> buffer) override;

private:
    explicit RawFileSource(std::ifstream file, std::string path);
    std::ifstream m_file;
    std::string m_path;
};

// Replays bytes written as hex text, one chunk per line: "F6 01 16 F2" or "F60116F2"; blanks and
// commas separate, '#' starts a comment to the end of the line.
class HexTextSource : public ByteSource {
public:
    // `name` names the text in error messages; the stream must outlive the source.
    HexTextSource(std::istream& text, std::string name);

    Chunk Read(std::span<std::uint8_t> buffer) override;

private:
    std::istream& m_text;
    std::string m_name;
    std::string m_pending; // bytes of the current line not yet handed out
    int m_lineNumber = 0;
};

} // namespace kalvor_sim

// CLineReader: line splitting with the length bound.
#include "protocol/wire/LineReader.h"

#include <cstring>

CLineReader::SResult CLineReader::Read(const std::uint8_t* data, std::size_t size) {
    if (m_failed)
        return {EStatus::Error, 0};
    if (m_lineDone) {
        m_line.clear();
        m_lineDone = false;
    }

    const auto* newline = static_cast<const std::uint8_t*>(std::memchr(data, '\n', size));
    const std::size_t textEnd = newline ? static_cast<std::size_t>(newline - data) : size;

    // Append the text before the "\n" piece by piece between "\r" bytes.
    std::size_t at = 0;
    while (at < textEnd) {
        const void* cr = std::memchr(data + at, '\r', textEnd - at);
        const std::size_t pieceEnd =
            cr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(cr) - data) : textEnd;
        const std::size_t room = kMaxLineLength - m_line.size();
        if (pieceEnd - at > room) {
            // The byte that makes the line too long is the last one taken.
            m_failed = true;
            m_line.clear();
            return {EStatus::Error, at + room + 1};
        }
        m_line.append(reinterpret_cast<const char*>(data + at), pieceEnd - at);
        at = cr ? pieceEnd + 1 : pieceEnd;
    }

    if (!newline)
        return {EStatus::NeedMore, size};
    m_lineDone = true;
    return {EStatus::Line, textEnd + 1};
}

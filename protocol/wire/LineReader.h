// CLineReader: splits the text part of a connection's input into lines. "\n"
// ends a line, "\r" is dropped wherever it stands. A line longer than 8,192
// bytes is refused so a peer cannot grow the buffer without end. One per
// connection; GUI thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CLineReader {
public:
    static constexpr std::size_t kMaxLineLength = 8192;

    enum class EStatus {
        NeedMore, // every byte given was taken; no line ended
        Line,     // a line ended; bytes after its "\n" were not taken
        Error,    // the line grew over the limit; the connection must close
    };

    struct SResult {
        EStatus status;
        std::size_t consumed; // bytes taken from this call's input, the "\n" included
    };

    // Takes bytes up to and including the next "\n". The caller goes on with
    // the bytes after `consumed`, which after a blank line may no longer be text
    // (messages, a POST body). After Error every call takes nothing.
    SResult Read(const std::uint8_t* data, std::size_t size);

    // The line just ended (without "\r" and "\n"), valid after Line until the
    // next Read.
    const std::string& Line() const { return m_line; }

    bool HasFailed() const { return m_failed; }

private:
    std::string m_line;
    bool m_lineDone = false;
    bool m_failed = false;
};

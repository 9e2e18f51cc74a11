// CEventLog: appends one time-stamped line per event to "pelmar.log" while the
// logging switch is on, and rotates the file at a size ("pelmar.log.1" is the
// newest old one). GUI thread only; the file is opened and closed per line.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

class CEventLog {
public:
    static constexpr std::uint64_t kDefaultMaxBytes = 10 * 1024 * 1024;
    static constexpr unsigned kDefaultKeep = 3;

    // maxBytes 0: the file grows without bound. keep: how many rotated files
    // stay (path.1 ... path.keep); 0 starts the log anew at the size.
    explicit CEventLog(std::string path = "pelmar.log", std::uint64_t maxBytes = kDefaultMaxBytes,
                       unsigned keep = kDefaultKeep)
        : m_path(std::move(path)), m_maxBytes(maxBytes), m_keep(keep) {}

    // "%Y/%m/%d %H:%M:%S" in local time, a blank, the text, "\n".
    static std::string FormatLine(std::time_t when, std::string_view text);
    // Appends the line; failures go unrecorded, as the log is only a diary.
    // A file that has reached the size after the line is rotated.
    void Write(std::time_t when, std::string_view text) const;

private:
    void Rotate() const;

    std::string m_path;
    std::uint64_t m_maxBytes;
    unsigned m_keep;
};

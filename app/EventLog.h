// CEventLog: appends one time-stamped line per event to "pelmar.log" while the
// logging switch is on. GUI thread only; the file is opened and closed per line.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

class CEventLog {
public:
    explicit CEventLog(std::string path = "pelmar.log") : m_path(std::move(path)) {}

    // "%Y/%m/%d %H:%M:%S" in local time, a blank, the text, "\n".
    static std::string FormatLine(std::time_t when, std::string_view text);
    // Appends the line; failures go unrecorded, as the log is only a diary.
    void Write(std::time_t when, std::string_view text) const;

private:
    std::string m_path;
};

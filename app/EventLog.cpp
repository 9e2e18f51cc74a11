// CEventLog: formatting and appending log lines.
#include "app/EventLog.h"

#include <cstdio>

std::string CEventLog::FormatLine(std::time_t when, std::string_view text) {
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y/%m/%d %H:%M:%S", &local);
    std::string line = stamp;
    line += ' ';
    line += text;
    line += '\n';
    return line;
}

void CEventLog::Write(std::time_t when, std::string_view text) const {
    std::FILE* file = std::fopen(m_path.c_str(), "ab");
    if (!file)
        return;
    const std::string line = FormatLine(when, text);
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
}

// CEventLog: formatting and appending log lines.
#include "app/EventLog.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    // Open, one appending write, close: a buffered stream would add a stat
    // and a seek to every line, and the relay of a message waits for them.
    int fd;
    do {
        fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return;
    const std::string line = FormatLine(when, text);
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    struct stat status {};
    const bool full = m_maxBytes > 0 && ::fstat(fd, &status) == 0 &&
                      static_cast<std::uint64_t>(status.st_size) >= m_maxBytes;
    ::close(fd);
    if (full)
        Rotate();
}

void CEventLog::Rotate() const {
    // Oldest first, so that no name is overwritten before it has moved on.
    if (m_keep == 0) {
        ::unlink(m_path.c_str());
        return;
    }
    for (unsigned i = m_keep - 1; i >= 1; --i)
        std::rename((m_path + "." + std::to_string(i)).c_str(),
                    (m_path + "." + std::to_string(i + 1)).c_str());
    std::rename(m_path.c_str(), (m_path + ".1").c_str());
}

// COwnThreads: reading the id lines and appending one a post.
#include "app/OwnThreads.h"

#include "base/BinaryId.h"
#include "store/FileSystem.h"

#include <fcntl.h>
#include <unistd.h>

COwnThreads::COwnThreads(std::string path) : m_path(std::move(path)) {
    std::string bytes;
    if (!storefs::ReadFile(m_path, bytes, kMaxThreads * 33))
        return;
    // Lines that are not a thread id (a hand edit, a cut last line) are skipped.
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        const std::string line = bytes.substr(start, end - start);
        if (CBinaryId::IsWellFormedText(line))
            m_ids.insert(line);
        start = end + 1;
    }
}

bool COwnThreads::Add(const std::string& threadId) {
    if (!CBinaryId::IsWellFormedText(threadId) || !m_ids.insert(threadId).second)
        return true;
    const int fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    const std::string line = threadId + "\n";
    // One short append: a line is written whole or, on a full disk, not at all
    // worth keeping (the reader skips a cut line).
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    return ::close(fd) == 0 && written;
}

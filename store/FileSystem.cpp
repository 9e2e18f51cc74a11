// Store file operations over POSIX calls. Any thread; new contents go into
// unnamed files where the file system has them, and temporary names are
// unique per process and call, so the GUI thread and the fetch worker never
// share one.
#include "store/FileSystem.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <optional>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace storefs {
namespace {

int OpenRetrying(const char* path, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// The pid in a temporary name ("<name>.tmp<pid>-<serial>") when name is one.
std::optional<pid_t> TemporaryNameOwner(std::string_view name) {
    const std::size_t mark = name.rfind(".tmp");
    if (mark == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = name.substr(mark + 4);
    const std::size_t dash = rest.find('-');
    const auto digits = [](std::string_view text) {
        return !text.empty() && text.size() <= 10 &&
               std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (dash == std::string_view::npos || !digits(rest.substr(0, dash)) ||
        !digits(rest.substr(dash + 1)))
        return std::nullopt;
    const long long pid = std::stoll(std::string(rest.substr(0, dash)));
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return std::nullopt;
    return static_cast<pid_t>(pid);
}

// A temporary file whose writer was killed before its rename is never
// renamed or removed by anyone else; a listing that meets one removes it.
// A writer that is still alive (this process's other thread among them)
// keeps its file.
void RemoveIfOrphanedTemporary(int dirFd, std::string_view name) {
    const auto owner = TemporaryNameOwner(name);
    if (!owner || *owner == ::getpid())
        return;
    if (::kill(*owner, 0) == 0 || errno != ESRCH)
        return;
    ::unlinkat(dirFd, std::string(name).c_str(), 0);
}

std::atomic<bool> g_diskFull{false};

bool WriteFully(int fd, std::size_t offset, std::string_view data) {
    // Every write of file data comes here, so that a full disk can be made
    // to happen in one place.
    if (g_diskFull.load(std::memory_order_relaxed) && !data.empty()) {
        errno = ENOSPC;
        return false;
    }
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::pwrite(fd, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::atomic<void (*)(const std::string&)> g_syncObserver{nullptr};

bool SyncDescriptor(int fd, const std::string& path) {
    int result;
    do {
        result = ::fsync(fd);
    } while (result != 0 && errno == EINTR);
    if (result != 0)
        return false;
    if (auto* observer = g_syncObserver.load())
        observer(path);
    return true;
}

bool SyncPath(const std::string& path, int flags) {
    const int fd = OpenRetrying(path.c_str(), O_RDONLY | flags, 0);
    if (fd < 0)
        return false;
    const bool synced = SyncDescriptor(fd, path);
    ::close(fd);
    return synced;
}

SFileIdentity IdentityOf(const struct stat& st) {
    const auto ns = [](const timespec& t) {
        return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
    };
    SFileIdentity identity;
    identity.device = st.st_dev;
    identity.inode = st.st_ino;
    identity.size = st.st_size;
    identity.modifiedNs = ns(st.st_mtim);
    identity.changedNs = ns(st.st_ctim);
    return identity;
}

// Reads until size bytes or the end; *failed is set when a read fails.
std::size_t ReadFully(int fd, std::uint64_t offset, char* buffer, std::size_t size,
                      bool* failed = nullptr) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n =
            ::pread(fd, buffer + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && failed)
            *failed = true;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

} // namespace

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsEmptyFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
}

bool MakeDirectories(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return IsDirectory(path);
}

bool ReadFile(const std::string& path, std::string& data, std::size_t maxBytes) {
    const int fd = OpenRetrying(path.c_str(), O_RDONLY, 0);
    if (fd < 0)
        return false;
    data.clear();
    char buffer[8192];
    bool ok = true;
    while (data.size() < maxBytes) {
        const std::size_t want = std::min(sizeof buffer, maxBytes - data.size());
        const ssize_t n = ::read(fd, buffer, want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ok = false;
        if (n <= 0)
            break;
        data.append(buffer, static_cast<std::size_t>(n));
        // A regular file gives less than asked only at its end: no read is
        // spent to learn that again.
        if (static_cast<std::size_t>(n) < want)
            break;
    }
    ::close(fd);
    return ok;
}

bool SyncFile(const std::string& path) {
    return SyncPath(path, 0);
}

bool SyncDirectory(const std::string& path) {
    return SyncPath(path, O_DIRECTORY);
}

std::string ParentDirectory(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void SetSyncObserver(void (*observer)(const std::string& path)) {
    g_syncObserver = observer;
}

void SetDiskFullForTests(bool full) {
    g_diskFull = full;
}

namespace {

std::string TemporaryName(const std::string& path) {
    static std::atomic<unsigned> s_serial{0};
    static const pid_t s_pid = ::getpid();
    // The temporary name ends in digits, so no listing by suffix (".res",
    // ".id") ever takes it for a store file.
    return path + ".tmp" + std::to_string(s_pid) + "-" + std::to_string(s_serial.fetch_add(1));
}

// Cleared once the file system has refused an unnamed file.
std::atomic<bool> g_unnamedFiles{true};

// Writes data into an unnamed file in path's directory and links it in as
// path: the name appears only with the whole content, one directory change
// instead of a create and a rename, and a writer killed before the link
// leaves nothing behind. When path exists already, the written file is
// linked under a temporary name and renamed over it. Unset when no unnamed
// file could be made or linked (the caller then goes by a temporary name).
std::optional<bool> WriteUnnamed(const std::string& path, std::string_view data, bool flush) {
    if (!g_unnamedFiles.load(std::memory_order_relaxed))
        return std::nullopt;
    const int fd = OpenRetrying(ParentDirectory(path).c_str(), O_TMPFILE | O_WRONLY, 0666);
    if (fd < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)
            g_unnamedFiles = false;
        return std::nullopt;
    }
    if (!WriteFully(fd, 0, data) || (flush && !SyncDescriptor(fd, path + ".tmp"))) {
        ::close(fd);
        return false;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    bool linked = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
    if (!linked && errno == EEXIST) {
        const std::string temp = TemporaryName(path);
        linked = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0;
        if (linked && std::rename(temp.c_str(), path.c_str()) != 0) {
            ::unlink(temp.c_str());
            ::close(fd);
            return false;
        }
    } else if (!linked && errno != ENOSPC && errno != EDQUOT && errno != EROFS) {
        // No /proc, or links refused: the named way still works.
        ::close(fd);
        return std::nullopt;
    }
    const bool closed = ::close(fd) == 0;
    if (!linked || !closed)
        return false;
    return !flush || SyncDirectory(ParentDirectory(path));
}

} // namespace

bool WriteFileAtomically(const std::string& path, std::string_view data, EDurability durability) {
    const bool flush = durability == EDurability::Flushed;
    if (const auto written = WriteUnnamed(path, data, flush))
        return *written;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::string temp = TemporaryName(path);
        const int fd = OpenRetrying(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        const bool written = WriteFully(fd, 0, data) && (!flush || SyncDescriptor(fd, temp));
        const bool closed = ::close(fd) == 0;
        if (written && closed && std::rename(temp.c_str(), path.c_str()) == 0)
            return !flush || SyncDirectory(ParentDirectory(path));
        ::unlink(temp.c_str());
        return false;
    }
    return false;
}

bool CreateEmptyFile(const std::string& path) {
    const int fd = OpenRetrying(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0)
        return false;
    return ::close(fd) == 0;
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool RemoveDirectory(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

bool RenameOver(const std::string& from, const std::string& to) {
    // Exchanging the two names and removing the old file under from is the
    // same single step for readers of to, but a rename over an existing file
    // makes some file systems (ext4) start writing the new one out at once,
    // which costs a replacement several times over. A writer whose file
    // must be on the disk flushes it before, either way.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    return std::rename(from.c_str(), to.c_str()) == 0;
}

std::vector<std::string> ListFiles(const std::string& dir, std::string_view suffix) {
    // readdir rather than a directory iterator: listings of thousands of
    // markers or responses are made on every refresh, and the entry type
    // comes with the name, so only links and unknown types need a stat.
    std::vector<std::string> names;
    DIR* stream = ::opendir(dir.c_str());
    if (!stream)
        return names;
    while (const dirent* entry = ::readdir(stream)) {
        const std::string_view name(entry->d_name);
        if (name.size() < suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
            RemoveIfOrphanedTemporary(::dirfd(stream), name);
            continue;
        }
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat st;
            regular = ::fstatat(::dirfd(stream), entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        if (regular)
            names.emplace_back(name);
    }
    ::closedir(stream);
    return names;
}

std::vector<std::string> ListDirectories(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(dir, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError))
            names.push_back(it->path().filename().string());
    }
    return names;
}

std::int64_t WallClockNs() {
    timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

CDirectoryHandle::~CDirectoryHandle() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool CDirectoryHandle::Open(const std::string& path) {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = OpenRetrying(path.c_str(), O_PATH | O_DIRECTORY, 0);
    return m_fd >= 0;
}

long CDirectoryHandle::ReadStart(const char* relativePath, char* buffer, std::size_t size,
                                 SFileIdentity* identity) const {
    if (m_fd < 0)
        return -1;
    int fd;
    do {
        fd = ::openat(m_fd, relativePath, O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    bool ok = true;
    // Taken before the read: a write after it changes the identity, so what
    // was read is never paired with an identity newer than itself.
    if (identity) {
        struct stat st;
        ok = ::fstat(fd, &st) == 0;
        if (ok)
            *identity = IdentityOf(st);
    }
    bool failed = false;
    const std::size_t done = ReadFully(fd, 0, buffer, size, &failed);
    ok = ok && !failed;
    ::close(fd);
    return ok ? static_cast<long>(done) : -1;
}

bool CDirectoryHandle::StatAt(const char* relativePath, SFileIdentity& identity) const {
    struct stat st;
    if (m_fd < 0 || ::fstatat(m_fd, relativePath, &st, 0) != 0)
        return false;
    identity = IdentityOf(st);
    return true;
}

CFileHandle::~CFileHandle() {
    Close();
}

bool CFileHandle::Open(const std::string& path, Mode mode) {
    Close();
    int flags = 0;
    switch (mode) {
    case Mode::ReadOnly:
        flags = O_RDONLY;
        break;
    case Mode::ReadWrite:
        flags = O_RDWR;
        break;
    case Mode::ReadWriteCreate:
        flags = O_RDWR | O_CREAT;
        break;
    case Mode::CreateTruncate:
        flags = O_WRONLY | O_CREAT | O_TRUNC;
        break;
    case Mode::CreateExclusive:
        flags = O_WRONLY | O_CREAT | O_EXCL;
        break;
    }
    m_fd = OpenRetrying(path.c_str(), flags, 0666);
    m_path = path;
    return m_fd >= 0;
}

std::int64_t CFileHandle::RegularFileSize() const {
    struct stat st;
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0)
        return -1;
    return st.st_size;
}

std::size_t CFileHandle::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) {
    return IsOpen() ? ReadFully(m_fd, offset, buffer, size) : 0;
}

bool CFileHandle::WriteAt(std::size_t offset, std::string_view data) {
    return IsOpen() && WriteFully(m_fd, offset, data);
}

bool CFileHandle::Sync() {
    return IsOpen() && SyncDescriptor(m_fd, m_path);
}

bool CFileHandle::Close() {
    if (m_fd < 0)
        return true;
    const bool ok = ::close(m_fd) == 0;
    m_fd = -1;
    return ok;
}

} // namespace storefs

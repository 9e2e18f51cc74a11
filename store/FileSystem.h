// The file operations the store is built on: whole-file reads with a bound,
// atomic replacement (a temporary file in the same directory renamed into
// place), exclusive creation, in-place updates at an offset, directory
// listing by suffix. POSIX and std::filesystem; any thread, no shared state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace storefs {

bool Exists(const std::string& path);
bool IsDirectory(const std::string& path);
// An existing regular file of no bytes.
bool IsEmptyFile(const std::string& path);
// Makes the directory and any missing parents; true when it exists after.
bool MakeDirectories(const std::string& path);
// Reads at most maxBytes from the start of the file into data. False when the
// file cannot be opened or read.
bool ReadFile(const std::string& path, std::string& data, std::size_t maxBytes);
// Whether a write must reach the disk before it counts as done. A post made
// here exists nowhere else until another node fetches it, so its files are
// flushed; fetched copies can be fetched again and are not.
enum class EDurability { Cached, Flushed };

// Writes data to a new file beside path and renames it over path, so readers
// see the old content or the new, never a part. Flushed: the new file reaches
// the disk before the rename publishes it, and the directory after it.
bool WriteFileAtomically(const std::string& path, std::string_view data,
                         EDurability durability = EDurability::Cached);
// Flushes a file's content, or a directory's entries, to the disk.
bool SyncFile(const std::string& path);
bool SyncDirectory(const std::string& path);
// The directory part of a path ("a/b/c" -> "a/b", "c" -> ".").
std::string ParentDirectory(const std::string& path);
// Tests watch what is flushed: observer(path) after every successful flush,
// on the calling thread (nullptr: none).
void SetSyncObserver(void (*observer)(const std::string& path));
// Tests stand in for a full disk: while set, every write of file data fails
// as the disk would (ENOSPC), on every thread.
void SetDiskFullForTests(bool full);
// Creates an empty file, truncating one that exists.
bool CreateEmptyFile(const std::string& path);
bool RemoveFile(const std::string& path);
// Removes an empty directory.
bool RemoveDirectory(const std::string& path);
// Replaces to with from in one step: readers of to see the old file or the
// new one. from is gone afterwards.
bool RenameOver(const std::string& from, const std::string& to);
// Names of the regular files in dir that end with suffix, in the order the
// directory yields them. Empty when dir cannot be read. Removes on the way the
// temporary files of writers that no longer run.
std::vector<std::string> ListFiles(const std::string& dir, std::string_view suffix);
// Names of the sub-directories of dir.
std::vector<std::string> ListDirectories(const std::string& dir);

// What tells one version of a file from another without reading it: a
// replacement brings another inode, a write in place new times. The change
// time cannot be set back by anyone, so a write always moves it (within the
// file system's timestamp granularity).
struct SFileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;

    bool operator==(const SFileIdentity&) const = default;
};

// Nanoseconds since 1970 by the clock that stamps files.
std::int64_t WallClockNs();

// A directory held open, so that many files under it are opened by paths
// relative to it: each open walks only the relative part.
class CDirectoryHandle {
public:
    CDirectoryHandle() = default;
    ~CDirectoryHandle();
    CDirectoryHandle(const CDirectoryHandle&) = delete;
    CDirectoryHandle& operator=(const CDirectoryHandle&) = delete;

    bool Open(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }
    // Reads at most size bytes from the start of the file at relativePath;
    // returns the count read, or -1 when the file cannot be opened or read.
    // With identity: also the identity of the file that was read.
    long ReadStart(const char* relativePath, char* buffer, std::size_t size,
                   SFileIdentity* identity = nullptr) const;
    // The identity of the file at relativePath without opening it.
    bool StatAt(const char* relativePath, SFileIdentity& identity) const;

private:
    int m_fd = -1;
};

// An open file descriptor, closed when the handle goes.
class CFileHandle {
public:
    enum class Mode {
        ReadOnly,        // an existing file
        ReadWrite,       // an existing file
        ReadWriteCreate, // made if missing, content kept
        CreateTruncate,  // write only, made or emptied
        CreateExclusive  // write only, fails if the file exists
    };

    CFileHandle() = default;
    ~CFileHandle();
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;

    bool Open(const std::string& path, Mode mode);
    bool IsOpen() const { return m_fd >= 0; }
    // The open file's length when it is a regular file; -1 for anything else
    // (a directory, a pipe) or when no file is open.
    std::int64_t RegularFileSize() const;
    // Reads up to size bytes at offset; returns the count read (short at the
    // end, 0 on failure).
    std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size);
    bool WriteAt(std::size_t offset, std::string_view data);
    // Flushes what was written to the disk.
    bool Sync();
    bool Close();

private:
    int m_fd = -1;
    std::string m_path;
};

} // namespace storefs

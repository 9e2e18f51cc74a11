// DeleteDirectoryTree: a recursive removal that works through directory file
// descriptors opened without following links, so a link inside the tree can
// never lead the walk (and its deletions) outside it. GUI thread.
#include "app/DirectoryTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace {

// Deeper trees are left in place rather than exhausting file descriptors; a
// thread's directory is one level deep.
constexpr int kMaxDepth = 32;

// Removes every entry below the open directory dirFd; takes ownership of it.
void RemoveContents(int dirFd, int depth) {
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    // Names first, removal after: a directory changed while it is being read
    // may skip or repeat entries.
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    for (const std::string& name : names) {
        struct stat st;
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (!S_ISDIR(st.st_mode)) {
            ::unlinkat(dirFd, name.c_str(), 0); // a file or a link, never its target
            continue;
        }
        if (depth >= kMaxDepth)
            continue;
        // O_NOFOLLOW: should the directory have been replaced by a link since
        // fstatat, the open fails instead of entering the link's target.
        const int childFd =
            ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (childFd < 0)
            continue;
        RemoveContents(childFd, depth + 1);
        ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR);
    }
    ::closedir(dir); // closes dirFd
}

} // namespace

bool DeleteDirectoryTree(const std::string& path) {
    std::string top = path;
    while (top.size() > 1 && top.back() == '/')
        top.pop_back();
    if (top.empty())
        return false;

    struct stat st;
    if (::lstat(top.c_str(), &st) != 0)
        return false;
    if (S_ISLNK(st.st_mode))
        return ::unlink(top.c_str()) == 0;
    if (!S_ISDIR(st.st_mode))
        return false;

    const int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    RemoveContents(fd, 1);
    return ::rmdir(top.c_str()) == 0;
}

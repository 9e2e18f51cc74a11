// DeleteDirectoryTree: removes a directory with everything below it, used to
// drop a thread from the local store. Plain POSIX code; GUI thread.
#pragma once

#include <string>

// Removes the directory at path (trailing "/" ignored) and its contents.
// Symbolic links are removed as links: nothing they point to is touched and
// the walk never leaves the tree, even when a link is swapped in while it
// runs. A path that is itself a link loses the link. Entries that cannot be
// removed are left, and so then is their directory. True when the directory
// (or the link) itself was removed; false when path does not exist or is
// not a directory.
bool DeleteDirectoryTree(const std::string& path);

// Store file operations: listing by suffix, atomic writes, read-only handles.
#include "TempDir.h"

#include <algorithm>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

using namespace storetest;

namespace {
class FileSystemTest : public TempDirTest {};
} // namespace

TEST_F(FileSystemTest, ListingBySuffixTakesFilesAndLinksToFilesOnly) {
    const std::string dir = root + "list";
    ASSERT_TRUE(storefs::MakeDirectories(dir + "/sub.res"));
    WriteAll(dir + "/a.res", "a");
    WriteAll(dir + "/b.res.tmp1", "b");
    WriteAll(dir + "/c.thread", "c");
    ASSERT_EQ(::symlink("a.res", (dir + "/link.res").c_str()), 0);
    ASSERT_EQ(::symlink("missing", (dir + "/dangling.res").c_str()), 0);
    std::vector<std::string> names = storefs::ListFiles(dir, ".res");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.res", "link.res"}));
    EXPECT_TRUE(storefs::ListFiles(dir + "/none", ".res").empty());
}

TEST_F(FileSystemTest, ListingRemovesTemporaryFilesOfWritersThatNoLongerRun) {
    const std::string dir = root + "orphans";
    ASSERT_TRUE(storefs::MakeDirectories(dir));
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const std::string dead = std::to_string(child), alive = std::to_string(::getpid());
    const std::string names[] = {"a.res.tmp" + dead + "-3",  "a.thread.tmp" + dead + "-0",
                                 "b.res.tmp" + alive + "-1", "c.res.tmp" + dead,
                                 "d.res.tmpx" + dead + "-1", "e.res"};
    for (const std::string& name : names)
        WriteAll(dir + "/" + name, "x");
    EXPECT_EQ(storefs::ListFiles(dir, ".res"), std::vector<std::string>{"e.res"});
    for (const std::string& name : names) {
        const bool orphan = name.find(".tmp" + dead + "-") != std::string::npos;
        EXPECT_EQ(std::filesystem::exists(dir + "/" + name), !orphan) << name;
    }
}

TEST_F(FileSystemTest, AtomicWriteCreatesAndReplacesLeavingNoOtherName) {
    const std::string dir = root + "atomic";
    ASSERT_TRUE(storefs::MakeDirectories(dir));
    for (const auto durability : {storefs::EDurability::Cached, storefs::EDurability::Flushed}) {
        for (const std::string bytes : {"first", "second, longer", ""}) {
            ASSERT_TRUE(storefs::WriteFileAtomically(dir + "/a.res", bytes, durability));
            EXPECT_EQ(ReadAll(dir + "/a.res"), bytes);
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                                    std::filesystem::directory_iterator()),
                      1);
        }
    }
    EXPECT_FALSE(storefs::WriteFileAtomically(dir + "/missing/a.res", "x"));
}

// What is served is sized by this: only a regular file has a length to send.
TEST_F(FileSystemTest, ReadOnlyHandleSizesRegularFilesAndRefusesTheRest) {
    WriteAll(root + "a.thread", "twelve bytes");
    ASSERT_TRUE(storefs::MakeDirectories(root + "dir.thread"));
    storefs::CFileHandle file;
    ASSERT_TRUE(file.Open(root + "a.thread", storefs::CFileHandle::Mode::ReadOnly));
    EXPECT_EQ(file.RegularFileSize(), 12);
    char buffer[16] = {};
    EXPECT_EQ(file.ReadAt(7, buffer, sizeof buffer), 5u);
    EXPECT_EQ(std::string(buffer, 5), "bytes");
    ASSERT_TRUE(file.Open(root + "dir.thread", storefs::CFileHandle::Mode::ReadOnly));
    EXPECT_EQ(file.RegularFileSize(), -1);
    EXPECT_FALSE(file.Open(root + "missing.thread", storefs::CFileHandle::Mode::ReadOnly));
    EXPECT_EQ(file.RegularFileSize(), -1);
}

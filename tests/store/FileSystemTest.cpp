// Store file operations: which directory entries a listing by suffix takes.
#include "TempDir.h"

#include <algorithm>
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

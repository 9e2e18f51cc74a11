// DeleteDirectoryTree: complete removal of a tree, and never a step outside
// it through a symbolic link.
#include "app/DirectoryTree.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

class DirectoryTreeTest : public ::testing::Test {
protected:
    void MakeFile(const std::string& path) { TempDir::WriteFile(dir / path, "data"); }

    TempDir dir;
};

TEST_F(DirectoryTreeTest, NestedSubdirectoriesAreRemovedCompletely) {
    fs::create_directories(dir / "t/a/b/c");
    fs::create_directories(dir / "t/empty");
    MakeFile("t/top.res");
    MakeFile("t/a/one");
    MakeFile("t/a/b/c/deep");
    EXPECT_TRUE(DeleteDirectoryTree(dir / "t//")); // trailing "/" ignored
    EXPECT_FALSE(fs::exists(dir / "t"));
}

TEST_F(DirectoryTreeTest, MissingPathOrPlainFileGivesFalse) {
    EXPECT_FALSE(DeleteDirectoryTree(dir / "absent"));
    MakeFile("file");
    EXPECT_FALSE(DeleteDirectoryTree(dir / "file"));
    EXPECT_TRUE(fs::exists(dir / "file"));
}

TEST_F(DirectoryTreeTest, LinksAreRemovedButNeverFollowed) {
    fs::create_directories(dir / "outside/inner");
    MakeFile("outside/keep");
    MakeFile("outside/inner/keep too");
    fs::create_directories(dir / "t/sub");
    fs::create_directory_symlink(dir / "outside", dir / "t/dirlink");
    fs::create_directory_symlink(dir / "outside", dir / "t/sub/deeper link");
    fs::create_symlink(dir / "outside/keep", dir / "t/filelink");
    fs::create_directory_symlink("../../outside", dir / "t/sub/relative");
    fs::create_symlink(dir / "nowhere", dir / "t/dangling");

    EXPECT_TRUE(DeleteDirectoryTree(dir / "t"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "t")));
    EXPECT_EQ(TempDir::ReadFile(dir / "outside/keep"), "data");
    EXPECT_EQ(TempDir::ReadFile(dir / "outside/inner/keep too"), "data");
}

TEST_F(DirectoryTreeTest, PathThatIsALinkLosesOnlyTheLink) {
    fs::create_directories(dir / "outside");
    MakeFile("outside/keep");
    fs::create_directory_symlink(dir / "outside", dir / "t");
    EXPECT_TRUE(DeleteDirectoryTree(dir / "t"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "t")));
    EXPECT_EQ(TempDir::ReadFile(dir / "outside/keep"), "data");
}

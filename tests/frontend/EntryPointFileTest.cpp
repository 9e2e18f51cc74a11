// CEntryPointFile: reading "entrypoint.dat", and each dialog change rewriting
// it with the list.
#include "frontend/EntryPointFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

class EntryPointFileTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir / "entrypoint.dat";
    CEntryPointFile file{path};
};

TEST_F(EntryPointFileTest, LinesKeptAsTheyAreAndAddSkipsAnEntryBeginningWithTheTextAnyCase) {
    TempDir::WriteFile(path, "Host.Example:6340\r\n 10.0.0.2\n\r\na\rb");
    ASSERT_TRUE(file.Load());
    EXPECT_EQ(file.Entries(),
              (std::vector<std::string>{"Host.Example:6340", " 10.0.0.2", "", "a\rb"}));
    EXPECT_EQ(file.FirstEntry(), "Host.Example:6340");
    EXPECT_FALSE(file.Add("host.EX"));
    EXPECT_TRUE(file.Add("10.0.0.3"));
    EXPECT_EQ(TempDir::ReadFile(path),
              "10.0.0.3\r\nHost.Example:6340\r\n 10.0.0.2\r\n\r\na\rb\r\n");
    // A trail byte that looks like a letter is not folded: these are two characters.
    EXPECT_FALSE(CEntryPointFile::BeginsWithNoCase("\x83\x41", "\x83\x61"));

    CEntryPointFile missing(dir / "none.dat");
    EXPECT_FALSE(missing.Load());
    EXPECT_TRUE(missing.Add(""));
    EXPECT_FALSE(missing.Add("")); // every entry begins with the empty text
    EXPECT_EQ(TempDir::ReadFile(dir / "none.dat"), "\r\n");
}

TEST_F(EntryPointFileTest, MovesFollowTheSelectionAndEveryChangeRewritesTheFile) {
    TempDir::WriteFile(path, "a\nb\nc\n");
    ASSERT_TRUE(file.Load());
    int selected = 0;
    file.MoveUp(selected); // already first: saved unchanged
    EXPECT_EQ(TempDir::ReadFile(path), "a\r\nb\r\nc\r\n");
    for (int i = 0; i < 3; ++i)
        file.MoveDown(selected); // the last one finds it already last
    EXPECT_EQ(selected, 2);
    file.Remove(0);
    EXPECT_EQ(TempDir::ReadFile(path), "c\r\na\r\n");

    TempDir::WriteFile(path, "untouched");
    int none = CEntryPointFile::kNoSelection;
    file.MoveUp(none);
    file.Remove(2);
    EXPECT_EQ(TempDir::ReadFile(path), "untouched");
}

} // namespace

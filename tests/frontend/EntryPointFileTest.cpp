// CEntryPointFile: reading "entrypoint.dat", and each dialog change rewriting
// it with the list.
#include "frontend/EntryPointFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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

TEST_F(EntryPointFileTest, FileOverOneMebibyteIsReadWholeAndSavedWhole) {
    std::string bytes;
    for (int i = 0; bytes.size() < 2 * 1024 * 1024; ++i)
        bytes +=
            "10.0." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256) + ":6340\r\n";
    TempDir::WriteFile(path, bytes);
    ASSERT_TRUE(file.Load());
    ASSERT_EQ(file.Entries().size(),
              static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')));
    EXPECT_EQ(file.Entries().back() + "\r\n",
              bytes.substr(bytes.rfind('\n', bytes.size() - 2) + 1));
    EXPECT_TRUE(file.Add("10.9.9.9"));
    EXPECT_EQ(TempDir::ReadFile(path), "10.9.9.9\r\n" + bytes);
}

TEST_F(EntryPointFileTest, FileThatCannotBeReadWholeIsNeverRewritten) {
    // Beyond the bound: whole lines only (the bound falls inside the 68th).
    const std::string line(1000000, 'a');
    std::string huge;
    while (huge.size() <= CEntryPointFile::kMaxFileSize)
        huge += line + "\n";
    TempDir::WriteFile(path, huge);
    ASSERT_TRUE(file.Load());
    EXPECT_EQ(file.Entries(), std::vector<std::string>(67, line));
    std::filesystem::create_directory(dir / "directory.dat");
    CEntryPointFile directory(dir / "directory.dat");
    EXPECT_FALSE(directory.Load());
    for (CEntryPointFile* unsaved : {&file, &directory}) {
        EXPECT_TRUE(unsaved->Add("10.0.0.9")); // the open dialog still lists it
        EXPECT_FALSE(unsaved->Save());
    }
    EXPECT_EQ(std::filesystem::file_size(path), huge.size());
}

} // namespace

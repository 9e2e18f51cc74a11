// CCategoryFile: nesting by leading tabs and its errors.
#include "frontend/CategoryFile.h"

#include "support/TempDir.h"

#include <filesystem>

#include <gtest/gtest.h>

TEST(CategoryFileTest, TabsNestAndFewerTabsGoBackUp) {
    CCategoryFile file;
    ASSERT_EQ(file.Parse("K1\r\n\tK2\r\n\t\tK3\r\nK4\r\n"), CCategoryFile::Result::Ok);
    const auto& items = file.Items();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].name, "K1");
    EXPECT_EQ(items[1].parent, 0);
    EXPECT_EQ(items[2].parent, 1);
    EXPECT_EQ(items[3].parent, -1);
    EXPECT_EQ(items[3].name, "K4");
}

TEST(CategoryFileTest, JumpOfTwoLevelsIsAnError) {
    CCategoryFile file;
    EXPECT_EQ(file.Parse("K1\n\t\tK2\n"), CCategoryFile::Result::BadNesting);
    EXPECT_EQ(file.Parse("\tK1\n"), CCategoryFile::Result::BadNesting);
}

TEST(CategoryFileTest, LeadingBlanksGoButFullWidthBlankStays) {
    CCategoryFile file;
    ASSERT_EQ(file.Parse("  X\n\x81\x40Y\n\n"), CCategoryFile::Result::Ok);
    ASSERT_EQ(file.Items().size(), 3u);
    EXPECT_EQ(file.Items()[0].name, "X");
    EXPECT_EQ(file.Items()[1].name, "\x81\x40Y");
    EXPECT_EQ(file.Items()[2].name, ""); // an empty line is an empty top-level name
}

TEST(CategoryFileTest, MissingFileCannotOpen) {
    CCategoryFile file;
    EXPECT_EQ(file.Load("/nonexistent/category.dat"), CCategoryFile::Result::CannotOpen);
}

TEST(CategoryFileTest, FilesThatCannotBeReadWholeFailWithoutThrowing) {
    TempDir dir;
    std::filesystem::create_directory(dir / "directory.dat");
    TempDir::WriteFile(dir / "huge.dat", std::string(CCategoryFile::kMaxFileSize + 1, 'x'));
    TempDir::WriteFile(dir / "cut.dat", "K1\n\tK2"); // no line break after the last line
    const struct {
        const char* name;
        CCategoryFile::Result result;
        std::size_t items;
    } cases[] = {
        {"missing.dat", CCategoryFile::Result::CannotOpen, 0},
        {"directory.dat", CCategoryFile::Result::Unreadable, 0},
        {"huge.dat", CCategoryFile::Result::Unreadable, 0},
        {"cut.dat", CCategoryFile::Result::Ok, 2},
    };
    for (const auto& c : cases) {
        CCategoryFile file;
        EXPECT_EQ(file.Load(dir / c.name), c.result) << c.name;
        EXPECT_EQ(file.Items().size(), c.items) << c.name;
    }
}

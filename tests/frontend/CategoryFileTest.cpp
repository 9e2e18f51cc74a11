// CCategoryFile: nesting by leading tabs and its errors.
#include "frontend/CategoryFile.h"

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

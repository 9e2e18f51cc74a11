// CCategoryTreeView: the tree read from "category.dat" and the current
// category it hands to the document.
#include "ui/CategoryTreeView.h"

#include "res/Strings.h"
#include "support/InProcessNode.h"

#include <gtest/gtest.h>

namespace {
class CategoryTreeViewTest : public ::testing::Test {
protected:
    CategoryTreeViewTest() : node("127.0.0.1", 0), view(*node.doc) {}

    void WriteCategories(const std::string& bytes) {
        TempDir::WriteFile(node.doc->DataPath("category.dat"), bytes);
    }
    static std::string Name(const QTreeWidgetItem* item) {
        return item ? CCategoryTreeView::ItemCategory(*item) : "(none)";
    }

    InProcessNode node;
    CCategoryTreeView view;
};
} // namespace

TEST_F(CategoryTreeViewTest, NestsByTabsAndSelectsTheFirstCategory) {
    WriteCategories("K1\r\n\tK2\r\n\t\tK3\r\nK4\r\n");
    ASSERT_TRUE(view.Load());

    ASSERT_EQ(view.topLevelItemCount(), 2);
    const QTreeWidgetItem* k1 = view.topLevelItem(0);
    EXPECT_EQ(Name(k1), "K1");
    ASSERT_EQ(k1->childCount(), 1);
    EXPECT_EQ(Name(k1->child(0)), "K2");
    ASSERT_EQ(k1->child(0)->childCount(), 1);
    EXPECT_EQ(Name(k1->child(0)->child(0)), "K3");
    EXPECT_EQ(Name(view.topLevelItem(1)), "K4");
    EXPECT_FALSE(k1->isExpanded());
    EXPECT_EQ(Name(view.currentItem()), "K1");
    EXPECT_EQ(node.doc->GetCurrentCategory(), "K1");
    EXPECT_EQ(node.ui.refreshes, 0);
}

TEST_F(CategoryTreeViewTest, SelectingACategoryMakesItCurrentWithItsRawBytes) {
    // The full-width blank stays part of the name; ASCII blanks do not.
    const std::string wide = "\x81\x40\x8e\x47\x92\x6b";
    WriteCategories("  K1\n" + wide + "\n");
    ASSERT_TRUE(view.Load());
    EXPECT_EQ(node.doc->GetCurrentCategory(), "K1");

    view.setCurrentItem(view.topLevelItem(1));
    EXPECT_EQ(node.doc->GetCurrentCategory(), wide);
    EXPECT_EQ(node.ui.refreshes, 1);
}

TEST_F(CategoryTreeViewTest, EmptyFirstCategoryDoesNotBlockLaterSelections) {
    WriteCategories("\nK2\n");
    ASSERT_TRUE(view.Load());
    EXPECT_EQ(node.doc->GetCurrentCategory(), "");

    view.setCurrentItem(view.topLevelItem(1));
    EXPECT_EQ(node.doc->GetCurrentCategory(), "K2");
    EXPECT_EQ(node.ui.refreshes, 1);
}

TEST_F(CategoryTreeViewTest, BadOrMissingFileIsReportedAndRefused) {
    EXPECT_FALSE(view.Load());
    EXPECT_EQ(node.ui.messages, std::vector<std::string>{strings::kCategoryOpenFailed});

    WriteCategories("K1\n\t\tK2\n");
    EXPECT_FALSE(view.Load());
    ASSERT_EQ(node.ui.messages.size(), 2u);
    EXPECT_EQ(node.ui.messages[1], strings::kCategoryFileError);
    EXPECT_EQ(view.topLevelItemCount(), 0);
    EXPECT_EQ(node.doc->GetCurrentCategory(), "");
}

// CThreadHtmlView with a thread large enough to be built off the GUI thread:
// the page still appears whole, the file still holds it, and a render asked
// for meanwhile follows it.
#include "ui/ThreadHtmlView.h"

#include "app/IdGenerator.h"
#include "store/ResRecord.h"
#include "store/ThreadRecord.h"
#include "support/InProcessNode.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

namespace {

std::string StoreThread(const std::string& root, const std::string& title, int responses) {
    const CBinaryId id = CBinaryId::FromText(CIdGenerator().GetText());
    CThreadRecord thread(id, title, "cat", "name", "", "opening", id, CBinaryId(), 1000, 1000);
    thread.SetHeld(1);
    EXPECT_TRUE(thread.Create(root, nullptr));
    for (int i = 0; i < responses; ++i) {
        CResRecord response(id, CBinaryId::FromText(CIdGenerator().GetText()), CBinaryId(), "",
                            "name", "", "r" + std::to_string(i), id, CBinaryId(),
                            1001 + static_cast<std::uint32_t>(i));
        EXPECT_TRUE(response.Create(root, nullptr));
    }
    return id.GetText();
}

} // namespace

TEST(ThreadHtmlViewTest, LargeThreadIsShownWholeOnceBuiltAndALaterRenderFollows) {
    InProcessNode node("127.0.0.1", 0);
    CThreadHtmlView view(*node.doc);
    const std::string large = StoreThread(node.ThreadDir(), "large",
                                          static_cast<int>(CThreadHtmlView::kBackgroundResponses));
    const std::string small = StoreThread(node.ThreadDir(), "small", 1);

    node.doc->SetCurrentThreadId(large);
    view.RenderThread();
    EXPECT_TRUE(view.IsBuilding());
    ASSERT_TRUE(WaitUntil([&] { return !view.IsBuilding(); }, 60000));
    EXPECT_TRUE(view.toPlainText().contains("r0"));
    EXPECT_TRUE(view.toPlainText().contains("r1999"));

    // A render asked for while a page is under way follows it: the file and
    // the page end with the thread asked for last.
    view.RenderThread();
    node.doc->SetCurrentThreadId(small);
    view.RenderThread();
    ASSERT_TRUE(WaitUntil([&] { return !view.IsBuilding(); }, 60000));
    EXPECT_TRUE(view.toPlainText().contains("small"));
    EXPECT_FALSE(view.toPlainText().contains("r1999"));
    const std::string page = TempDir::ReadFile(node.dir / "current.html");
    EXPECT_NE(page.find("<title>small</title>"), std::string::npos);
}

TEST(ThreadHtmlViewTest, TwoTabsShowTheirOwnThreadAndTheFileKeepsTheOneAskedForLast) {
    InProcessNode node("127.0.0.1", 0);
    CThreadHtmlView first(*node.doc);
    CThreadHtmlView second(*node.doc);
    const std::string large = StoreThread(node.ThreadDir(), "large",
                                          static_cast<int>(CThreadHtmlView::kBackgroundResponses));
    const std::string small = StoreThread(node.ThreadDir(), "small", 1);

    // The first tab's page is built on a thread of its own; the second tab's
    // small page is written while it is built.
    node.doc->SetCurrentThreadId(large);
    first.RenderThread();
    ASSERT_TRUE(first.IsBuilding());
    node.doc->SetCurrentThreadId(small);
    second.RenderThread();
    ASSERT_TRUE(WaitUntil([&] { return !first.IsBuilding(); }, 60000));

    EXPECT_TRUE(first.toPlainText().contains("r1999"));
    EXPECT_FALSE(second.toPlainText().contains("r1999"));
    EXPECT_TRUE(second.toPlainText().contains("small"));
    const std::string page = TempDir::ReadFile(node.dir / "current.html");
    EXPECT_NE(page.find("<title>small</title>"), std::string::npos);
    EXPECT_EQ(page.substr(page.size() - 7), "</html>");
}

// CThreadListView: rows from the store, the place of announced threads, and
// the current thread the selection hands to the document.
#include "ui/ThreadListView.h"

#include "res/Strings.h"
#include "store/ThreadRecord.h"
#include "support/InProcessNode.h"
#include "ui/ListIcons.h"
#include "frontend/PageBuilder.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QTimer>

#include <gtest/gtest.h>

namespace {
const std::string kCategory = "\x8e\x47\x92\x6b"; // 雑談
const std::string kTitle = "\x83\x58\x83\x8c";    // スレ
constexpr std::uint32_t kDay = 24 * 60 * 60;
constexpr std::uint32_t kBase = 1015000000; // early March 2002

std::string Id(char digit) {
    return std::string(32, digit);
}

class ThreadListViewTest : public ::testing::Test {
protected:
    ThreadListViewTest() : node("127.0.0.1", 0), view(*node.doc) {
        node.doc->SetCurrentCategory(kCategory);
    }

    void StoreThread(const std::string& idText, std::uint32_t updated, std::uint32_t created,
                     const std::string& category = kCategory) {
        const CBinaryId id = CBinaryId::FromText(idText);
        CThreadRecord thread(id, kTitle + idText.substr(0, 1), category, "name", "", "body", id,
                             CBinaryId(), updated, created);
        thread.SetHeld(1);
        thread.SetResCount(5);
        ASSERT_TRUE(thread.Create(node.ThreadDir(), nullptr));
    }

    static CThreadSummary Summary(const std::string& id, std::uint32_t time, bool isNew) {
        CThreadSummary summary;
        summary.category = kCategory;
        summary.threadId = id;
        summary.title = kTitle;
        summary.resCount = 9;
        summary.name = "poster";
        summary.time = time;
        summary.isNew = isNew;
        return summary;
    }

    std::vector<std::string> Ids() const {
        std::vector<std::string> ids;
        for (int i = 0; i < view.topLevelItemCount(); ++i)
            ids.push_back(CThreadListView::RowId(*view.topLevelItem(i)));
        return ids;
    }
    int IconAt(int row) const {
        return view.topLevelItem(row)
            ->data(CThreadListView::kIcon, CThreadListView::kIconRole)
            .toInt();
    }

    InProcessNode node;
    CThreadListView view;
};
} // namespace

TEST_F(ThreadListViewTest, RefillListsTheCategoryNewestFirstWithEveryColumn) {
    StoreThread(Id('1'), kBase + 7 * kDay, kBase);
    StoreThread(Id('2'), kBase + 9 * kDay, 0);
    StoreThread(Id('3'), kBase + 8 * kDay, kBase);
    StoreThread(Id('4'), kBase + 10 * kDay, kBase, "other");

    view.Refill();

    ASSERT_EQ(Ids(), (std::vector<std::string>{Id('2'), Id('3'), Id('1')}));
    const QTreeWidgetItem& top = *view.topLevelItem(0);
    EXPECT_EQ(CThreadListView::RowTitle(top), kTitle + "2");
    EXPECT_EQ(top.text(CThreadListView::kTitle), QString::fromUtf8("スレ2"));
    EXPECT_EQ(top.text(CThreadListView::kHeld), "1");
    EXPECT_EQ(top.text(CThreadListView::kResCount), "5");
    EXPECT_EQ(top.text(CThreadListView::kName), "name");
    EXPECT_EQ(top.text(CThreadListView::kUpdated).toStdString(),
              CPageBuilder::FormatTime(kBase + 9 * kDay));
    EXPECT_TRUE(top.text(CThreadListView::kCreated).isEmpty());
    EXPECT_EQ(view.topLevelItem(1)->text(CThreadListView::kCreated).toStdString(),
              CPageBuilder::FormatTime(kBase));
    EXPECT_EQ(IconAt(0), listicons::kSheet);
    EXPECT_EQ(view.headerItem()->text(CThreadListView::kTitle), QString::fromUtf8("タイトル"));
    EXPECT_EQ(view.columnWidth(CThreadListView::kTitle), 224);
    // Whatever the font, a time is never cut off.
    const int timeText = view.fontMetrics().horizontalAdvance(top.text(CThreadListView::kUpdated));
    EXPECT_GE(view.columnWidth(CThreadListView::kUpdated), std::max(104, timeText));
    EXPECT_GE(view.columnWidth(CThreadListView::kCreated), std::max(104, timeText));
}

TEST_F(ThreadListViewTest, AnnouncedThreadTakesItsPlaceByTimeAndKeepsOneRow) {
    StoreThread(Id('1'), kBase + 9 * kDay, kBase);
    StoreThread(Id('2'), kBase + 8 * kDay, kBase);
    StoreThread(Id('3'), kBase + 7 * kDay, kBase);
    view.Refill();

    // A thread not held here lands between the rows its time falls between.
    view.UpdateThreadRow(Summary(Id('a'), kBase + 8 * kDay + 7200, true));
    ASSERT_EQ(Ids(), (std::vector<std::string>{Id('1'), Id('a'), Id('2'), Id('3')}));
    EXPECT_EQ(IconAt(1), listicons::kLightning);
    EXPECT_EQ(view.topLevelItem(1)->text(CThreadListView::kHeld), "0");
    EXPECT_TRUE(view.topLevelItem(1)->text(CThreadListView::kCreated).isEmpty());

    // A held thread updated later than the top row moves to the top.
    view.UpdateThreadRow(Summary(Id('2'), kBase + 10 * kDay, true));
    ASSERT_EQ(Ids(), (std::vector<std::string>{Id('2'), Id('1'), Id('a'), Id('3')}));
    EXPECT_EQ(IconAt(0), listicons::kLightning);
    EXPECT_EQ(view.topLevelItem(0)->text(CThreadListView::kHeld), "1");

    // Older than every row: at the end.
    view.UpdateThreadRow(Summary(Id('b'), kBase, true));
    EXPECT_EQ(Ids().back(), Id('b'));
    EXPECT_EQ(view.topLevelItemCount(), 5);
}

TEST_F(ThreadListViewTest, FetchedThreadKeepsItsPlaceAndUnknownOneIsAppended) {
    StoreThread(Id('1'), kBase + 9 * kDay, kBase);
    StoreThread(Id('2'), kBase + 8 * kDay, kBase);
    view.Refill();
    view.UpdateThreadRow(Summary(Id('2'), kBase + 10 * kDay, true));
    ASSERT_EQ(IconAt(0), listicons::kLightning);

    view.UpdateThreadRow(Summary(Id('2'), kBase + 11 * kDay, false));
    ASSERT_EQ(Ids(), (std::vector<std::string>{Id('2'), Id('1')}));
    EXPECT_EQ(IconAt(0), listicons::kSheet);
    EXPECT_EQ(view.topLevelItem(0)->text(CThreadListView::kResCount), "9");
    EXPECT_EQ(view.topLevelItem(0)->text(CThreadListView::kUpdated).toStdString(),
              CPageBuilder::FormatTime(kBase + 11 * kDay));

    view.UpdateThreadRow(Summary(Id('c'), kBase + 12 * kDay, false));
    ASSERT_EQ(Ids(), (std::vector<std::string>{Id('2'), Id('1'), Id('c')}));
    EXPECT_EQ(IconAt(2), listicons::kLightning);
}

TEST_F(ThreadListViewTest, SelectionMakesTheFirstSelectedRowTheCurrentThread) {
    StoreThread(Id('1'), kBase + 9 * kDay, kBase);
    StoreThread(Id('2'), kBase + 8 * kDay, kBase);
    StoreThread(Id('3'), kBase + 7 * kDay, kBase);
    view.Refill();

    view.topLevelItem(2)->setSelected(true);
    view.topLevelItem(1)->setSelected(true);
    EXPECT_EQ(node.doc->GetCurrentThreadId(), Id('2'));
    EXPECT_EQ(node.doc->GetCurrentThreadTitle(), kTitle + "2");

    // After a refill nothing is selected, but the document keeps its thread.
    view.Refill();
    EXPECT_TRUE(view.selectedItems().isEmpty());
    EXPECT_EQ(node.doc->GetCurrentThreadId(), Id('2'));
}

TEST_F(ThreadListViewTest, ClicksShowFetchAndRightClickPicksTheRow) {
    StoreThread(Id('1'), kBase + 9 * kDay, kBase);
    StoreThread(Id('2'), kBase + 8 * kDay, kBase);
    view.Refill();
    view.resize(800, 300);
    view.show();

    view.topLevelItem(1)->setSelected(true);
    emit view.itemClicked(view.topLevelItem(1), 1);
    EXPECT_EQ(node.ui.shownTitles, std::vector<std::string>{kTitle + "2"});

    // With no connection the fetch is refused with a message.
    emit view.itemDoubleClicked(view.topLevelItem(0), 1);
    EXPECT_EQ(node.doc->GetCurrentThreadId(), Id('1'));
    EXPECT_EQ(node.ui.messages, std::vector<std::string>{strings::kNotConnected});

    // The menu opens on a row and away from any; only a row changes the thread.
    int menus = 0;
    const auto requestMenu = [&](QWidget* target, QContextMenuEvent::Reason reason,
                                 const QPoint& at) {
        QTimer::singleShot(50, [&] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                ++menus;
                popup->close();
            }
        });
        QContextMenuEvent event(reason, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &event);
    };
    requestMenu(view.viewport(), QContextMenuEvent::Mouse,
                view.visualItemRect(view.topLevelItem(1)).center());
    EXPECT_EQ(node.doc->GetCurrentThreadId(), Id('2'));
    requestMenu(view.viewport(), QContextMenuEvent::Mouse, QPoint(10, 280));
    EXPECT_EQ(node.doc->GetCurrentThreadId(), Id('2'));
    // The column headers lie above the rows; a right click there hits none.
    QWidget* headers = view.header()->viewport();
    requestMenu(headers, QContextMenuEvent::Mouse, QPoint(30, headers->height() / 2));
    EXPECT_EQ(node.doc->GetCurrentThreadId(), Id('2'));
    // The menu key asks in the list's own coordinates, which include the header.
    requestMenu(&view, QContextMenuEvent::Keyboard,
                view.viewport()->mapTo(&view, view.visualItemRect(view.topLevelItem(0)).center()));
    EXPECT_EQ(node.doc->GetCurrentThreadId(), Id('1'));
    EXPECT_EQ(menus, 4);
}

TEST_F(ThreadListViewTest, FirstShowFillsTheListOnceFromTheCurrentCategory) {
    StoreThread(Id('1'), kBase + 9 * kDay, kBase);
    view.show();
    ASSERT_EQ(Ids(), std::vector<std::string>{Id('1')});

    // Showing the pane again keeps the rows the network has added since.
    view.UpdateThreadRow(Summary(Id('a'), kBase + 10 * kDay, true));
    view.hide();
    view.show();
    EXPECT_EQ(Ids(), (std::vector<std::string>{Id('a'), Id('1')}));
}

// The reader's tools on the desktop as a new user meets them, with a second
// node over real sockets: a word rule turns a peer's response into あぼーん, a
// response posted on the peer shows as 新着 1, a favourite appears under
// お気に入り, and a search opens the thread at the response it found. With
// PELMAR_SCREENSHOT_DIR set, each step leaves a picture of the window there.
#include "app/PelmarDoc.h"
#include "base/BinaryId.h"
#include "base/Cp932Text.h"
#include "frontend/PageBuilder.h"
#include "reader/Reader.h"
#include "store/ResRecord.h"
#include "store/ThreadIndex.h"
#include "store/ThreadRecord.h"
#include "support/InProcessNode.h"
#include "support/Wait.h"
#include "ui/CategoryTreeView.h"
#include "ui/MainFrame.h"
#include "ui/NgRuleDialog.h"
#include "ui/ReaderControls.h"
#include "ui/SearchResults.h"
#include "ui/TabView.h"
#include "ui/ThreadHtmlView.h"
#include "ui/ThreadListView.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr int kPeerPort = 16560;
constexpr int kDesktopPort = 16561;
const std::string kThreadId = "3" + std::string(31, 'd');

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

std::string Sjis(const char* utf8) {
    return cp932text::FromUtf8(utf8);
}

// Picks an item of the popup menu the next event opens.
void ChooseInMenuWhenOpen(const QString& text) {
    QTimer::singleShot(50, [text] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions())
            if (action->text() == text) {
                menu->close();
                action->trigger();
                return;
            }
        menu->close();
        ADD_FAILURE() << "no menu item " << text.toStdString();
    });
}

// ctest runs the tests side by side: each takes its own pair of addresses,
// 127.0.0.160 + 2k for the peer and the next for the desktop.
int Slot() {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const char* names[] = {"WordRule",  "ResponsePosted", "Favourite",
                           "Search",    "FilterBox",      "LargePage"};
    for (int k = 0; k < 6; ++k)
        if (name.rfind(names[k], 0) == 0)
            return k;
    return 6;
}

std::string Address(int offset) {
    return "127.0.0." + std::to_string(160 + 2 * Slot() + offset);
}

} // namespace

class ReaderToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The peer holds a thread with a response from one of its readers.
        TempDir::WriteFile(peer.dir / "category.dat", "news\n");
        ASSERT_TRUE(peer.Start());
        peer.doc->SetCurrentCategory("news");
        CThreadRecord thread(CBinaryId::FromText(kThreadId), Sjis("雑談スレ"), "news",
                             Sjis("名無し"), "", Sjis("よろしく"), {}, {}, 1100000000, 1100000000);
        thread.SetResCount(2);
        thread.SetHeld(1);
        ASSERT_TRUE(thread.Create(peer.ThreadDir(), nullptr));
        std::string longBody;
        for (int line = 0; line < 60; ++line)
            longBody += Sjis("長い本文の行です\r\n");
        ASSERT_TRUE(CResRecord(CBinaryId::FromText(kThreadId),
                               CBinaryId::FromText(std::string(32, 'a')), {}, "", Sjis("荒らし"),
                               "", longBody + Sjis("うざい書き込み"), {}, {}, 1100000100)
                        .Create(peer.ThreadDir(), nullptr));
        ASSERT_TRUE(CResRecord(CBinaryId::FromText(kThreadId),
                               CBinaryId::FromText(std::string(32, 'b')), {}, "", Sjis("常連"), "",
                               Sjis("キーボードを新調した話"), {}, {}, 1100000200)
                        .Create(peer.ThreadDir(), nullptr));

        TempDir::WriteFile(dir / "pelmar.ini",
                           "[Network]\nPort=" + std::to_string(kDesktopPort) + "\n");
        TempDir::WriteFile(dir / "category.dat", "news\nother\n");
        CPelmarDoc::Options options;
        options.iniPath = dir / "pelmar.ini";
        options.applicationDir = dir.Path();
        options.dataDir = dir.Path();
        options.bindAddress = Address(1);
        frame = std::make_unique<CMainFrame>();
        doc = std::make_unique<CPelmarDoc>(*frame, options);
        ASSERT_TRUE(doc->Start());
        reader =
            std::make_unique<CReader>(doc->DataPath(""), doc->GetThreadDir(),
                                      [this](std::string_view m) { messages.emplace_back(m); });
        doc->SetThreadChangedHook([this](const std::string& id) { reader->ThreadChanged(id); });
        frame->SetReader(reader.get());
        frame->AttachDocument(doc.get());
        ASSERT_TRUE(frame->InitialUpdateFrame());
        // Wide enough for every column of the list, 新着 the last.
        frame->resize(1060, 700);
    }
    void TearDown() override {
        if (doc)
            WaitUntil([&] { return !doc->IsFetchInProgress(); }, 15000);
        if (frame)
            frame->AttachDocument(nullptr);
        reader.reset();
        doc.reset();
        frame.reset();
    }

    CThreadListView* List() const { return frame->ThreadList(); }
    QTreeWidgetItem* Row(const std::string& threadId) const {
        for (int i = 0; i < List()->topLevelItemCount(); ++i)
            if (CThreadListView::RowId(*List()->topLevelItem(i)) == threadId)
                return List()->topLevelItem(i);
        return nullptr;
    }
    CThreadHtmlView* Page() const { return frame->Tabs()->Page(frame->Tabs()->CurrentIndex()); }
    QString PageText() const { return Page()->toPlainText(); }
    void Click(QTreeWidgetItem* row) {
        List()->setCurrentItem(row);
        emit List()->itemClicked(row, 1);
    }
    void Screenshot(const char* name) {
        if (const char* to = std::getenv("PELMAR_SCREENSHOT_DIR"))
            frame->grab().save(QString::fromUtf8(to) + QLatin1Char('/') + QLatin1String(name));
    }
    // Connects, finds the peer's thread by a list refresh, fetches and reads it.
    void FetchAndRead() {
        doc->ConnectToEntry(Address(0) + ":" + std::to_string(kPeerPort));
        ASSERT_TRUE(WaitUntil([&] { return doc->CountEstablished() == 1; }));
        ASSERT_TRUE(frame->OnCommand(command::kRefreshList));
        ASSERT_TRUE(WaitUntil([&] { return Row(kThreadId) != nullptr; }));
        List()->setCurrentItem(Row(kThreadId));
        ASSERT_TRUE(frame->OnCommand(command::kGetThread));
        ASSERT_TRUE(WaitUntil([&] { return PageText().contains(U("キーボード")); }, 15000));
        ASSERT_TRUE(WaitUntil([&] { return !doc->IsFetchInProgress(); }, 15000));
        Click(Row(kThreadId));
    }

    InProcessNode peer{Address(0), kPeerPort};
    TempDir dir;
    std::vector<std::string> messages;
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<CPelmarDoc> doc;
    std::unique_ptr<CReader> reader;
};

TEST_F(ReaderToolsTest, WordRuleTurnsAPeersResponseIntoAbone) {
    FetchAndRead();
    ASSERT_TRUE(PageText().contains(U("うざい書き込み")));

    // The rule is written in the dialog's form, as a new user would.
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<CNgRuleDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->PatternEdit()->setText(U("うざい"));
        dialog->AddFormRule();
        dialog->accept();
    });
    frame->ReaderControls()->EditRules();
    EXPECT_EQ(TempDir::ReadFile(dir / "ngrules.txt"), "body word all abone うざい\n");
    EXPECT_FALSE(PageText().contains(U("うざい書き込み")));
    EXPECT_TRUE(PageText().contains(U("あぼーん")));
    EXPECT_TRUE(PageText().contains(U("キーボード")));
    Screenshot("reader-abone.png");

    // "show filtered" brings it back; the stored response never changed.
    frame->findChild<QAction*>(QStringLiteral("showFiltered"))->trigger();
    EXPECT_TRUE(PageText().contains(U("うざい書き込み")));
}

TEST_F(ReaderToolsTest, ResponsePostedOnThePeerShowsAsOneNewAndTheTreeMarksIt) {
    FetchAndRead();
    EXPECT_EQ(Row(kThreadId)->text(CThreadListView::kNew), QString());

    // A reader on the peer answers; the update reaches the desktop, which
    // fetches the thread.
    CResponseDraft draft;
    draft.name = Sjis("相手");
    draft.body = Sjis("新しいレス");
    ASSERT_FALSE(peer.doc->PostResponse(kThreadId, draft).empty());
    ASSERT_TRUE(WaitUntil([&] {
        return Row(kThreadId) && Row(kThreadId)->data(0, CThreadListView::kIconRole).toInt() == 2;
    }));
    List()->setCurrentItem(Row(kThreadId));
    ASSERT_TRUE(frame->OnCommand(command::kGetThread));
    ASSERT_TRUE(WaitUntil(
        [&] {
            return Row(kThreadId) &&
                   Row(kThreadId)->text(CThreadListView::kNew) == QStringLiteral("1");
        },
        15000));
    ASSERT_TRUE(WaitUntil([&] {
        return frame->CategoryTree()->topLevelItem(1)->text(0) == QStringLiteral("news (1)");
    }));
    Screenshot("reader-new.png");

    // Reading it clears the mark.
    Click(Row(kThreadId));
    EXPECT_EQ(Row(kThreadId)->text(CThreadListView::kNew), QString());
    EXPECT_EQ(frame->CategoryTree()->topLevelItem(1)->text(0), QStringLiteral("news"));
}

TEST_F(ReaderToolsTest, FavouriteAddedFromTheListShowsUnderFavourites) {
    FetchAndRead();
    CCategoryTreeView* tree = frame->CategoryTree();
    ASSERT_EQ(tree->topLevelItem(0), tree->FavouritesItem());
    EXPECT_EQ(tree->FavouritesItem()->text(0), U("お気に入り"));
    EXPECT_EQ(tree->currentItem()->text(0), QStringLiteral("news")); // still starts there

    ChooseInMenuWhenOpen(U("お気に入りに追加"));
    const QPoint at = List()->visualItemRect(Row(kThreadId)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, List()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(List()->viewport(), &event);
    EXPECT_TRUE(reader->Favourites().Contains(kThreadId));

    // Another category, then the favourites: the thread is there.
    tree->setCurrentItem(tree->topLevelItem(2));
    EXPECT_EQ(Row(kThreadId), nullptr);
    tree->setCurrentItem(tree->FavouritesItem());
    ASSERT_NE(Row(kThreadId), nullptr);
    EXPECT_EQ(Row(kThreadId)->text(CThreadListView::kTitle), U("雑談スレ"));
    Screenshot("reader-favourites.png");

    // スレッドリスト更新 there asks the overlay for each favourite.
    const auto queries = [&] {
        const std::string log = peer.Log(), asked = "TID=" + kThreadId;
        int count = 0;
        for (auto at = log.find(asked); at != std::string::npos; at = log.find(asked, at + 1))
            ++count;
        return count;
    };
    const int before = queries();
    EXPECT_TRUE(frame->OnCommand(command::kRefreshList));
    EXPECT_TRUE(WaitUntil([&] { return queries() > before; }));
}

TEST_F(ReaderToolsTest, SearchFindsAWordOfAResponseAndOpensTheThreadAtIt) {
    FetchAndRead();
    ASSERT_TRUE(WaitUntil([&] { return !reader->Index().Search("キーボード").empty(); }));
    QLineEdit* box = frame->ReaderControls()->SearchBox();
    box->setText(U("きーぼーど"));
    emit box->returnPressed();
    CSearchResults* results = frame->ReaderControls()->Results();
    ASSERT_EQ(results->List()->topLevelItemCount(), 1);
    EXPECT_EQ(results->List()->topLevelItem(0)->text(2), U(" 常連 【キーボード】を新調した話"));
    Screenshot("reader-search.png");

    // Away to another thread first; the hit brings the reader back, at it.
    doc->SetCurrentThreadId("");
    Page()->clear();
    results->Open(0);
    EXPECT_EQ(doc->GetCurrentThreadId(), kThreadId);
    EXPECT_TRUE(Page()->textCursor().block().text().contains(QString(32, QLatin1Char('b'))));
    EXPECT_GT(Page()->verticalScrollBar()->value(), 0);
}

TEST_F(ReaderToolsTest, FilterBoxNarrowsTheRowsByTitle) {
    FetchAndRead();
    QLineEdit* filter = frame->ReaderControls()->FilterBox();
    filter->setText(U("ない題"));
    EXPECT_TRUE(Row(kThreadId)->isHidden());
    filter->setText(U("雑談"));
    EXPECT_FALSE(Row(kThreadId)->isHidden());
}

TEST_F(ReaderToolsTest, LargePageOpensWhereItsNewResponsesStart) {
    // A thread large enough to be built off the GUI thread, read up to its
    // 1,200th post before the rest came.
    const std::string threadId = "4" + std::string(31, 'e');
    CThreadRecord thread(CBinaryId::FromText(threadId), Sjis("大きいスレ"), "news", "n", "",
                         "first", {}, {}, 1100000000, 1100000000);
    thread.SetHeld(1);
    ASSERT_TRUE(thread.Create(doc->GetThreadDir(), nullptr));
    const int responses = static_cast<int>(CThreadHtmlView::kBackgroundResponses) + 100;
    for (int i = 0; i < responses; ++i) {
        char id[40];
        std::snprintf(id, sizeof id, "%032x", 0x1000 + i);
        ASSERT_TRUE(CResRecord(CBinaryId::FromText(threadId), CBinaryId::FromText(id), {}, "",
                               "n", "", "r" + std::to_string(i), {}, {},
                               1100000001 + static_cast<std::uint32_t>(i))
                        .Create(doc->GetThreadDir(), nullptr));
    }
    const auto posts = CPageBuilder(doc->GetThreadDir(), nullptr).LoadPosts(threadId);
    ASSERT_EQ(posts.size(), static_cast<std::size_t>(responses + 1));

    doc->SetCurrentThreadId(threadId);
    doc->ShowCurrentThread(thread.GetTitle());
    ASSERT_TRUE(Page()->IsBuilding());
    frame->ReaderControls()->ThreadShown(threadId, 1200);
    ASSERT_TRUE(WaitUntil([&] { return !Page()->IsBuilding(); }, 60000));
    EXPECT_TRUE(
        Page()->textCursor().block().text().contains(QString::fromStdString(posts[1200].id)));
    EXPECT_GT(Page()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(reader->Marks().Seen(threadId), responses + 1);
}

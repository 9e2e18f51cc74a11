// The desktop and the headless node side by side over real sockets: a thread
// posted through the desktop's dialog reaches a pelmard cache servent, which
// fetches it byte for byte, and a thread pelmard holds is found by the
// desktop's list refresh, fetched and shown on its page.
#include "base/BinaryId.h"
#include "app/PelmarDoc.h"
#include "store/StorePaths.h"
#include "store/ThreadIndex.h"
#include "store/ThreadRecord.h"
#include "support/NodeProcess.h"
#include "ui/MainFrame.h"
#include "ui/ProgressStatusBar.h"
#include "ui/TabView.h"
#include "ui/ThreadHtmlView.h"
#include "ui/ThreadListView.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr const char* kDesktopAddress = "127.0.0.151";
constexpr int kPelmardPort = 16550;
constexpr int kDesktopPort = 16551;

// Fills the thread dialog once it is open and sends it.
void ComposeWhenOpen(const QString& title, const QString& body) {
    QTimer::singleShot(0, [title, body] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>(QStringLiteral("title"))->setText(title);
        dialog->findChild<QLineEdit*>(QStringLiteral("name"))->setText(QStringLiteral("名無し"));
        dialog->findChild<QPlainTextEdit*>(QStringLiteral("body"))->setPlainText(body);
        dialog->findChild<QPushButton*>(QStringLiteral("send"))->click();
    });
}

} // namespace

class DesktopWithPelmardTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Its first category is pelmard's current one, which its thread
        // queries name: a query without a category is answered by nobody.
        TempDir::WriteFile(pelmard.dir / "category.dat", "news\n");
        ASSERT_TRUE(pelmard.Start());
        TempDir::WriteFile(dir / "pelmar.ini",
                           "[Network]\nPort=" + std::to_string(kDesktopPort) + "\n");
        TempDir::WriteFile(dir / "category.dat", "news\n");
        CPelmarDoc::Options options;
        options.iniPath = dir / "pelmar.ini";
        options.applicationDir = dir.Path();
        options.dataDir = dir.Path();
        options.bindAddress = kDesktopAddress;
        frame = std::make_unique<CMainFrame>();
        doc = std::make_unique<CPelmarDoc>(*frame, options);
        ASSERT_TRUE(doc->Start());
        frame->AttachDocument(doc.get());
        ASSERT_TRUE(frame->InitialUpdateFrame());
    }
    void TearDown() override {
        if (doc)
            WaitUntil([&] { return !doc->IsFetchInProgress(); }, 15000);
        if (frame)
            frame->AttachDocument(nullptr);
        doc.reset();
        frame.reset();
        EXPECT_EQ(pelmard.Stop(), 0);
    }

    int RowOf(const std::string& threadId) const {
        CThreadListView* list = frame->ThreadList();
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (CThreadListView::RowId(*list->topLevelItem(i)) == threadId)
                return i;
        return -1;
    }
    QString PageText() const {
        return frame->Tabs()->Page(frame->Tabs()->CurrentIndex())->toPlainText();
    }

    NodeProcess pelmard{"127.0.0.150", kPelmardPort, "CacheServent"};
    TempDir dir;
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<CPelmarDoc> doc;
};

TEST_F(DesktopWithPelmardTest, PostedThreadReachesPelmardAndItsThreadShowsOnTheDesktop) {
    // pelmard already holds a thread of its own in "news".
    const std::string heldId(32, 'c');
    const std::string pelmardRoot = pelmard.dir / "thread/";
    CThreadRecord held(CBinaryId::FromText(heldId), "from pelmard", "news", "daemon", "",
                       "served body", CBinaryId::FromText(heldId), CBinaryId(), 1100000000,
                       1100000000);
    held.SetResCount(1);
    held.SetHeld(1);
    ASSERT_TRUE(held.Create(pelmardRoot, nullptr));
    ASSERT_TRUE(CThreadIndex("news", pelmardRoot).Add(heldId));

    doc->ConnectToEntry(pelmard.Entry());
    ASSERT_TRUE(WaitUntil([&] { return doc->CountEstablished() == 1; }));
    EXPECT_EQ(frame->StatusBar()->PaneText(3), "N:150");

    // A thread written in the desktop's dialog is stored here, listed, and
    // announced; the cache servent fetches it from us.
    ComposeWhenOpen(QStringLiteral("卓上から"), QStringLiteral("本文\n二行目"));
    ASSERT_TRUE(frame->OnCommand(command::kNewThread));
    ASSERT_EQ(frame->ThreadList()->topLevelItemCount(), 1);
    const std::string postedId = CThreadListView::RowId(*frame->ThreadList()->topLevelItem(0));
    const std::string postedFile = storepaths::ThreadFile(doc->GetThreadDir(), postedId);
    const std::string copyFile = storepaths::ThreadFile(pelmardRoot, postedId);
    ASSERT_TRUE(WaitUntil([&] { return TempDir::ReadFile(copyFile).size() >= 58; }, 15000))
        << pelmard.Log();
    EXPECT_EQ(TempDir::ReadFile(copyFile), TempDir::ReadFile(postedFile));

    // The list refresh asks the overlay; pelmard's thread appears as a row.
    ASSERT_TRUE(frame->OnCommand(command::kRefreshList));
    ASSERT_TRUE(WaitUntil([&] { return RowOf(heldId) >= 0; }, 10000));

    // Picking the row and fetching it brings the thread here and shows it.
    ASSERT_TRUE(WaitUntil([&] { return !doc->IsFetchInProgress(); }, 15000));
    frame->ThreadList()->setCurrentItem(frame->ThreadList()->topLevelItem(RowOf(heldId)));
    ASSERT_EQ(doc->GetCurrentThreadId(), heldId);
    ASSERT_TRUE(frame->OnCommand(command::kGetThread));
    ASSERT_TRUE(
        WaitUntil([&] { return PageText().contains(QStringLiteral("served body")); }, 15000));
    EXPECT_EQ(TempDir::ReadFile(storepaths::ThreadFile(doc->GetThreadDir(), heldId)),
              TempDir::ReadFile(storepaths::ThreadFile(pelmardRoot, heldId)));
}

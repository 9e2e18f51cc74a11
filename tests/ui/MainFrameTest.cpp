// CMainFrame with a real document: status panes, progress, menus, window
// title, the reflector timer and the message boxes.
#include "ui/MainFrame.h"
#include "app/PelmarDoc.h"
#include "base/BinaryId.h"
#include "res/Strings.h"
#include "store/ThreadRecord.h"
#include "support/TempDir.h"
#include "support/Wait.h"
#include "ui/CategoryTreeView.h"
#include "ui/ProgressStatusBar.h"
#include "ui/TabView.h"
#include "ui/ThreadHtmlView.h"
#include "ui/ThreadListView.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QWindow>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

namespace {
QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Runs `inspect` on the message box once it is up, then presses its default
// button; bounded to about two seconds.
void AnswerNextMessageBox(std::function<void(QMessageBox&)> inspect) {
    auto* poll = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, tries, inspect] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box && ++*tries < 200)
            return;
        poll->stop();
        poll->deleteLater();
        if (!box)
            return;
        inspect(*box);
        if (box->defaultButton())
            box->defaultButton()->click();
        else
            box->button(QMessageBox::Ok)->click();
    });
    poll->start(10);
}

// While it lives, closes every modal window as a user who cancels would and
// notes the message box's text or the dialog's title.
class ModalCanceller {
public:
    ModalCanceller() {
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                seen << box->text();
                box->button(QMessageBox::Ok)->click();
            } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                seen << dialog->windowTitle();
                dialog->reject();
            }
        });
        m_poll.start(10);
    }
    QStringList seen;

private:
    QTimer m_poll;
};
} // namespace

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        TempDir::WriteFile(dir / "pelmar.ini", "[Network]\nPort=6399\n");
        CPelmarDoc::Options options;
        options.iniPath = dir / "pelmar.ini";
        options.applicationDir = dir.Path();
        options.dataDir = dir.Path();
        options.bindAddress = "127.0.0.90";
        frame = std::make_unique<CMainFrame>();
        doc = std::make_unique<CPelmarDoc>(*frame, options);
        frame->AttachDocument(doc.get());
    }
    void TearDown() override {
        frame->AttachDocument(nullptr);
        doc.reset();
        frame.reset();
    }
    QString Pane(int pane) const { return frame->StatusBar()->PaneText(pane); }

    // A thread of category "news" in the store, as if posted here; the
    // document is not started (no listener), so the store tree is made here.
    std::string StoreThread(char digit, std::uint16_t resCount, const std::string& body = "body") {
        namespace fs = std::filesystem;
        for (const char* name : {"index", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "a",
                                 "b", "c", "d", "e", "f"})
            fs::create_directories(doc->GetThreadDir() + name);
        const std::string idText(32, digit);
        const CBinaryId id = CBinaryId::FromText(idText);
        CThreadRecord thread(id, "title", "news", "name", "", body, id, CBinaryId(), 1015000000,
                             1015000000);
        thread.SetHeld(1);
        thread.SetResCount(resCount);
        EXPECT_TRUE(thread.Create(doc->GetThreadDir(), nullptr));
        return idText;
    }
    std::vector<std::string> ListedIds() const {
        std::vector<std::string> ids;
        for (int i = 0; i < frame->ThreadList()->topLevelItemCount(); ++i)
            ids.push_back(CThreadListView::RowId(*frame->ThreadList()->topLevelItem(i)));
        return ids;
    }
    QString PageText() const {
        return frame->Tabs()->Page(frame->Tabs()->CurrentIndex())->toPlainText();
    }

    TempDir dir;
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<CPelmarDoc> doc;
};

TEST_F(MainFrameTest, PanesReadBarePrefixesWithoutConnections) {
    EXPECT_EQ(Pane(3), "N:");
    EXPECT_EQ(Pane(4), "S:");
    EXPECT_EQ(Pane(5), "W:");
    EXPECT_EQ(Pane(6), "E:");
    doc->UpdateConnectionStatus();
    EXPECT_EQ(Pane(3), "N:");
    EXPECT_EQ(Pane(6), "E:");
    EXPECT_EQ(Pane(2), "");
    EXPECT_EQ(Pane(0), U("ﾚﾃﾞｨ"));
}

TEST_F(MainFrameTest, NeighbourPanesShowTheLastNumberOfEachPeer) {
    frame->SetStatusNeighbours({"192.168.0.5", "10.0.0.17", "", ""});
    EXPECT_EQ(Pane(3), "N:5");
    EXPECT_EQ(Pane(4), "S:17");
    EXPECT_EQ(Pane(5), "W:");
    EXPECT_EQ(Pane(6), "E:");
    // A peer text without a dot is shown whole.
    frame->SetStatusNeighbours({"", "", "localhost", "1.2.3.255"});
    EXPECT_EQ(Pane(3), "N:");
    EXPECT_EQ(Pane(5), "W:localhost");
    EXPECT_EQ(Pane(6), "E:255");

    frame->SetStatusOpen(1);
    EXPECT_EQ(Pane(2), "open");
    frame->SetStatusOpen(2);
    EXPECT_EQ(Pane(2), "close");
    frame->SetStatusOpen(7);
    EXPECT_EQ(Pane(2), "");
}

TEST_F(MainFrameTest, FetchProgressMovesTheBarAndFinishedFetchResetsIt) {
    EXPECT_EQ(frame->StatusBar()->Progress(), 0);
    doc->OnFetchProgress(doc->GetCurrentThreadId(), 1, 3);
    EXPECT_EQ(frame->StatusBar()->Progress(), 33);
    doc->OnFetchProgress(doc->GetCurrentThreadId(), 2, 3);
    EXPECT_EQ(frame->StatusBar()->Progress(), 66);
    doc->OnFetchProgress(doc->GetCurrentThreadId(), 5, 3);
    EXPECT_EQ(frame->StatusBar()->Progress(), 100);
    doc->OnFetchProgress(doc->GetCurrentThreadId(), 1, 0); // no range: ignored
    EXPECT_EQ(frame->StatusBar()->Progress(), 100);
    doc->OnFetchDone(doc->GetCurrentThreadId());
    EXPECT_EQ(frame->StatusBar()->Progress(), 0);
    frame->SetProgress(-5);
    EXPECT_EQ(frame->StatusBar()->Progress(), 0);
}

TEST_F(MainFrameTest, MenusInOrderWithTestMenuAndSaveItemDisabled) {
    QStringList titles;
    for (QAction* action : frame->menuBar()->actions())
        titles << action->text();
    EXPECT_EQ(titles, QStringList({U("ﾌｧｲﾙ(&F)"), U("スレッド(&T)"), U("表示(&V)"), U("テスト(&E)"),
                                   U("ﾍﾙﾌﾟ(&H)")}));

    EXPECT_FALSE(frame->TestMenu()->menuAction()->isEnabled());
    QAction* save = frame->CommandAction(command::kSaveThreadAsFile);
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->text(), U("スレッドをファイルとして保存(&A)..."));
    EXPECT_FALSE(save->isEnabled());
    EXPECT_FALSE(frame->CommandAction(command::kUnused)->isEnabled());
    EXPECT_FALSE(frame->OnCommand(command::kSaveThreadAsFile));
    EXPECT_EQ(frame->CommandAction(command::kPing)->statusTip(), U("PING発射"));
    EXPECT_EQ(frame->CommandAction(command::kAbout)->toolTip(), U("ﾊﾞｰｼﾞｮﾝ情報"));
}

TEST_F(MainFrameTest, NodeCommandsReachTheDocumentAndCancelChangesNothing) {
    doc->SetCurrentCategory("news");
    const auto run = [&](int id) {
        ModalCanceller canceller;
        EXPECT_TRUE(frame->OnCommand(id)) << id;
        return canceller.seen;
    };
    // Without a connection the network commands only warn.
    EXPECT_EQ(run(command::kGetThread), QStringList(U(strings::kNotConnected)));
    EXPECT_FALSE(doc->IsFetchInProgress());
    EXPECT_EQ(run(command::kRefreshList), QStringList(U(strings::kNotConnected)));
    EXPECT_EQ(run(command::kPing), QStringList());
    // A response needs a thread held here.
    EXPECT_EQ(run(command::kNewResponse), QStringList(U(strings::kNoThreadData)));
    // The dialogs come up and, cancelled, leave no trace.
    EXPECT_EQ(run(command::kNewThread), QStringList(U("スレッド送信")));
    EXPECT_FALSE(std::filesystem::exists(doc->GetThreadDir() + "index"));
    EXPECT_EQ(run(command::kConnect), QStringList(U("エントリーポイント")));
    EXPECT_TRUE(doc->GetConnections().empty());
    EXPECT_EQ(run(command::kAbout), QStringList(U("pelmarのﾊﾞｰｼﾞｮﾝ情報")));
    // Without a current thread no tab is added.
    EXPECT_EQ(run(command::kOpenInNewTab), QStringList());
    EXPECT_EQ(frame->Tabs()->TabCount(), 1);
}

TEST_F(MainFrameTest, ToolbarButtonsInOrderAndPromptsShowInPaneZero) {
    QList<int> ids;
    for (QAction* action : frame->findChild<QToolBar*>(QStringLiteral("toolBar"))->actions())
        ids << (action->isSeparator() ? 0 : action->data().toInt());
    EXPECT_EQ(ids, QList<int>({command::kConnect, 0, command::kNewThread, command::kNewResponse, 0,
                               command::kRefreshList, command::kGetThread, 0, command::kUnused, 0,
                               command::kAbout}));
    auto* dialogBar = frame->findChild<QToolBar*>(QStringLiteral("dialogBar"));
    // Both are bands at the top edge that never float away.
    for (QToolBar* band : {frame->findChild<QToolBar*>(QStringLiteral("toolBar")), dialogBar}) {
        EXPECT_EQ(band->allowedAreas(), Qt::TopToolBarArea);
        EXPECT_FALSE(band->isFloatable());
        EXPECT_TRUE(band->isMovable()); // the grip handle stays
    }
    ASSERT_NE(dialogBar->findChild<QLabel*>(), nullptr);
    EXPECT_EQ(dialogBar->findChild<QLabel*>()->text(), U("pelmar プロトタイプ Ver 0.1.2"));

    frame->CommandAction(command::kConnect)->showStatusText(frame.get());
    EXPECT_EQ(Pane(0), U("接続"));
    frame->statusBar()->clearMessage();
    EXPECT_EQ(Pane(0), U("ﾚﾃﾞｨ"));
}

TEST_F(MainFrameTest, ViewItemsToggleTheBarsWithCheckMarks) {
    QAction* statusItem = frame->CommandAction(command::kViewStatusBar);
    QAction* toolItem = frame->CommandAction(command::kViewToolBar);
    EXPECT_TRUE(statusItem->isChecked());
    EXPECT_TRUE(toolItem->isChecked());
    statusItem->trigger();
    EXPECT_TRUE(frame->StatusBar()->isHidden());
    EXPECT_FALSE(statusItem->isChecked());
    toolItem->trigger();
    EXPECT_FALSE(toolItem->isChecked());
    EXPECT_TRUE(frame->findChild<QToolBar*>(QStringLiteral("toolBar"))->isHidden());
    statusItem->trigger();
    EXPECT_FALSE(frame->StatusBar()->isHidden());
    EXPECT_TRUE(statusItem->isChecked());
}

TEST_F(MainFrameTest, WindowTitleTakesTheShownThreadsTitle) {
    EXPECT_EQ(frame->windowTitle(), "pelmar");
    doc->ShowCurrentThread("\x83\x58\x83\x8c\x83\x62\x83\x68"); // スレッド in Shift_JIS
    EXPECT_EQ(frame->windowTitle(), U("pelmar - スレッド"));
    doc->ShowCurrentThread(""); // a re-render keeps the title
    EXPECT_EQ(frame->windowTitle(), U("pelmar - スレッド"));
    // A new tab names its thread even when an announcement gave no title.
    doc->SetCurrentThreadId(std::string(32, 'a'));
    doc->SetCurrentThreadTitle("");
    doc->OpenThreadInNewTab();
    EXPECT_EQ(frame->windowTitle(), "pelmar - ");
}

TEST_F(MainFrameTest, OpeningListsTheFirstCategorysThreads) {
    TempDir::WriteFile(dir / "category.dat", "news\n\tlocal\nchat\n");
    doc->SetCurrentCategory("news");
    const std::string id = StoreThread('4', 1);
    doc->SetCurrentCategory("");
    ASSERT_TRUE(frame->InitialUpdateFrame());
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(doc->GetCurrentCategory(), "news");
    EXPECT_EQ(ListedIds(), std::vector<std::string>{id});
    frame->hide();
}

TEST_F(MainFrameTest, OpeningWithoutCategoryFileWarnsAndLeavesTheWindowHidden) {
    QString text;
    AnswerNextMessageBox([&](QMessageBox& box) { text = box.text(); });
    EXPECT_FALSE(frame->InitialUpdateFrame());
    EXPECT_EQ(text, U(strings::kCategoryOpenFailed));
    EXPECT_FALSE(frame->isVisible());

    // A category file that cannot be read says the same, never aborts.
    std::filesystem::create_directory(dir / "category.dat");
    text.clear();
    AnswerNextMessageBox([&](QMessageBox& box) { text = box.text(); });
    EXPECT_FALSE(frame->InitialUpdateFrame());
    EXPECT_EQ(text, U(strings::kCategoryOpenFailed));
}

TEST_F(MainFrameTest, ViewsOpenAtTheirSizes) {
    frame->show();
    QApplication::processEvents();
    // The tree keeps its 200 pixels; the list and the pages share the right
    // column equally, as their 600 x 200 sizes do.
    EXPECT_EQ(frame->CategoryTree()->width(), 200);
    EXPECT_GE(frame->ThreadList()->width(), 600);
    EXPECT_NEAR(frame->ThreadList()->height(), frame->Tabs()->height(), 1);
    EXPECT_GE(frame->ThreadList()->height(), 200);
    frame->hide();
}

TEST_F(MainFrameTest, ReflectTimerRunsEveryThirtyMinutesOnceStarted) {
    EXPECT_FALSE(frame->ReflectTimer().isActive());
    frame->StartReflectTimer();
    EXPECT_TRUE(frame->ReflectTimer().isActive());
    EXPECT_EQ(frame->ReflectTimer().interval(), 1800000);
}

TEST_F(MainFrameTest, MessageBoxesAreTitledPelmarAndQuestionsDefaultToNo) {
    QString title;
    bool warning = false;
    AnswerNextMessageBox([&](QMessageBox& box) {
        title = box.windowTitle();
        warning = box.icon() == QMessageBox::Warning;
    });
    frame->ShowMessage("pelmarnet に接続されていません。", IPelmarUi::MessageIcon::Warning);
    EXPECT_EQ(title, "pelmar");
    EXPECT_TRUE(warning);

    bool defaultIsNo = false;
    bool plain = false;
    AnswerNextMessageBox([&](QMessageBox& box) {
        defaultIsNo = box.defaultButton() == box.button(QMessageBox::No);
        plain = box.icon() == QMessageBox::NoIcon;
    });
    EXPECT_FALSE(frame->AskYesNo("delete?"));
    EXPECT_TRUE(defaultIsNo);
    EXPECT_TRUE(plain);
}

TEST_F(MainFrameTest, DeleteCommandAsksThenDropsTheRowAndBlanksThePage) {
    doc->SetCurrentCategory("news");
    const std::string kept = StoreThread('1', 2);
    const std::string gone = StoreThread('2', 3);
    doc->RefreshThreadList();
    ASSERT_EQ(ListedIds().size(), 2u);
    doc->SetCurrentThreadId(gone);
    doc->ShowCurrentThread("title");
    ASSERT_TRUE(PageText().contains("body"));

    // No, the default answer, changes nothing.
    QString question;
    AnswerNextMessageBox([&](QMessageBox& box) { question = box.text(); });
    EXPECT_TRUE(frame->OnCommand(command::kDeleteThread));
    EXPECT_EQ(question, U(strings::kConfirmDelete));
    EXPECT_EQ(ListedIds().size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(doc->GetThreadDir() + "2/" + gone));

    AnswerNextMessageBox([](QMessageBox& box) { box.setDefaultButton(QMessageBox::Yes); });
    EXPECT_TRUE(frame->OnCommand(command::kDeleteThread));
    EXPECT_EQ(ListedIds(), std::vector<std::string>{kept});
    EXPECT_FALSE(std::filesystem::exists(doc->GetThreadDir() + "2/" + gone));
    // The thread stays current; with its files gone its page says it is not
    // held, and the title it was shown under stays.
    EXPECT_EQ(doc->GetCurrentThreadId(), gone);
    EXPECT_FALSE(PageText().contains("body"));
    EXPECT_TRUE(PageText().contains(U("スレッド取得"))) << PageText().toStdString();
    EXPECT_EQ(TempDir::ReadFile(dir / "current.html"), ""); // the file is as it always was
    EXPECT_EQ(frame->windowTitle(), "pelmar - title");

    // Without a current thread the command asks nothing.
    doc->SetCurrentThreadId("");
    EXPECT_TRUE(frame->OnCommand(command::kDeleteThread));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MainFrameTest, FinishedFetchTurnsTheAnnouncedRowIntoTheStoredThread) {
    doc->SetCurrentCategory("news");
    const std::string id = StoreThread('3', 7);
    CThreadSummary announced;
    announced.category = "news";
    announced.threadId = id;
    announced.title = "title";
    announced.resCount = 1;
    announced.name = "name";
    announced.time = 1015000000;
    announced.isNew = true;
    doc->UpdateThreadListItem(announced);
    ASSERT_EQ(ListedIds(), std::vector<std::string>{id});
    QTreeWidgetItem* row = frame->ThreadList()->topLevelItem(0);
    ASSERT_EQ(row->data(CThreadListView::kIcon, CThreadListView::kIconRole).toInt(), 2);

    doc->SetCurrentThreadId(id);
    doc->OnFetchProgress(doc->GetCurrentThreadId(), 1, 2);
    doc->OnFetchDone(doc->GetCurrentThreadId());
    ASSERT_EQ(ListedIds(), std::vector<std::string>{id});
    row = frame->ThreadList()->topLevelItem(0);
    EXPECT_EQ(row->data(CThreadListView::kIcon, CThreadListView::kIconRole).toInt(), 0);
    EXPECT_EQ(row->text(CThreadListView::kResCount), "7");
    EXPECT_TRUE(PageText().contains("body"));
    EXPECT_EQ(frame->StatusBar()->Progress(), 0);
    EXPECT_FALSE(doc->IsFetchInProgress());
    // The last percentage is forgotten, so the next fetch's 50 % shows again.
    doc->OnFetchProgress(doc->GetCurrentThreadId(), 1, 2);
    EXPECT_EQ(frame->StatusBar()->Progress(), 50);
}

TEST(MainFrameWithoutDocumentTest, ViewCallsDoNothingUntilADocumentIsAttached) {
    CMainFrame frame;
    frame.ShowCurrentThread("title");
    frame.OpenThreadInNewTab("title");
    frame.RefreshThreadList();
    EXPECT_EQ(frame.windowTitle(), "pelmar");
    EXPECT_EQ(frame.CategoryTree(), nullptr);
    EXPECT_FALSE(frame.InitialUpdateFrame());
    EXPECT_FALSE(frame.isVisible());
    EXPECT_FALSE(frame.OnCommand(command::kPing));
    std::string entry;
    EXPECT_FALSE(frame.ChooseEntryPoint(entry));
}

TEST_F(MainFrameTest, PeerTitlesShowOnOneLineAndNeverAsMnemonics) {
    doc->SetCurrentCategory("news");
    frame->winId(); // the window's own title is what a window manager shows
    const struct {
        std::string title; // Shift_JIS as a peer sent it
        QString tab;       // as QTabBar takes it ("&&" shows one "&")
        QString shown;     // in the title bar and the list row
    } cases[] = {
        {"Q&A \x8e\x47\x92\x6b", U("Q&&A 雑談"), U("Q&A 雑談")},
        {"a\r\nb\rc\nd", "a b c d", "a b c d"},
        {"[*] x", "[*] x", "[*] x"},
    };
    for (const auto& c : cases) {
        doc->ShowCurrentThread(c.title);
        EXPECT_EQ(frame->Tabs()->TabLabel(0), c.tab);
        EXPECT_EQ(frame->windowHandle()->title(), "pelmar - " + c.shown);
        doc->UpdateThreadListItem({"news", std::string(32, '7'), c.title, 1, c.title, 0, true});
        const QTreeWidgetItem* row = frame->ThreadList()->topLevelItem(0);
        EXPECT_EQ(row->text(CThreadListView::kTitle), c.shown);
        EXPECT_EQ(CThreadListView::RowTitle(*row), c.title); // the bytes stay
    }
}

TEST_F(MainFrameTest, SwitchingTabsNamesThatTabsThreadInTheWindowTitle) {
    doc->SetCurrentThreadId(StoreThread('1', 1));
    doc->ShowCurrentThread("one");
    doc->SetCurrentThreadId(StoreThread('2', 1));
    doc->SetCurrentThreadTitle("two");
    doc->OpenThreadInNewTab();
    doc->OpenThreadInNewTab();
    auto* tabs = frame->Tabs()->findChild<QTabWidget*>();
    const struct {
        int select; // -1: close the selected tab instead
        QString title;
    } steps[] = {
        {0, "pelmar - one"}, {1, "pelmar - two"}, {0, "pelmar - one"}, {-1, "pelmar - two"}};
    for (const auto& step : steps) {
        if (step.select < 0)
            frame->Tabs()->CloseTab(frame->Tabs()->CurrentIndex());
        else
            tabs->setCurrentIndex(step.select);
        EXPECT_EQ(frame->windowTitle(), step.title) << step.select;
    }
}

TEST_F(MainFrameTest, PostedResponseIsScrolledIntoView) {
    std::string body; // a page many screens long
    for (int i = 0; i < 300; ++i)
        body += "line\r\n";
    doc->SetCurrentThreadId(StoreThread('5', 1, body));
    frame->resize(800, 600);
    frame->show();
    doc->ShowCurrentThread("title");
    QTimer::singleShot(0, [] {
        if (QWidget* dialog = QApplication::activeModalWidget())
            dialog->findChild<QPushButton*>(QStringLiteral("send"))->click();
    });
    frame->OnCommand(command::kNewResponse);
    // The new response is the last entry; its heading is in view.
    CThreadHtmlView* page = frame->Tabs()->Page(0);
    EXPECT_GT(page->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(page->viewport()->rect().contains(page->cursorRect().center()));
    frame->hide();
}

TEST_F(MainFrameTest, StatusLineSaysThatAConnectFailed) {
    doc->ConnectToEntry("127.0.0.215:1");
    EXPECT_TRUE(WaitUntil([&] { return Pane(0) == U("接続できませんでした: 127.0.0.215:1"); }))
        << Pane(0).toStdString();
    doc->OnFetchHolderNotFound(doc->GetCurrentThreadId());
    EXPECT_EQ(Pane(0), U(strings::kNoHolderNote));
}

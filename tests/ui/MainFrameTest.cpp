// CMainFrame with a real document: status panes, progress, menus, window
// title, the reflector timer and the message boxes.
#include "ui/MainFrame.h"
#include "app/PelmarDoc.h"
#include "support/TempDir.h"
#include "ui/ProgressStatusBar.h"

#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

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
    doc->OnFetchProgress(1, 3);
    EXPECT_EQ(frame->StatusBar()->Progress(), 33);
    doc->OnFetchProgress(2, 3);
    EXPECT_EQ(frame->StatusBar()->Progress(), 66);
    doc->OnFetchProgress(5, 3);
    EXPECT_EQ(frame->StatusBar()->Progress(), 100);
    doc->OnFetchProgress(1, 0); // no range: ignored
    EXPECT_EQ(frame->StatusBar()->Progress(), 100);
    doc->OnFetchDone();
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

TEST_F(MainFrameTest, ToolbarButtonsInOrderAndPromptsShowInPaneZero) {
    QList<int> ids;
    for (QAction* action : frame->findChild<QToolBar*>(QStringLiteral("toolBar"))->actions())
        ids << (action->isSeparator() ? 0 : action->data().toInt());
    EXPECT_EQ(ids, QList<int>({command::kConnect, 0, command::kNewThread, command::kNewResponse, 0,
                               command::kRefreshList, command::kGetThread, 0, command::kUnused, 0,
                               command::kAbout}));
    auto* dialogBar = frame->findChild<QToolBar*>(QStringLiteral("dialogBar"));
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
    AnswerNextMessageBox([&](QMessageBox& box) {
        defaultIsNo = box.defaultButton() == box.button(QMessageBox::No);
    });
    EXPECT_FALSE(frame->AskYesNo("delete?"));
    EXPECT_TRUE(defaultIsNo);
}

TEST(MainFrameWithoutDocumentTest, ViewCallsDoNothingUntilADocumentIsAttached) {
    CMainFrame frame;
    frame.ShowCurrentThread("title");
    frame.OpenThreadInNewTab("title");
    frame.RefreshThreadList();
    EXPECT_EQ(frame.windowTitle(), "pelmar");
    EXPECT_EQ(frame.CategoryTree(), nullptr);
    EXPECT_FALSE(frame.OnCommand(command::kPing));
    std::string entry;
    EXPECT_FALSE(frame.ChooseEntryPoint(entry));
}

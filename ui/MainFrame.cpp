// CMainFrame: layout, menus, toolbars, command routing and the node's calls
// into the window. GUI thread.
#include "ui/MainFrame.h"

#include "app/PelmarDoc.h"
#include "ui/AboutDialog.h"
#include "ui/AppIcon.h"
#include "ui/CategoryTreeView.h"
#include "ui/ComposeDialogs.h"
#include "ui/DisplayText.h"
#include "ui/ProgressStatusBar.h"
#include "ui/ReaderControls.h"
#include "ui/TabView.h"
#include "ui/ThreadHtmlView.h"
#include "ui/ThreadListView.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>

namespace {
QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}
} // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("pelmar"));
    setWindowIcon(MakeApplicationIcon());
    m_statusBar = new CProgressStatusBar(this);
    setStatusBar(m_statusBar);
    CreateMenus();
    CreateToolBars();
    CreateShortcuts();
    m_reflectTimer.setInterval(kReflectPeriodMs);
    connect(&m_reflectTimer, &QTimer::timeout, this, [this] {
        if (m_doc)
            m_doc->OnReflectTimer();
    });
    // Room for the tree at 200 and the right column at 600 by 500 pixels.
    resize(820, 640);
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::AttachDocument(CPelmarDoc* doc) {
    if (doc == m_doc)
        return;
    if (m_outerSplitter) {
        // The views hold the old document; they go with it.
        delete takeCentralWidget();
        m_outerSplitter = m_innerSplitter = nullptr;
        m_categoryTree = nullptr;
        m_threadList = nullptr;
        m_tabView = nullptr;
    }
    m_doc = doc;
    if (!doc)
        return;

    m_outerSplitter = new QSplitter(Qt::Horizontal);
    m_outerSplitter->setFrameStyle(QFrame::NoFrame);
    m_outerSplitter->setChildrenCollapsible(false);
    m_categoryTree = new CCategoryTreeView(*doc, m_outerSplitter);
    m_innerSplitter = new QSplitter(Qt::Vertical, m_outerSplitter);
    m_innerSplitter->setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    m_innerSplitter->setChildrenCollapsible(false);
    m_threadList = new CThreadListView(*doc, m_innerSplitter);
    m_tabView = new CTabView(*doc, m_innerSplitter);
    // Each tab names its own thread in the window title.
    connect(m_tabView, &CTabView::currentTabChanged, this,
            [this] { setWindowTitle(m_tabView->CurrentWindowTitle()); });
    m_outerSplitter->addWidget(m_categoryTree);
    m_outerSplitter->addWidget(m_innerSplitter);
    m_innerSplitter->addWidget(m_readerControls
                                   ? m_readerControls->AttachViews(*doc, m_innerSplitter)
                                   : static_cast<QWidget*>(m_threadList));
    m_innerSplitter->addWidget(m_tabView);
    // The tree keeps its width when the window grows; the right column takes it.
    m_outerSplitter->setStretchFactor(0, 0);
    m_outerSplitter->setStretchFactor(1, 1);
    m_outerSplitter->setSizes({200, 600});
    m_innerSplitter->setSizes({200, 200});
    setCentralWidget(m_outerSplitter);
}

void CMainFrame::SetReader(CReader* reader) {
    if (reader && !m_readerControls)
        m_readerControls = new CReaderControls(*this, *reader);
}

bool CMainFrame::InitialUpdateFrame() {
    // The tree goes first: the list's first fill reads the category it sets.
    if (!m_categoryTree || !m_categoryTree->Load())
        return false;
    show();
    return true;
}

QAction* CMainFrame::AddCommand(QMenu* menu, const char* text, int id, const char* prompt) {
    auto* action = new QAction(Text(text), this);
    action->setData(id);
    if (prompt)
        action->setStatusTip(Text(prompt));
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    if (menu)
        menu->addAction(action);
    m_actions.emplace_back(id, action);
    return action;
}

void CMainFrame::CreateMenus() {
    QMenu* file = menuBar()->addMenu(Text("ﾌｧｲﾙ(&F)"));
    // Nothing handles saving a thread as a file; the item stays disabled.
    AddCommand(file, "スレッドをファイルとして保存(&A)...", command::kSaveThreadAsFile)
        ->setEnabled(false);
    file->addSeparator();
    AddCommand(file, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", command::kExit);

    QMenu* thread = menuBar()->addMenu(Text("スレッド(&T)"));
    AddCommand(thread, "スレッド作成(&T)", command::kNewThread, "スレッド作成")
        ->setToolTip(Text("スレッド作成"));
    AddCommand(thread, "レス作成(&W)", command::kNewResponse, "レス作成")
        ->setToolTip(Text("レス作成"));
    thread->addSeparator();
    AddCommand(thread, "スレッド取得(&G)", command::kGetThread, "スレッド取得")
        ->setToolTip(Text("スレッド取得"));
    AddCommand(thread, "スレッドリスト更新(&R)", command::kRefreshList, "スレッドリスト更新")
        ->setToolTip(Text("スレッドリスト更新"));

    QMenu* view = menuBar()->addMenu(Text("表示(&V)"));
    AddCommand(view, "ﾂｰﾙ ﾊﾞｰ(&T)", command::kViewToolBar)->setCheckable(true);
    QAction* statusItem = AddCommand(view, "ｽﾃｰﾀｽ ﾊﾞｰ(&S)", command::kViewStatusBar);
    statusItem->setCheckable(true);
    statusItem->setChecked(true);

    m_testMenu = menuBar()->addMenu(Text("テスト(&E)"));
    AddCommand(m_testMenu, "PING(&P)", command::kPing, "PING発射");
    m_testMenu->setEnabled(false);

    QMenu* help = menuBar()->addMenu(Text("ﾍﾙﾌﾟ(&H)"));
    AddCommand(help, "pelmar のﾊﾞｰｼﾞｮﾝ情報(&A)...", command::kAbout,
               "ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示")
        ->setToolTip(Text("ﾊﾞｰｼﾞｮﾝ情報"));
}

void CMainFrame::CreateToolBars() {
    m_toolBar = new QToolBar(Text("ﾂｰﾙ ﾊﾞｰ"), this);
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    QStyle* look = style();

    QAction* connectButton = AddCommand(nullptr, "", command::kConnect, "接続");
    connectButton->setToolTip(Text("接続"));
    connectButton->setIcon(look->standardIcon(QStyle::SP_DriveNetIcon));
    m_toolBar->addAction(connectButton);
    m_toolBar->addSeparator();
    CommandAction(command::kNewThread)->setIcon(look->standardIcon(QStyle::SP_FileIcon));
    m_toolBar->addAction(CommandAction(command::kNewThread));
    CommandAction(command::kNewResponse)
        ->setIcon(look->standardIcon(QStyle::SP_FileDialogContentsView));
    m_toolBar->addAction(CommandAction(command::kNewResponse));
    m_toolBar->addSeparator();
    CommandAction(command::kRefreshList)->setIcon(look->standardIcon(QStyle::SP_BrowserReload));
    m_toolBar->addAction(CommandAction(command::kRefreshList));
    CommandAction(command::kGetThread)->setIcon(look->standardIcon(QStyle::SP_ArrowDown));
    m_toolBar->addAction(CommandAction(command::kGetThread));
    m_toolBar->addSeparator();
    QAction* unused = AddCommand(nullptr, "", command::kUnused);
    unused->setIcon(look->standardIcon(QStyle::SP_DialogSaveButton));
    unused->setEnabled(false);
    m_toolBar->addAction(unused);
    m_toolBar->addSeparator();
    CommandAction(command::kAbout)->setIcon(look->standardIcon(QStyle::SP_MessageBoxQuestion));
    m_toolBar->addAction(CommandAction(command::kAbout));
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    m_dialogBar = new QToolBar(QStringLiteral("pelmar"), this);
    m_dialogBar->setObjectName(QStringLiteral("dialogBar"));
    m_dialogBar->addWidget(new QLabel(Text("pelmar プロトタイプ Ver 0.1.2"), m_dialogBar));
    addToolBar(Qt::TopToolBarArea, m_dialogBar);

    // Both bars are bands at the top edge: they keep their grip handles and
    // may change places there, but never float or dock at another edge.
    for (QToolBar* band : {m_toolBar, m_dialogBar}) {
        band->setAllowedAreas(Qt::TopToolBarArea);
        band->setFloatable(false);
    }

    // The menu item's check mark follows the toolbar however it was hidden.
    QAction* toolBarItem = CommandAction(command::kViewToolBar);
    toolBarItem->setChecked(true);
    connect(m_toolBar->toggleViewAction(), &QAction::toggled, toolBarItem, &QAction::setChecked);
}

void CMainFrame::CreateShortcuts() {
    auto* next = new QShortcut(QKeySequence(Qt::Key_F6), this);
    connect(next, &QShortcut::activated, this, [this] { MoveFocusToPane(1); });
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6), this);
    connect(previous, &QShortcut::activated, this, [this] { MoveFocusToPane(-1); });
}

void CMainFrame::MoveFocusToPane(int step) {
    if (!m_categoryTree)
        return;
    QWidget* panes[] = {m_categoryTree, m_threadList, m_tabView};
    constexpr int count = 3;
    QWidget* focus = QApplication::focusWidget();
    int current = -1;
    for (int i = 0; i < count; ++i)
        if (focus && (focus == panes[i] || panes[i]->isAncestorOf(focus)))
            current = i;
    const int target = current < 0 ? (step > 0 ? 0 : count - 1) : (current + step + count) % count;
    QWidget* pane = panes[target];
    // A pane that takes no focus itself passes it to its first child that does.
    if (pane->focusPolicy() == Qt::NoFocus) {
        for (QWidget* child : pane->findChildren<QWidget*>())
            if (child->isVisible() && (child->focusPolicy() & Qt::TabFocus)) {
                pane = child;
                break;
            }
    }
    pane->setFocus(Qt::ShortcutFocusReason);
}

QAction* CMainFrame::CommandAction(int id) const {
    for (const auto& [actionId, action] : m_actions)
        if (actionId == id)
            return action;
    return nullptr;
}

bool CMainFrame::OnCommand(int id) {
    switch (id) {
    case command::kAbout: {
        CAboutDialog about(this);
        about.exec();
        return true;
    }
    case command::kExit:
        close();
        return true;
    // isHidden, not isVisible: the bars' own state, also while the window is hidden.
    case command::kViewToolBar:
        m_toolBar->setVisible(m_toolBar->isHidden());
        CommandAction(command::kViewToolBar)->setChecked(!m_toolBar->isHidden());
        return true;
    case command::kViewStatusBar:
        m_statusBar->setVisible(m_statusBar->isHidden());
        CommandAction(command::kViewStatusBar)->setChecked(!m_statusBar->isHidden());
        return true;
    default:
        break;
    }
    if (!m_doc)
        return false;
    switch (id) {
    case command::kConnect:
        m_doc->ConnectEntryPoint();
        return true;
    case command::kNewThread:
        m_doc->PostNewThread();
        return true;
    case command::kNewResponse:
        m_doc->PostNewResponse();
        return true;
    case command::kRefreshList:
        if (m_threadList && m_threadList->IsFavouritesMode())
            m_threadList->QueryFavourites();
        else
            m_doc->SendCategoryQuery();
        return true;
    case command::kGetThread:
        m_doc->GetThread(m_doc->GetCurrentThreadId(), 0);
        return true;
    case command::kPing:
        m_doc->SendPing();
        return true;
    case command::kOpenInNewTab:
        m_doc->OpenThreadInNewTab();
        return true;
    case command::kDeleteThread:
        m_doc->DeleteCurrentThread();
        return true;
    default:
        return false;
    }
}

void CMainFrame::ShowMessage(std::string_view textUtf8, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    QStringLiteral("pelmar"),
                    QString::fromUtf8(textUtf8.data(), qsizetype(textUtf8.size())), QMessageBox::Ok,
                    this);
    box.exec();
}

bool CMainFrame::AskYesNo(std::string_view textUtf8) {
    // A plain Yes/No box: only the "not connected" warning carries an icon.
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("pelmar"),
                    QString::fromUtf8(textUtf8.data(), qsizetype(textUtf8.size())),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool CMainFrame::ChooseEntryPoint(std::string& entry) {
    if (!m_doc)
        return false;
    return RunEntryPointDialog(this, m_doc->DataPath("entrypoint.dat"), entry);
}

bool CMainFrame::ComposeThread(CThreadDraft& draft) {
    return RunThreadComposeDialog(this, draft);
}

bool CMainFrame::ComposeResponse(CResponseDraft& draft) {
    return RunResponseComposeDialog(this, draft);
}

void CMainFrame::RefreshThreadList() {
    if (m_threadList)
        m_threadList->Refill();
}

void CMainFrame::UpdateThreadRow(const CThreadSummary& summary) {
    if (m_threadList)
        m_threadList->UpdateThreadRow(summary);
}

void CMainFrame::ShowCurrentThread(std::string_view title) {
    if (!m_tabView)
        return;
    m_tabView->ShowCurrentThread(title);
    SetTitleFrom(title);
}

void CMainFrame::OpenThreadInNewTab(std::string_view title) {
    if (!m_tabView)
        return;
    m_tabView->OpenThreadInNewTab(title);
    // A new tab always names its thread in the window title, even an empty
    // title (a thread only announced so far may have none).
    SetThreadWindowTitle(title);
}

void CMainFrame::SetTitleFrom(std::string_view title) {
    if (!title.empty())
        SetThreadWindowTitle(title);
}

void CMainFrame::SetThreadWindowTitle(std::string_view title) {
    const QString text = displaytext::WindowTitle(title);
    setWindowTitle(text);
    if (m_tabView)
        m_tabView->SetCurrentWindowTitle(text);
}

void CMainFrame::ShowStatusText(std::string_view textUtf8) {
    m_statusBar->showMessage(QString::fromUtf8(textUtf8.data(), qsizetype(textUtf8.size())),
                             kStatusTextMs);
}

void CMainFrame::RevealResponse(std::string_view resId) {
    if (!m_tabView)
        return;
    if (CThreadHtmlView* page = m_tabView->Page(m_tabView->CurrentIndex()))
        page->ScrollToFirstEntry({std::string(resId)});
    // One's own response is no news to oneself.
    if (m_readerControls)
        m_readerControls->MarkCurrentSeen();
}

void CMainFrame::SetStatusStore(std::uint64_t bytes, std::size_t threads) {
    m_statusBar->SetStatusStore(bytes, threads);
}

void CMainFrame::SetStatusOpen(int state) {
    m_statusBar->SetStatusOpen(state);
}

void CMainFrame::SetStatusNeighbours(const std::array<std::string, 4>& peers) {
    m_statusBar->SetStatusNeighbours(peers);
}

void CMainFrame::SetProgress(int percent) {
    m_statusBar->SetProgress(percent);
}

void CMainFrame::StartReflectTimer() {
    m_reflectTimer.start();
}

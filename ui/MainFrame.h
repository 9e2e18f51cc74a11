// CMainFrame: the one top-level window. Holds the category tree, the thread
// list and the tabbed pages in two splitters, carries the menus, the toolbars
// and the status bar, routes every command to the document, and is the node's
// user interface (IPelmarUi). GUI thread.
#pragma once

#include "app/PelmarUi.h"

#include <QMainWindow>
#include <QTimer>

#include <utility>
#include <vector>

class CCategoryTreeView;
class CPelmarDoc;
class CProgressStatusBar;
class CReader;
class CReaderControls;
class CTabView;
class CThreadListView;
class QAction;
class QMenu;
class QSplitter;
class QToolBar;

// The command ids of the menus, the toolbar and the thread list's context menu.
namespace command {
inline constexpr int kNewThread = 32771;
inline constexpr int kNewResponse = 32772;
inline constexpr int kRefreshList = 32773;
inline constexpr int kGetThread = 32779;
inline constexpr int kPing = 32780;
inline constexpr int kOpenInNewTab = 32781;
inline constexpr int kDeleteThread = 32784;
inline constexpr int kConnect = 32785;
inline constexpr int kUnused = 32786;
inline constexpr int kSaveThreadAsFile = 32787;
inline constexpr int kAbout = 57664;
inline constexpr int kExit = 57665;
inline constexpr int kViewToolBar = 59392;
inline constexpr int kViewStatusBar = 59393;
} // namespace command

class CMainFrame : public QMainWindow, public IPelmarUi {
    Q_OBJECT
public:
    static constexpr int kReflectPeriodMs = 30 * 60 * 1000;

    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The document is made after the frame because it takes the frame as its
    // user interface; attaching it creates the three views. Attaching nullptr
    // (before the document goes) removes them again. Until a document is
    // attached the calls that need a view do nothing.
    void AttachDocument(CPelmarDoc* doc);
    // The reader's tools (menu, search and filter boxes, 新着, お気に入り, NG
    // rules). Given before the document is attached; without one the window
    // is as it always was.
    void SetReader(CReader* reader);
    CReaderControls* ReaderControls() const { return m_readerControls; }
    CPelmarDoc* Document() const { return m_doc; }
    // Opens the window on the attached, started document: the category tree
    // reads "category.dat" and selects its first category, then the window
    // shows and the thread list fills itself for that category. False, with
    // the window left hidden, when "category.dat" is missing or malformed
    // (its message has been shown; the program then ends) or no document is
    // attached.
    bool InitialUpdateFrame();

    // Runs one command as the menu, toolbar or context menu would. False for
    // an id that nothing handles (those items are disabled).
    bool OnCommand(int id);
    // The menu item or toolbar button of a command, for its enabled state.
    QAction* CommandAction(int id) const;

    CCategoryTreeView* CategoryTree() const { return m_categoryTree; }
    CThreadListView* ThreadList() const { return m_threadList; }
    CTabView* Tabs() const { return m_tabView; }
    CProgressStatusBar* StatusBar() const { return m_statusBar; }
    QMenu* TestMenu() const { return m_testMenu; }
    const QTimer& ReflectTimer() const { return m_reflectTimer; }

    // IPelmarUi
    void ShowMessage(std::string_view textUtf8, MessageIcon icon) override;
    bool AskYesNo(std::string_view textUtf8) override;
    bool ChooseEntryPoint(std::string& entry) override;
    bool ComposeThread(CThreadDraft& draft) override;
    bool ComposeResponse(CResponseDraft& draft) override;
    void RefreshThreadList() override;
    void UpdateThreadRow(const CThreadSummary& summary) override;
    void ShowCurrentThread(std::string_view title) override;
    void OpenThreadInNewTab(std::string_view title) override;
    void SetStatusOpen(int state) override;
    void SetStatusNeighbours(const std::array<std::string, 4>& peers) override;
    void SetProgress(int percent) override;
    void SetStatusStore(std::uint64_t bytes, std::size_t threads) override;
    void StartReflectTimer() override;
    void ShowStatusText(std::string_view textUtf8) override;
    void RevealResponse(std::string_view resId) override;

    // How long a status text stays in the status line.
    static constexpr int kStatusTextMs = 30 * 1000;

private:
    QAction* AddCommand(QMenu* menu, const char* text, int id, const char* prompt = nullptr);
    void CreateMenus();
    void CreateToolBars();
    void CreateShortcuts();
    void SetTitleFrom(std::string_view title);
    // Sets the window title and remembers it for the selected tab.
    void SetThreadWindowTitle(std::string_view title);
    // F6 and Shift+F6: the keyboard focus to the next or previous pane.
    void MoveFocusToPane(int step);

    CPelmarDoc* m_doc = nullptr;
    CReaderControls* m_readerControls = nullptr;
    QSplitter* m_outerSplitter = nullptr;
    QSplitter* m_innerSplitter = nullptr;
    CCategoryTreeView* m_categoryTree = nullptr;
    CThreadListView* m_threadList = nullptr;
    CTabView* m_tabView = nullptr;
    CProgressStatusBar* m_statusBar = nullptr;
    QToolBar* m_toolBar = nullptr;
    QToolBar* m_dialogBar = nullptr;
    QMenu* m_testMenu = nullptr;
    QTimer m_reflectTimer;
    std::vector<std::pair<int, QAction*>> m_actions;
};

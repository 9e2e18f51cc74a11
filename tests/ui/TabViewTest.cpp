// CTabView and CThreadHtmlView: tabs, labels and the rendered thread page,
// on a real document whose application directory is a temporary one.
#include "ui/TabView.h"
#include "ui/PagePath.h"
#include "ui/ThreadHtmlView.h"

#include "store/ThreadRecord.h"
#include "support/InProcessNode.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>

#include <filesystem>
#include <gtest/gtest.h>

namespace {
const std::string kTitle = "\x83\x58\x83\x8c\x83\x62\x83\x68"; // スレッド
const std::string kOtherTitle = "\x83\x8c\x83\x58";            // レス

// Receives the links the page hands to the desktop.
class LinkCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened.append(url); }
};

class TabViewTest : public ::testing::Test {
protected:
    TabViewTest() : node("127.0.0.1", 0), view(*node.doc) {}

    // Lays out a thread whose opening post is held and makes it current.
    std::string StoreCurrentThread(const std::string& idText, const std::string& title,
                                   const std::string& mail = "") {
        const CBinaryId id = CBinaryId::FromText(idText);
        CThreadRecord thread(id, title, "cat", "name", mail, "body", id, CBinaryId(), 1000, 1000);
        thread.SetHeld(1);
        EXPECT_TRUE(thread.Create(node.ThreadDir(), nullptr));
        node.doc->SetCurrentThreadId(idText);
        node.doc->SetCurrentThreadTitle(title);
        return idText;
    }
    std::string PageFile() const { return node.dir / "current.html"; }

    InProcessNode node;
    CTabView view;
};
} // namespace

TEST_F(TabViewTest, StartsWithOneUnlabelledTabInTheLabelFont) {
    EXPECT_EQ(view.TabCount(), 1);
    EXPECT_EQ(view.CurrentIndex(), 0);
    EXPECT_TRUE(view.TabLabel(0).isEmpty());
    ASSERT_NE(view.Page(0), nullptr);
    EXPECT_TRUE(view.Page(0)->toPlainText().isEmpty());
    const QFont font = view.findChild<QTabWidget*>()->tabBar()->font();
    EXPECT_EQ(font.family(), QStringLiteral("ＭＳ Ｐゴシック"));
    EXPECT_EQ(font.pointSize(), 10);
}

TEST_F(TabViewTest, NewTabsAreAddedSelectedAndLabelledFromShiftJis) {
    view.OpenThreadInNewTab(kTitle);
    view.OpenThreadInNewTab(kTitle);
    EXPECT_EQ(view.TabCount(), 3);
    EXPECT_EQ(view.CurrentIndex(), 2);
    EXPECT_TRUE(view.TabLabel(0).isEmpty());
    EXPECT_EQ(view.TabLabel(1), QString::fromUtf8("スレッド"));
    EXPECT_EQ(view.TabLabel(2), QString::fromUtf8("スレッド"));
}

TEST_F(TabViewTest, ShowCurrentThreadWritesThePageBesideTheProgramAndShowsIt) {
    StoreCurrentThread("0123456789abcdef0123456789abcdef", kTitle);
    view.ShowCurrentThread(kTitle);

    EXPECT_EQ(view.TabLabel(0), QString::fromUtf8("スレッド"));
    EXPECT_TRUE(view.Page(0)->toPlainText().contains(QString::fromUtf8("スレッド")));
    const std::string page = TempDir::ReadFile(PageFile());
    EXPECT_NE(page.find("<title>" + kTitle + "</title>"), std::string::npos);
}

TEST_F(TabViewTest, AnEmptyTitleKeepsTheLabelAndAnOlderTabKeepsItsPage) {
    StoreCurrentThread("0123456789abcdef0123456789abcdef", kTitle);
    view.ShowCurrentThread(kTitle);
    StoreCurrentThread("fedcba9876543210fedcba9876543210", kOtherTitle);
    view.OpenThreadInNewTab(kOtherTitle);
    view.ShowCurrentThread("");

    EXPECT_EQ(view.TabLabel(1), QString::fromUtf8("レス"));
    EXPECT_TRUE(view.Page(1)->toPlainText().contains(QString::fromUtf8("レス")));
    // The file now holds the second thread; the first tab still shows its own.
    EXPECT_TRUE(view.Page(0)->toPlainText().contains(QString::fromUtf8("スレッド")));
    EXPECT_FALSE(view.Page(0)->toPlainText().contains(QString::fromUtf8("レス")));
}

TEST_F(TabViewTest, NoCurrentThreadWritesAndShowsNothing) {
    view.ShowCurrentThread("");
    EXPECT_FALSE(std::filesystem::exists(PageFile()));
    EXPECT_TRUE(view.Page(0)->toPlainText().isEmpty());
}

TEST_F(TabViewTest, OnlyMailLinksGoToTheDesktop) {
    LinkCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher, "Open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "Open");
    emit view.Page(0)->anchorClicked(QUrl(QStringLiteral("mailto:someone@example.org")));
    emit view.Page(0)->anchorClicked(QUrl(QStringLiteral("http://example.org/")));
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));

    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened.front().scheme(), QStringLiteral("mailto"));
}

TEST_F(TabViewTest, NewAndHiddenPagesAlwaysHaveTheShownPagesSize) {
    view.resize(600, 400);
    view.show();
    QCoreApplication::processEvents();
    view.OpenThreadInNewTab(kTitle);
    // At once, before the event loop has laid anything out again.
    EXPECT_EQ(view.Page(1)->geometry(), view.Page(0)->geometry());

    view.resize(500, 300);
    QCoreApplication::processEvents();
    const QRect shown = view.Page(1)->geometry();
    view.findChild<QTabWidget*>()->setCurrentIndex(0);
    EXPECT_EQ(view.Page(0)->geometry(), shown);
    EXPECT_EQ(view.CurrentIndex(), 0);
}

TEST_F(TabViewTest, TabsCloseByTheirButtonOrAMiddleClickButTheLastStays) {
    view.resize(600, 400);
    view.show();
    view.OpenThreadInNewTab(kTitle);
    view.OpenThreadInNewTab(kOtherTitle);
    QCoreApplication::processEvents();
    QTabBar* bar = view.findChild<QTabWidget*>()->tabBar();
    ASSERT_EQ(view.TabCount(), 3);

    // The middle button on the second tab closes it.
    const QPoint middle = bar->tabRect(1).center();
    QMouseEvent release(QEvent::MouseButtonRelease, middle, bar->mapToGlobal(middle),
                        Qt::MiddleButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(bar, &release);
    ASSERT_EQ(view.TabCount(), 2);
    EXPECT_EQ(view.TabLabel(1), QString::fromUtf8("レス"));

    // The close button of the selected tab closes it; the last one has none.
    auto* button = qobject_cast<QAbstractButton*>(bar->tabButton(1, QTabBar::RightSide));
    ASSERT_NE(button, nullptr);
    button->click();
    EXPECT_EQ(view.TabCount(), 1);
    EXPECT_EQ(bar->tabButton(0, QTabBar::RightSide), nullptr);
    EXPECT_FALSE(view.CloseTab(0));
    EXPECT_EQ(view.TabCount(), 1);
}

TEST(PagePathTest, FallsBackToTheCacheDirectoryWhenTheProgramsDirectoryIsMissing) {
    TempDir dir;
    EXPECT_EQ(pagepath::CurrentPagePath(dir.Path()), dir / "current.html");

    QStandardPaths::setTestModeEnabled(true);
    const std::string path = pagepath::CurrentPagePath(dir / "missing/");
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    QStandardPaths::setTestModeEnabled(false);
    EXPECT_EQ(QFileInfo(QString::fromStdString(path)).fileName(), QStringLiteral("current.html"));
    EXPECT_EQ(QFileInfo(QString::fromStdString(path)).absolutePath(), QDir(cache).absolutePath());
    EXPECT_TRUE(QFileInfo(cache).isDir());
}

#include "TabViewTest.moc"

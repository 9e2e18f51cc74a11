// CTabView: a QTabWidget of CThreadHtmlView pages. GUI thread.
#include "ui/TabView.h"

#include "ui/DisplayText.h"
#include "ui/ThreadHtmlView.h"

#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
// The page property holding the window title of the tab's thread.
constexpr const char* kWindowTitle = "pelmarWindowTitle";
} // namespace

CTabView::CTabView(CPelmarDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_tabs(new QTabWidget(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);
    m_tabs->setObjectName(QStringLiteral("tabControl"));
    m_tabs->setMovable(false);
    m_tabs->tabBar()->setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 10));
    m_tabs->tabBar()->installEventFilter(this);
    connect(m_tabs, &QTabWidget::currentChanged, this, &CTabView::OnCurrentChanged);
    connect(m_tabs, &QTabWidget::tabCloseRequested, this, &CTabView::CloseTab);
    AddTab({});
}

void CTabView::ShowCurrentThread(std::string_view title) {
    if (!title.empty())
        SetTabTitle(title);
    if (CThreadHtmlView* page = Page(CurrentIndex()))
        page->RenderThread();
}

void CTabView::OpenThreadInNewTab(std::string_view title) {
    AddTab(title);
    if (CThreadHtmlView* page = Page(CurrentIndex()))
        page->RenderThread();
}

int CTabView::TabCount() const {
    return m_tabs->count();
}

void CTabView::AddTab(std::string_view title) {
    auto* page = new CThreadHtmlView(m_doc, m_tabs);
    page->SetReader(m_reader);
    const int index = m_tabs->addTab(page, displaytext::Label(title));
    // Only a tab that is not the last one can be closed.
    m_tabs->setTabsClosable(m_tabs->count() > 1);
    m_tabs->setCurrentIndex(index);
    OnCurrentChanged(index); // the first tab is current without a change signal
}

void CTabView::SetTabTitle(std::string_view title) {
    const int index = CurrentIndex();
    if (index >= 0)
        m_tabs->setTabText(index, displaytext::Label(title));
}

bool CTabView::CloseTab(int index) {
    if (m_tabs->count() <= 1 || index < 0 || index >= m_tabs->count())
        return false;
    QWidget* page = m_tabs->widget(index);
    m_tabs->removeTab(index);
    delete page;
    m_tabs->setTabsClosable(m_tabs->count() > 1);
    return true;
}

int CTabView::CurrentIndex() const {
    return m_tabs->currentIndex();
}

QString CTabView::TabLabel(int index) const {
    return m_tabs->tabText(index);
}

CThreadHtmlView* CTabView::Page(int index) const {
    return qobject_cast<CThreadHtmlView*>(m_tabs->widget(index));
}

void CTabView::SetCurrentWindowTitle(const QString& title) {
    if (CThreadHtmlView* page = Page(CurrentIndex()))
        page->setProperty(kWindowTitle, title);
}

QString CTabView::CurrentWindowTitle() const {
    const CThreadHtmlView* page = Page(CurrentIndex());
    const QString title = page ? page->property(kWindowTitle).toString() : QString();
    return title.isEmpty() ? QStringLiteral("pelmar") : title;
}

bool CTabView::eventFilter(QObject* watched, QEvent* event) {
    // A middle click on a tab closes it, as in a web browser.
    if (watched == m_tabs->tabBar() && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::MiddleButton) {
            CloseTab(m_tabs->tabBar()->tabAt(mouse->position().toPoint()));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CTabView::OnCurrentChanged(int index) {
    // Focus given to the tab view goes on to the page being read.
    CThreadHtmlView* page = Page(index);
    setFocusProxy(page);
    if (page && isVisible())
        page->setFocus();
    emit currentTabChanged();
}

void CTabView::SetReader(CReader* reader) {
    m_reader = reader;
    for (int i = 0; i < m_tabs->count(); ++i)
        if (CThreadHtmlView* page = Page(i))
            page->SetReader(reader);
}

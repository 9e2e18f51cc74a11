// CTabView: a QTabWidget of CThreadHtmlView pages. GUI thread.
#include "ui/TabView.h"

#include "ui/Cp932.h"
#include "ui/ThreadHtmlView.h"

#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

CTabView::CTabView(CPelmarDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_tabs(new QTabWidget(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);
    m_tabs->setObjectName(QStringLiteral("tabControl"));
    m_tabs->setTabsClosable(false);
    m_tabs->setMovable(false);
    m_tabs->tabBar()->setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 10));
    connect(m_tabs, &QTabWidget::currentChanged, this, &CTabView::OnCurrentChanged);
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
    const int index = m_tabs->addTab(page, cp932::ToQString(title));
    m_tabs->setCurrentIndex(index);
    OnCurrentChanged(index); // the first tab is current without a change signal
}

void CTabView::SetTabTitle(std::string_view title) {
    const int index = CurrentIndex();
    if (index >= 0)
        m_tabs->setTabText(index, cp932::ToQString(title));
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

void CTabView::OnCurrentChanged(int index) {
    // Focus given to the tab view goes on to the page being read.
    CThreadHtmlView* page = Page(index);
    setFocusProxy(page);
    if (page && isVisible())
        page->setFocus();
}

// CProgressStatusBar: seven panes with the progress bar in pane 1. The prompt
// of a highlighted menu item or toolbar button replaces "ﾚﾃﾞｨ" in pane 0 only;
// the other panes are permanent so they never disappear behind a prompt.
// GUI thread.
#include "ui/ProgressStatusBar.h"

#include <QLabel>
#include <QProgressBar>

#include <algorithm>

namespace {
constexpr int kProgressWidth = 100;
constexpr int kPaneWidth = 32;
constexpr const char* kNeighbourPrefixes[4] = {"N:", "S:", "W:", "E:"};

QLabel* MakePane(QWidget* parent) {
    auto* pane = new QLabel(parent);
    // At least the pane's width; wider only when a font would cut the text.
    pane->setMinimumWidth(kPaneWidth);
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return pane;
}
} // namespace

CProgressStatusBar::CProgressStatusBar(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(true);
    m_ready = new QLabel(QString::fromUtf8("ﾚﾃﾞｨ"), this);
    addWidget(m_ready, 1);

    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setFixedWidth(kProgressWidth);
    m_progress->setMaximumHeight(fontMetrics().height());
    addPermanentWidget(m_progress);

    for (int pane = kOpenPane; pane < kPaneCount; ++pane) {
        m_panes[static_cast<std::size_t>(pane)] = MakePane(this);
        addPermanentWidget(m_panes[static_cast<std::size_t>(pane)]);
    }
    m_store = MakePane(this);
    addPermanentWidget(m_store);
    SetStatusNeighbours({});
}

void CProgressStatusBar::SetStatusOpen(int state) {
    const char* text = state == 1 ? "open" : state == 2 ? "close" : "";
    m_panes[kOpenPane]->setText(QString::fromLatin1(text));
}

void CProgressStatusBar::SetStatusNeighbours(const std::array<std::string, 4>& peers) {
    for (std::size_t i = 0; i < peers.size(); ++i)
        m_panes[kFirstNeighbourPane + i]->setText(NeighbourText(kNeighbourPrefixes[i], peers[i]));
}

void CProgressStatusBar::SetProgress(int percent) {
    m_progress->setValue(std::clamp(percent, 0, 100));
}

void CProgressStatusBar::SetStatusStore(std::uint64_t bytes, std::size_t threads) {
    m_store->setText(StoreText(bytes, threads));
}

QString CProgressStatusBar::StoreText(std::uint64_t bytes, std::size_t threads) {
    return QString::fromUtf8("保存 %1 MB・%2 スレッド")
        .arg(static_cast<double>(bytes) / (1024.0 * 1024.0), 0, 'f', 1)
        .arg(threads);
}

QString CProgressStatusBar::PaneText(int pane) const {
    if (pane == 0)
        return currentMessage().isEmpty() ? m_ready->text() : currentMessage();
    if (pane == kProgressPane)
        return QString::number(m_progress->value());
    if (pane == kStorePane)
        return m_store->text();
    if (pane < kOpenPane || pane >= kPaneCount)
        return {};
    return m_panes[static_cast<std::size_t>(pane)]->text();
}

int CProgressStatusBar::Progress() const {
    return m_progress->value();
}

QString CProgressStatusBar::NeighbourText(const char* prefix, const std::string& address) {
    const std::size_t dot = address.rfind('.');
    const std::string last = dot == std::string::npos ? address : address.substr(dot + 1);
    // Addresses are ASCII; Latin-1 shows any stray byte rather than dropping it.
    return QString::fromLatin1(prefix) + QString::fromLatin1(last.data(), qsizetype(last.size()));
}

// CReaderControls: menus, boxes and the read marks of the desktop.
#include "ui/ReaderControls.h"

#include "app/PelmarDoc.h"
#include "frontend/PageBuilder.h"
#include "reader/Reader.h"
#include "store/ThreadRecord.h"
#include "ui/CategoryTreeView.h"
#include "ui/Cp932.h"
#include "ui/MainFrame.h"
#include "ui/NgRuleDialog.h"
#include "ui/SearchResults.h"
#include "ui/TabView.h"
#include "ui/ThreadHtmlView.h"
#include "ui/ThreadListView.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace {
QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}
} // namespace

CReaderControls::CReaderControls(CMainFrame& frame, CReader& reader)
    : QObject(&frame), m_frame(frame), m_reader(reader) {
    QMenu* menu = new QMenu(U("リーダー(&R)"), &frame);
    menu->setObjectName(QStringLiteral("readerMenu"));
    connect(menu->addAction(U("NGルール(&N)...")), &QAction::triggered, this,
            &CReaderControls::EditRules);
    QAction* showFiltered = menu->addAction(U("NGで隠したものも表示(&S)"));
    showFiltered->setObjectName(QStringLiteral("showFiltered"));
    showFiltered->setCheckable(true);
    connect(showFiltered, &QAction::toggled, this, &CReaderControls::SetShowFiltered);
    menu->addSeparator();
    connect(menu->addAction(U("すべて既読にする(&A)")), &QAction::triggered, this,
            &CReaderControls::MarkAllRead);
    // Before the help menu, which stays last.
    const QList<QAction*> menus = frame.menuBar()->actions();
    frame.menuBar()->insertMenu(menus.isEmpty() ? nullptr : menus.back(), menu);

    auto* bar = new QToolBar(U("検索"), &frame);
    bar->setObjectName(QStringLiteral("readerBar"));
    bar->setAllowedAreas(Qt::TopToolBarArea);
    bar->setFloatable(false);
    m_searchBox = new QLineEdit(bar);
    m_searchBox->setObjectName(QStringLiteral("searchBox"));
    m_searchBox->setPlaceholderText(U("保存したスレッドを検索"));
    m_searchBox->setClearButtonEnabled(true);
    m_searchBox->setMinimumWidth(180);
    bar->addWidget(m_searchBox);
    frame.addToolBar(Qt::TopToolBarArea, bar);
    connect(m_searchBox, &QLineEdit::returnPressed, this, [this] { Search(m_searchBox->text()); });

    m_results = new CSearchResults(&frame);
    m_results->SetOnOpen([this](const CSearchHit& hit) { OpenHit(hit); });

    // The worker reports from its own thread; the views hear of it here.
    reader.SetIndexedCallback([this](const std::string& threadId) {
        QMetaObject::invokeMethod(
            this, [this, threadId] { OnIndexed(threadId); }, Qt::QueuedConnection);
    });
}

QWidget* CReaderControls::AttachViews(CPelmarDoc& doc, QWidget* listParent) {
    m_doc = &doc;
    CThreadListView* list = m_frame.ThreadList();
    CCategoryTreeView* tree = m_frame.CategoryTree();
    list->SetReader(&m_reader);
    tree->SetReader(&m_reader);
    m_frame.Tabs()->SetReader(&m_reader);
    list->SetOnThreadShown([this](const std::string& threadId, std::optional<int> seen) {
        ThreadShown(threadId, seen);
    });
    list->SetOnReaderChanged([tree] { tree->RefreshNewMarks(); });
    tree->SetOnFavouritesSelected([list](bool on) { list->SetFavouritesMode(on); });

    auto* box = new QWidget(listParent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    m_filterBox = new QLineEdit(box);
    m_filterBox->setObjectName(QStringLiteral("filterBox"));
    m_filterBox->setPlaceholderText(U("タイトルで絞り込み"));
    m_filterBox->setClearButtonEnabled(true);
    connect(m_filterBox, &QLineEdit::textChanged, list, &CThreadListView::SetTitleFilter);
    layout->addWidget(m_filterBox);
    list->setParent(box);
    layout->addWidget(list);
    // The index catches up with the store off the GUI thread from now on.
    m_reader.StartIndexing();
    return box;
}

void CReaderControls::ScrollTo(std::vector<std::string> postIds) {
    CTabView* tabs = m_frame.Tabs();
    if (CThreadHtmlView* page = tabs ? tabs->Page(tabs->CurrentIndex()) : nullptr)
        page->ScrollToFirstEntry(std::move(postIds));
}

void CReaderControls::ThreadShown(const std::string& threadId, std::optional<int> seenBefore) {
    if (!m_doc)
        return;
    CThreadRecord thread;
    if (!thread.Load(threadId, m_doc->GetThreadDir()))
        return;
    const int held = thread.GetHeld();
    if (seenBefore && *seenBefore < held) {
        // The posts past the ones seen are the new ones; a hidden one is not
        // on the page, so the first that is. A large page is still being
        // built: the scroll waits for it.
        const auto posts = CPageBuilder(m_doc->GetThreadDir(), nullptr).LoadPosts(threadId);
        std::vector<std::string> fresh;
        for (std::size_t i = static_cast<std::size_t>(*seenBefore); i < posts.size(); ++i)
            fresh.push_back(posts[i].id);
        ScrollTo(std::move(fresh));
    }
    m_reader.Marks().SetSeen(threadId, held);
    m_frame.ThreadList()->RefreshRow(threadId);
    m_frame.CategoryTree()->RefreshNewMarks();
}

void CReaderControls::MarkCurrentSeen() {
    if (!m_doc || m_doc->GetCurrentThreadId().empty())
        return;
    CThreadRecord thread;
    if (!thread.Load(m_doc->GetCurrentThreadId(), m_doc->GetThreadDir()))
        return;
    m_reader.Marks().SetSeen(m_doc->GetCurrentThreadId(), thread.GetHeld());
    m_frame.ThreadList()->RefreshRow(m_doc->GetCurrentThreadId());
    m_frame.CategoryTree()->RefreshNewMarks();
}

void CReaderControls::Search(const QString& text) {
    const QString query = text.trimmed();
    if (query.isEmpty())
        return;
    m_results->ShowHits(query, m_reader.Index().Search(query.toStdString()));
    m_results->show();
    m_results->raise();
}

void CReaderControls::OpenHit(const CSearchHit& hit) {
    if (!m_doc)
        return;
    CThreadRecord thread;
    const bool held = thread.Load(hit.threadId, m_doc->GetThreadDir());
    m_doc->SetCurrentThreadId(hit.threadId);
    m_doc->SetCurrentThreadTitle(held ? thread.GetTitle() : std::string());
    m_doc->ShowCurrentThread(m_doc->GetCurrentThreadTitle());
    ScrollTo({hit.postId});
    if (held) {
        m_reader.Marks().SetSeen(hit.threadId, thread.GetHeld());
        m_frame.ThreadList()->RefreshRow(hit.threadId);
        m_frame.CategoryTree()->RefreshNewMarks();
    }
}

void CReaderControls::EditRules() {
    const QString category = m_doc ? cp932::ToQString(m_doc->GetCurrentCategory()) : QString();
    const QString threadId =
        m_doc ? QString::fromStdString(m_doc->GetCurrentThreadId()) : QString();
    CNgRuleDialog dialog(m_reader.RuleFile(), category, threadId, &m_frame);
    if (dialog.exec() == QDialog::Accepted)
        RefreshViews();
}

void CReaderControls::SetShowFiltered(bool on) {
    m_reader.SetShowFiltered(on);
    RefreshViews();
}

void CReaderControls::MarkAllRead() {
    m_frame.ThreadList()->MarkAllRead();
}

void CReaderControls::RefreshViews() {
    if (!m_doc)
        return;
    m_frame.ThreadList()->Refill();
    m_frame.CategoryTree()->RefreshNewMarks();
    if (!m_doc->GetCurrentThreadId().empty())
        m_doc->ShowCurrentThread("");
}

void CReaderControls::OnIndexed(const std::string& threadId) {
    if (!m_doc)
        return;
    if (!threadId.empty())
        m_frame.ThreadList()->RefreshRow(threadId);
    m_frame.CategoryTree()->RefreshNewMarks();
}

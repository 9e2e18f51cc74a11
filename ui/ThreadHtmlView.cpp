// CThreadHtmlView: renders the current thread with the page builder and shows
// the file's Shift_JIS bytes. GUI thread.
#include "ui/ThreadHtmlView.h"

#include "app/PelmarDoc.h"
#include "base/BinaryId.h"
#include "frontend/PageBuilder.h"
#include "frontend/PageFile.h"
#include "reader/NgPageFilter.h"
#include "reader/Reader.h"
#include "store/ThreadRecord.h"
#include "ui/Cp932.h"
#include "ui/PagePath.h"

#include "store/FileSystem.h"
#include "store/StorePaths.h"
#include "store/StoreReporter.h"

#include <QAbstractTextDocumentLayout>
#include <QDesktopServices>
#include <QScrollBar>
#include <QTextDocument>
#include <QThread>
#include <QUrl>

#include <memory>
#include <utility>
#include <vector>

namespace {

// The rules that apply to one thread's page, or none.
struct SPageRules {
    std::shared_ptr<const CNgFilter> filter;
    std::string category; // UTF-8

    SPageRules(CReader* reader, const std::string& root, const std::string& threadId) {
        if (!reader)
            return;
        filter = reader->Filter();
        if (filter->Empty()) {
            filter.reset();
            return;
        }
        CThreadRecord thread;
        if (thread.Load(threadId, root))
            category = CReader::CategoryText(thread.GetCategory());
    }
    // A page with no rules is built without a filter: its bytes stay as they were.
    CPageBuilder::Outcome Render(const CPageBuilder& builder, const std::string& threadId,
                                 const std::string& path, std::string& page,
                                 std::uint64_t ticket) const {
        if (!filter)
            return builder.RenderThread(threadId, path, nullptr, &page, ticket);
        const CNgPageFilter pageFilter(*filter, threadId, category);
        return builder.RenderThread(threadId, path, &pageFilter, &page, ticket);
    }
};

// What a page built off the GUI thread brings back: the parsed document and
// the store's messages, which are shown on the GUI thread before the page.
struct SBackgroundPage : IStoreReporter {
    void ReportStoreFailure(std::string_view textUtf8) override { messages.emplace_back(textUtf8); }
    ~SBackgroundPage() override {
        if (document)
            document->deleteLater();
    }
    std::vector<std::string> messages;
    QTextDocument* document = nullptr;
};

} // namespace

CThreadHtmlView::CThreadHtmlView(CPelmarDoc& doc, QWidget* parent)
    : QTextBrowser(parent), m_doc(doc) {
    setFrameShape(QFrame::StyledPanel);
    // The browser would try to load a mailto: link as a document; links go
    // to the desktop instead.
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &CThreadHtmlView::OnAnchorClicked);
}

void CThreadHtmlView::RenderThread() {
    const std::string& threadId = m_doc.GetCurrentThreadId();
    if (threadId.empty())
        return;
    if (m_building) {
        m_renderPending = true;
        return;
    }
    // A scroll asked for an earlier page is not this one's.
    m_pendingScroll.clear();
    // Every tab writes the same file; the ticket keeps a page asked for
    // earlier in another tab from replacing this one once it is written.
    const std::uint64_t ticket = CPageFile::NextTicket();
    const std::string path = pagepath::CurrentPagePath(m_doc.GetApplicationDir());
    if (CBinaryId::IsWellFormedText(threadId) &&
        storefs::ListFiles(storepaths::ThreadDir(m_doc.GetThreadDir(), threadId),
                           storepaths::kResSuffix)
                .size() >= kBackgroundResponses) {
        RenderInBackground(threadId, path, ticket);
        return;
    }
    // The view shows the page it built, not the file read back: another
    // tab's page may be in the file by then. A file that could not be
    // written does not keep the page from showing.
    std::string page;
    SPageRules(m_reader, m_doc.GetThreadDir(), threadId)
        .Render(CPageBuilder(m_doc.GetThreadDir(), &m_doc), threadId, path, page, ticket);
    ShowPage(page, path);
    // A thread only announced so far has no page (the file is empty, as it
    // always was); the view says how to get it instead of showing nothing.
    CThreadRecord thread;
    if (!thread.Load(threadId, m_doc.GetThreadDir()))
        setHtml(NotHeldNotice());
}

QString CThreadHtmlView::NotHeldNotice() {
    return QString::fromUtf8("<html><body><br><br><p align=\"center\">"
                             "このスレッドはまだ取得されていません。<br>"
                             "スレッド取得（またはダブルクリック）で取得してください。"
                             "</p></body></html>");
}

bool CThreadHtmlView::ScrollToFirstEntry(std::vector<std::string> resIds) {
    if (m_building) {
        m_pendingScroll = std::move(resIds);
        return true;
    }
    for (const std::string& resId : resIds)
        if (ScrollToEntry(resId))
            return true;
    return false;
}

bool CThreadHtmlView::ScrollToEntry(const std::string& resId) {
    // The id is on the entry's heading line, in white after the date.
    QTextCursor found = document()->find(QString::fromStdString(resId));
    if (resId.empty() || found.isNull())
        return false;
    found.movePosition(QTextCursor::StartOfBlock);
    setTextCursor(found);
    const int top = cursorRect(found).top();
    verticalScrollBar()->setValue(verticalScrollBar()->value() + top);
    return true;
}

void CThreadHtmlView::RenderInBackground(const std::string& threadId, const std::string& path,
                                         std::uint64_t ticket) {
    m_building = true;
    auto page = std::make_shared<SBackgroundPage>();
    const std::string root = m_doc.GetThreadDir();
    const QFont font = document()->defaultFont();
    const qreal width = document()->pageSize().width();
    QThread* gui = thread();
    auto rules = std::make_shared<SPageRules>(m_reader, root, threadId);
    // The page is built, written, parsed and laid out off the GUI thread;
    // the document is then handed over whole.
    QThread* builder =
        QThread::create([page, root, threadId, path, ticket, font, width, gui, rules] {
            std::string bytes;
            rules->Render(CPageBuilder(root, page.get()), threadId, path, bytes, ticket);
            auto* document = new QTextDocument;
            document->setDefaultFont(font);
            document->setBaseUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
            document->setHtml(cp932::ToQString(bytes));
            // Laid out here at the view's width, so that the view has no more
            // layout of its own to do unless its width changes.
            document->setPageSize(QSizeF(width, -1));
            document->documentLayout()->documentSize();
            document->moveToThread(gui);
            page->document = document;
        });
    connect(builder, &QThread::finished, builder, &QObject::deleteLater);
    connect(builder, &QThread::finished, this, [this, page] {
        m_building = false;
        for (const std::string& message : page->messages)
            m_doc.ReportStoreFailure(message);
        if (page->document) {
            // A document that is the view's child is the view's to delete.
            page->document->setParent(this);
            setDocument(page->document);
            page->document = nullptr;
        }
        if (m_renderPending) {
            m_renderPending = false;
            std::vector<std::string> scroll = std::move(m_pendingScroll);
            RenderThread();
            ScrollToFirstEntry(std::move(scroll));
        } else if (!m_pendingScroll.empty()) {
            ScrollToFirstEntry(std::exchange(m_pendingScroll, {}));
        }
    });
    builder->start();
}

void CThreadHtmlView::ShowPage(const std::string& page, const std::string& path) {
    // The page declares shift_jis; the conversion happens here, once, so the
    // declared charset has nothing left to do.
    document()->setBaseUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
    setHtml(cp932::ToQString(page));
}

void CThreadHtmlView::OnAnchorClicked(const QUrl& link) {
    // The page's only links are the posters' mail addresses; anything else
    // came from another node's text and is not followed.
    if (link.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) == 0)
        QDesktopServices::openUrl(link);
}

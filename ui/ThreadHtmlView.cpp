// CThreadHtmlView: renders the current thread with the page builder and shows
// the file's Shift_JIS bytes. GUI thread.
#include "ui/ThreadHtmlView.h"

#include "app/PelmarDoc.h"
#include "frontend/PageBuilder.h"
#include "store/ThreadRecord.h"
#include "ui/Cp932.h"
#include "ui/PagePath.h"

#include <QDesktopServices>
#include <QFile>
#include <QScrollBar>
#include <QUrl>

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
    const std::string path = pagepath::CurrentPagePath(m_doc.GetApplicationDir());
    // A file that could not be written is still shown: whatever it holds.
    CPageBuilder(m_doc.GetThreadDir(), &m_doc).RenderThread(threadId, path);
    ShowPageFile(path);
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

void CThreadHtmlView::ShowPageFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    // The page declares shift_jis; the conversion happens here, once, so the
    // declared charset has nothing left to do.
    document()->setBaseUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
    setHtml(cp932::ToQString(std::string_view(bytes.constData(), bytes.size())));
}

void CThreadHtmlView::OnAnchorClicked(const QUrl& link) {
    // The page's only links are the posters' mail addresses; anything else
    // came from another node's text and is not followed.
    if (link.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) == 0)
        QDesktopServices::openUrl(link);
}

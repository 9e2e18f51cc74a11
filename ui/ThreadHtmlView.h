// CThreadHtmlView: one tab's page, showing the current thread as rendered
// into "current.html". GUI thread.
#pragma once

#include <QTextBrowser>

#include <string>

class CPelmarDoc;
class QUrl;

class CThreadHtmlView : public QTextBrowser {
    Q_OBJECT
public:
    CThreadHtmlView(CPelmarDoc& doc, QWidget* parent = nullptr);

    // Writes the document's current thread to the page file and shows it.
    // Without a current thread the file and the page stay as they are.
    void RenderThread();
    // Scrolls so that the entry with this response id starts at the top of
    // the view; false when the page does not hold it.
    bool ScrollToEntry(const std::string& resId);
    // What the page says for a thread that is not held here (announced only).
    static QString NotHeldNotice();

private:
    void ShowPageFile(const std::string& path);
    void OnAnchorClicked(const QUrl& link);

    CPelmarDoc& m_doc;
};

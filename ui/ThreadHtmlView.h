// CThreadHtmlView: one tab's page, showing the current thread as rendered
// into "current.html". GUI thread.
#pragma once

#include <QTextBrowser>

class CPelmarDoc;
class QUrl;

class CThreadHtmlView : public QTextBrowser {
    Q_OBJECT
public:
    CThreadHtmlView(CPelmarDoc& doc, QWidget* parent = nullptr);

    // Writes the document's current thread to the page file and shows it.
    // Without a current thread the file and the page stay as they are.
    void RenderThread();

private:
    void ShowPageFile(const std::string& path);
    void OnAnchorClicked(const QUrl& link);

    CPelmarDoc& m_doc;
};

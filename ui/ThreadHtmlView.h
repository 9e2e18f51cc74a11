// CThreadHtmlView: one tab's page, showing the thread that was current when
// it was rendered, and writing it to "current.html" as well. GUI thread; the
// page of a thread with thousands of responses is built and parsed on a
// thread of its own meanwhile.
#pragma once

#include <QTextBrowser>

#include <cstdint>
#include <string>
#include <vector>

class CPelmarDoc;
class CReader;
class QUrl;

class CThreadHtmlView : public QTextBrowser {
    Q_OBJECT
public:
    CThreadHtmlView(CPelmarDoc& doc, QWidget* parent = nullptr);

    // From this many response files on, the page is built off the GUI thread
    // and shown once it is ready, so the window never stops for it.
    static constexpr std::size_t kBackgroundResponses = 2000;

    // The reader's NG filter then applies to the pages (nullptr: none).
    void SetReader(CReader* reader) { m_reader = reader; }

    // Writes the document's current thread to the page file and shows it.
    // Without a current thread the file and the page stay as they are.
    void RenderThread();
    // Scrolls so that the entry with this response id starts at the top of
    // the view; false when the page does not hold it.
    bool ScrollToEntry(const std::string& resId);
    // Scrolls to the first of these entries that the page holds (ids in page
    // order). While the page is built off the GUI thread, the scroll waits
    // for it; true then, false when the page is shown and holds none.
    bool ScrollToFirstEntry(std::vector<std::string> resIds);
    // What the page says for a thread that is not held here (announced only).
    static QString NotHeldNotice();
    // A page is being built off the GUI thread.
    bool IsBuilding() const { return m_building; }

private:
    void ShowPage(const std::string& page, const std::string& path);
    void RenderInBackground(const std::string& threadId, const std::string& path,
                            std::uint64_t ticket);
    void OnAnchorClicked(const QUrl& link);

    CPelmarDoc& m_doc;
    CReader* m_reader = nullptr;
    bool m_building = false;
    // Asked to render while a page was being built: rendered after it, so
    // the file ends with the page asked for last.
    bool m_renderPending = false;
    // Asked to scroll while a page was being built: done once it is shown.
    std::vector<std::string> m_pendingScroll;
};

// CReaderControls: the reader's tools in the main window: the "リーダー" menu
// (NG rules, show filtered, mark all read), the search box in its own tool
// bar, the filter box above the thread list, the read marks taken when a
// page is shown (and the scroll to where its new responses start), and the
// index worker's news passed to the list and the tree. Made by the frame when
// a reader is given to it. GUI thread.
#pragma once

#include <QObject>

#include <optional>
#include <string>
#include <vector>

class CMainFrame;
class CPelmarDoc;
class CReader;
class CSearchResults;
struct CSearchHit;
class QLineEdit;
class QWidget;

class CReaderControls : public QObject {
    Q_OBJECT
public:
    CReaderControls(CMainFrame& frame, CReader& reader);

    // The views were made for a document: wire them to the reader. Returns
    // the widget that takes the thread list's place (the list under the
    // filter box).
    QWidget* AttachViews(CPelmarDoc& doc, QWidget* listParent);

    // A thread's page was shown by the reader's choice: scroll to its first
    // new post (by the mark it had before) and mark it seen.
    void ThreadShown(const std::string& threadId, std::optional<int> seenBefore);
    // Marks the current thread seen as it is held now (after one's own post).
    void MarkCurrentSeen();
    // Runs a search and shows its hits.
    void Search(const QString& text);
    // Opens a hit's thread at its post.
    void OpenHit(const CSearchHit& hit);
    // Opens the NG rule dialog; after it, list and page follow the rules.
    void EditRules();
    void SetShowFiltered(bool on);
    void MarkAllRead();
    // The index worker finished a job (on its thread): list and tree follow.
    void OnIndexed(const std::string& threadId);

    QLineEdit* SearchBox() const { return m_searchBox; }
    QLineEdit* FilterBox() const { return m_filterBox; }
    CSearchResults* Results() const { return m_results; }

private:
    void RefreshViews();
    // The current page, to the first of these posts it shows.
    void ScrollTo(std::vector<std::string> postIds);

    CMainFrame& m_frame;
    CReader& m_reader;
    CPelmarDoc* m_doc = nullptr;
    QLineEdit* m_searchBox = nullptr;
    QLineEdit* m_filterBox = nullptr;
    CSearchResults* m_results = nullptr;
};

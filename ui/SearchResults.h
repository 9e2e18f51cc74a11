// CSearchResults: the hits of one search over the held threads, newest
// first: thread, time and the snippet with the match in 【】. Choosing a hit
// opens its thread at that post. A window of its own beside the frame; GUI
// thread.
#pragma once

#include "reader/SearchIndex.h"

#include <QDialog>

#include <functional>
#include <vector>

class QTreeWidget;

class CSearchResults : public QDialog {
    Q_OBJECT
public:
    explicit CSearchResults(QWidget* parent = nullptr);

    void ShowHits(const QString& query, std::vector<CSearchHit> hits);
    void SetOnOpen(std::function<void(const CSearchHit&)> open) { m_open = std::move(open); }
    // Opens hit i as a double click would.
    void Open(int index);
    QTreeWidget* List() const { return m_list; }

private:
    QTreeWidget* m_list;
    std::vector<CSearchHit> m_hits;
    std::function<void(const CSearchHit&)> m_open;
};

// CThreadListView: the threads of the current category, one row each; where
// the user picks the current thread. GUI thread.
#pragma once

#include "app/PelmarUi.h"

#include <QTreeWidget>

class CPelmarDoc;

class CThreadListView : public QTreeWidget {
    Q_OBJECT
public:
    CThreadListView(CPelmarDoc& doc, QWidget* parent = nullptr);

    // Rebuilds every row from the current category's index.
    void Refill();
    // Inserts or updates the row of one announced or fetched thread.
    void UpdateThreadRow(const CThreadSummary& summary);

private:
    CPelmarDoc& m_doc;
};

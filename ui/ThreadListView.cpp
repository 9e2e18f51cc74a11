// CThreadListView (being built).
#include "ui/ThreadListView.h"

CThreadListView::CThreadListView(CPelmarDoc& doc, QWidget* parent)
    : QTreeWidget(parent), m_doc(doc) {}

void CThreadListView::Refill() {}

void CThreadListView::UpdateThreadRow(const CThreadSummary&) {}

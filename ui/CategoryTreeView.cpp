// CCategoryTreeView (being built).
#include "ui/CategoryTreeView.h"

CCategoryTreeView::CCategoryTreeView(CPelmarDoc& doc, QWidget* parent)
    : QTreeWidget(parent), m_doc(doc) {}

bool CCategoryTreeView::Load() { return true; }

// CTabView (being built).
#include "ui/TabView.h"

CTabView::CTabView(CPelmarDoc& doc, QWidget* parent) : QWidget(parent), m_doc(doc) {}

void CTabView::ShowCurrentThread(std::string_view) {}
void CTabView::OpenThreadInNewTab(std::string_view) {}
int CTabView::TabCount() const { return 1; }

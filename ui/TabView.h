// CTabView: the tabbed thread pages; the document renders into the selected
// tab through it. GUI thread.
#pragma once

#include <QWidget>

#include <string_view>

class CPelmarDoc;

class CTabView : public QWidget {
    Q_OBJECT
public:
    CTabView(CPelmarDoc& doc, QWidget* parent = nullptr);

    // Renames the selected tab when title is not empty, then renders the
    // current thread into its page.
    void ShowCurrentThread(std::string_view title);
    // Adds a tab with that title, selects it and renders the current thread.
    void OpenThreadInNewTab(std::string_view title);
    int TabCount() const;

private:
    CPelmarDoc& m_doc;
};

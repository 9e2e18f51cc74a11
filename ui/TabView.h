// CTabView: the tabbed thread pages; the document renders into the selected
// tab through it. Tabs are only ever added, never closed. GUI thread.
#pragma once

#include <QWidget>

#include <string_view>

class CPelmarDoc;
class CThreadHtmlView;
class QTabWidget;

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

    // Adds a tab with a fresh page and selects it. title is raw Shift_JIS.
    void AddTab(std::string_view title);
    // Relabels the selected tab. title is raw Shift_JIS.
    void SetTabTitle(std::string_view title);
    int CurrentIndex() const;
    QString TabLabel(int index) const;
    CThreadHtmlView* Page(int index) const;

private:
    void OnCurrentChanged(int index);

    CPelmarDoc& m_doc;
    QTabWidget* m_tabs;
};

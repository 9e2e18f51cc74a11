// CTabView: the tabbed thread pages; the document renders into the selected
// tab through it. Tabs are added by "新しいタブで開く" and closed by their
// close button or a middle click, except the last one, which stays. Each tab
// remembers the window title of the thread it shows. GUI thread.
#pragma once

#include <QWidget>

#include <string_view>

class CPelmarDoc;
class CReader;
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
    // Every page, and each one added later, applies the reader's filter.
    void SetReader(CReader* reader);

    // Adds a tab with a fresh page and selects it. title is raw Shift_JIS.
    void AddTab(std::string_view title);
    // Relabels the selected tab. title is raw Shift_JIS.
    void SetTabTitle(std::string_view title);
    // Closes a tab and its page; false (nothing closed) for the last tab.
    bool CloseTab(int index);
    int CurrentIndex() const;
    QString TabLabel(int index) const;
    CThreadHtmlView* Page(int index) const;

    // The window title that goes with the selected tab: the frame sets it
    // when it names a thread, and takes it back when the tab is selected again.
    void SetCurrentWindowTitle(const QString& title);
    QString CurrentWindowTitle() const;

signals:
    // Another tab was selected (by a click, or because one was closed).
    void currentTabChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnCurrentChanged(int index);

    CPelmarDoc& m_doc;
    CReader* m_reader = nullptr;
    QTabWidget* m_tabs;
};

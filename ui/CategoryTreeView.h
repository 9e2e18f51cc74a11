// CCategoryTreeView: the categories of "category.dat"; selecting one makes it
// the current category. GUI thread.
#pragma once

#include <QTreeWidget>

#include <string>

class CPelmarDoc;

class CCategoryTreeView : public QTreeWidget {
    Q_OBJECT
public:
    CCategoryTreeView(CPelmarDoc& doc, QWidget* parent = nullptr);

    // Reads "category.dat" and selects the first category. False after the
    // message for a missing or malformed file: the application then ends
    // with status 0.
    bool Load();

    // An item's category name, its raw Shift_JIS bytes.
    static std::string ItemCategory(const QTreeWidgetItem& item);

private:
    void OnSelectionChanged();

    CPelmarDoc& m_doc;
    bool m_loading = false;
};

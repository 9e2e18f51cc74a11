// CThreadListView: the threads of the current category, one row each; where
// the user picks the current thread. GUI thread.
#pragma once

#include "app/PelmarUi.h"
#include "frontend/ThreadRows.h"

#include <QIcon>
#include <QTreeWidget>

#include <cstdint>
#include <string>

class CPelmarDoc;
class QContextMenuEvent;
class QShowEvent;

class CThreadListView : public QTreeWidget {
    Q_OBJECT
public:
    enum Column { kIcon, kTitle, kHeld, kResCount, kName, kUpdated, kCreated, kId, kColumnCount };
    // Item data of column 0: the row's picture (listicons::ThreadIcon).
    static constexpr int kIconRole = Qt::UserRole + 1;

    CThreadListView(CPelmarDoc& doc, QWidget* parent = nullptr);

    // Rebuilds every row from the current category's index.
    void Refill();
    // Inserts or updates the row of one announced or fetched thread.
    void UpdateThreadRow(const CThreadSummary& summary);

    // A row's thread id and its title's raw Shift_JIS bytes.
    static std::string RowId(const QTreeWidgetItem& row);
    static std::string RowTitle(const QTreeWidgetItem& row);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // keepCreated: a row being refreshed keeps the creation time it shows
    // when the fresh texts have none.
    void FillRow(QTreeWidgetItem& row, const CThreadRow& texts, bool keepCreated = false) const;
    void OnSelectionChanged();
    void OnItemClicked(QTreeWidgetItem* item);
    void OnItemDoubleClicked(QTreeWidgetItem* item);
    void ShowContextMenu(const QPoint& globalPos);

    CPelmarDoc& m_doc;
    QIcon m_icons[3];
    bool m_filled = false; // the first fill is made when the pane is first shown
};

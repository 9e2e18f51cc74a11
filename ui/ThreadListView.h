// CThreadListView: the threads of the current category, one row each; where
// the user picks the current thread. GUI thread.
#pragma once

#include "app/PelmarUi.h"
#include "frontend/ThreadRows.h"

#include <QIcon>
#include <QTreeWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class CPelmarDoc;
class CReader;
class QContextMenuEvent;
class QShowEvent;

class CThreadListView : public QTreeWidget {
    Q_OBJECT
public:
    // kNew ("新着") is there only with the reader's tools.
    enum Column {
        kIcon,
        kTitle,
        kHeld,
        kResCount,
        kName,
        kUpdated,
        kCreated,
        kId,
        kNew,
        kColumnCount
    };
    // Item data of column 0: the row's picture (listicons::ThreadIcon).
    static constexpr int kIconRole = Qt::UserRole + 1;

    CThreadListView(CPelmarDoc& doc, QWidget* parent = nullptr);

    // Rebuilds every row from the current category's index.
    void Refill();
    // Inserts or updates the row of one announced or fetched thread.
    void UpdateThreadRow(const CThreadSummary& summary);

    // The reader's tools: the "新着" column, title rules, the favourites and
    // the filter box. Set once, before the first fill.
    void SetReader(CReader* reader);
    // The list shows the favourites across categories instead of a category.
    void SetFavouritesMode(bool on);
    bool IsFavouritesMode() const { return m_favouritesMode; }
    // Rows whose title does not hold text are hidden (the filter box).
    void SetTitleFilter(const QString& text);
    // Reads one thread's row again from the store, with its new count.
    void RefreshRow(const std::string& threadId);
    // "すべて既読にする": every thread read so far counts as read up to now.
    void MarkAllRead();
    // "スレッドリスト更新" on the favourites: a thread query for each.
    void QueryFavourites();
    // Told after a click showed a thread, with what its mark said before.
    void SetOnThreadShown(std::function<void(const std::string&, std::optional<int>)> callback) {
        m_onThreadShown = std::move(callback);
    }
    // Told when favourites or marks changed here (the tree's marks follow).
    void SetOnReaderChanged(std::function<void()> callback) {
        m_onReaderChanged = std::move(callback);
    }

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
    void AddReaderItems(QMenu& menu);
    // Applies the reader's view of a row: new count and filter box; false
    // when a title rule hides the thread.
    bool ApplyReader(QTreeWidgetItem& row, std::optional<int> seen, const std::string& category);
    bool HiddenByTitle(const std::string& threadId, const std::string& title,
                       const std::string& category) const;

    CPelmarDoc& m_doc;
    CReader* m_reader = nullptr;
    bool m_favouritesMode = false;
    QString m_titleFilter;
    std::function<void(const std::string&, std::optional<int>)> m_onThreadShown;
    std::function<void()> m_onReaderChanged;
    QIcon m_icons[3];
    bool m_filled = false; // the first fill is made when the pane is first shown
};

// CCategoryTreeView: the categories of "category.dat"; selecting one makes it
// the current category. GUI thread.
#pragma once

#include <QTreeWidget>

#include <functional>
#include <string>

class CPelmarDoc;
class CReader;

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

    // With the reader's tools the tree starts with "お気に入り", and items
    // whose threads hold new responses show their count. Set before Load().
    void SetReader(CReader* reader) { m_reader = reader; }
    QTreeWidgetItem* FavouritesItem() const { return m_favourites; }
    // Told with true when "お気に入り" is selected, false for a category,
    // before the thread list is refilled.
    void SetOnFavouritesSelected(std::function<void(bool)> callback) {
        m_onFavouritesSelected = std::move(callback);
    }
    // Counts the new responses of each category and of the favourites again.
    void RefreshNewMarks();

private:
    void OnSelectionChanged();

    CPelmarDoc& m_doc;
    CReader* m_reader = nullptr;
    QTreeWidgetItem* m_favourites = nullptr;
    std::function<void(bool)> m_onFavouritesSelected;
    bool m_loading = false;
};

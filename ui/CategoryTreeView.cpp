// CCategoryTreeView: the category pane. The tree is built once from
// "category.dat"; each item keeps its name's raw bytes, which are the
// category itself. GUI thread.
#include "ui/CategoryTreeView.h"

#include "app/PelmarDoc.h"
#include "frontend/CategoryFile.h"
#include "reader/Reader.h"
#include "res/Strings.h"
#include "store/ThreadRecord.h"
#include "ui/DisplayText.h"
#include "ui/ListIcons.h"

#include <QHeaderView>
#include <QTreeWidgetItemIterator>

#include <vector>

CCategoryTreeView::CCategoryTreeView(CPelmarDoc& doc, QWidget* parent)
    : QTreeWidget(parent), m_doc(doc) {
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setItemsExpandable(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CCategoryTreeView::OnSelectionChanged);
}

std::string CCategoryTreeView::ItemCategory(const QTreeWidgetItem& item) {
    const QByteArray bytes = item.data(0, Qt::UserRole).toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool CCategoryTreeView::Load() {
    // The selection changes made while the tree is rebuilt are not the user's.
    m_loading = true;
    clear();
    m_favourites = nullptr;
    CCategoryFile file;
    const CCategoryFile::Result result = file.Load(m_doc.DataPath("category.dat"));
    if (result != CCategoryFile::Result::Ok) {
        m_loading = false;
        m_doc.Ui().ShowMessage(result == CCategoryFile::Result::BadNesting
                                   ? strings::kCategoryFileError
                                   : strings::kCategoryOpenFailed,
                               IPelmarUi::MessageIcon::None);
        return false;
    }

    const QIcon folder = listicons::Folder();
    std::vector<QTreeWidgetItem*> items;
    items.reserve(file.Items().size());
    for (const CCategoryItem& category : file.Items()) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, displaytext::SingleLine(category.name));
        item->setData(
            0, Qt::UserRole,
            QByteArray(category.name.data(), static_cast<qsizetype>(category.name.size())));
        item->setIcon(0, folder);
        if (category.parent < 0)
            addTopLevelItem(item);
        else
            items[static_cast<std::size_t>(category.parent)]->addChild(item);
        items.push_back(item);
    }
    if (m_reader) {
        // Above the categories; the first category is still the one selected.
        m_favourites = new QTreeWidgetItem;
        m_favourites->setIcon(0, folder);
        insertTopLevelItem(0, m_favourites);
        RefreshNewMarks();
    }
    if (!items.empty()) {
        setCurrentItem(items.front());
        m_doc.SetCurrentCategory(ItemCategory(*items.front()));
    }
    m_loading = false;
    return true;
}

void CCategoryTreeView::OnSelectionChanged() {
    if (m_loading)
        return;
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty())
        return;
    const bool favourites = m_favourites && selected.front() == m_favourites;
    if (m_onFavouritesSelected)
        m_onFavouritesSelected(favourites);
    // The favourites span categories: the current category stays what it was.
    if (!favourites)
        m_doc.SetCurrentCategory(ItemCategory(*selected.front()));
    m_doc.RefreshThreadList();
}

void CCategoryTreeView::RefreshNewMarks() {
    if (!m_reader)
        return;
    const std::map<std::string, int> counts = m_reader->Marks().NewByCategory();
    auto mark = [](QTreeWidgetItem& item, const QString& name, int count) {
        item.setText(0, count > 0 ? name + QStringLiteral(" (%1)").arg(count) : name);
        QFont font = item.font(0);
        font.setBold(count > 0);
        item.setFont(0, font);
    };
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if (*it == m_favourites)
            continue;
        const std::string category = ItemCategory(**it);
        const auto found = counts.find(category);
        mark(**it, displaytext::SingleLine(category), found == counts.end() ? 0 : found->second);
    }
    if (!m_favourites)
        return;
    // The favourites count from the store, which a fetch has just written.
    int fresh = 0;
    for (const CFavourite& favourite : m_reader->Favourites().List()) {
        CThreadRecord thread;
        if (thread.Load(favourite.threadId, m_doc.GetThreadDir()))
            fresh +=
                CReadMarks::NewCount(m_reader->Marks().Seen(favourite.threadId), thread.GetHeld());
    }
    mark(*m_favourites, QString::fromUtf8("お気に入り"), fresh);
}

// CCategoryTreeView: the category pane. The tree is built once from
// "category.dat"; each item keeps its name's raw bytes, which are the
// category itself. GUI thread.
#include "ui/CategoryTreeView.h"

#include "app/PelmarDoc.h"
#include "res/Strings.h"
#include "ui/DisplayText.h"
#include "ui/ListIcons.h"
#include "frontend/CategoryFile.h"

#include <QHeaderView>

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
    m_doc.SetCurrentCategory(ItemCategory(*selected.front()));
    m_doc.RefreshThreadList();
}

// CSearchResults: the list of hits.
#include "ui/SearchResults.h"

#include "frontend/PageBuilder.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

CSearchResults::CSearchResults(QWidget* parent) : QDialog(parent), m_list(new QTreeWidget(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    m_list->setRootIsDecorated(false);
    m_list->setColumnCount(3);
    m_list->setHeaderLabels(
        {QString::fromUtf8("スレッド"), QString::fromUtf8("日時"), QString::fromUtf8("内容")});
    m_list->setColumnWidth(0, 180);
    m_list->setColumnWidth(1, 130);
    connect(m_list, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item, int) { Open(m_list->indexOfTopLevelItem(item)); });
    resize(720, 360);
}

void CSearchResults::ShowHits(const QString& query, std::vector<CSearchHit> hits) {
    m_hits = std::move(hits);
    setWindowTitle(QString::fromUtf8("検索: %1 (%2 件)").arg(query).arg(m_hits.size()));
    m_list->clear();
    for (const CSearchHit& hit : m_hits) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::fromStdString(hit.threadTitle));
        item->setText(1, QString::fromStdString(CPageBuilder::FormatTime(hit.time)));
        item->setText(2, QString::fromStdString(hit.before + "【" + hit.match + "】" + hit.after));
    }
}

void CSearchResults::Open(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= m_hits.size() || !m_open)
        return;
    m_open(m_hits[static_cast<std::size_t>(index)]);
}

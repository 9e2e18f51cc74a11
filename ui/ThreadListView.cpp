// CThreadListView: the thread list pane. Rows are filled from the store's
// index and records; the row texts are the view's only data, with the raw
// bytes of the texts kept beside them. GUI thread.
#include "ui/ThreadListView.h"

#include "app/PelmarDoc.h"
#include "store/ThreadIndex.h"
#include "ui/DisplayText.h"
#include "ui/ListIcons.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QShowEvent>

#include <algorithm>
#include <vector>

namespace {

// The rows name their pictures by the list's picture indices.
static_assert(int{CThreadRow::kSheet} == int{listicons::kSheet} &&
              int{CThreadRow::kLightning} == int{listicons::kLightning});

struct ColumnLayout {
    const char* header;
    int width;
    bool right;
};

constexpr ColumnLayout kColumns[CThreadListView::kColumnCount] = {
    {"", 18, false},      {"タイトル", 224, false}, {"既得", 40, true},       {"レス", 40, true},
    {"名前", 100, false}, {"更新日時", 104, false}, {"作成日時", 104, false}, {"ID", 100, false},
};

QByteArray Bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ItemBytes(const QTreeWidgetItem& row, int column) {
    const QByteArray bytes = row.data(column, Qt::UserRole).toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

CThreadListView::CThreadListView(CPelmarDoc& doc, QWidget* parent)
    : QTreeWidget(parent), m_doc(doc) {
    for (int index = 0; index < 3; ++index)
        m_icons[index] = listicons::ThreadIconAt(index);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setIconSize(QSize(16, 16));
    setSortingEnabled(false);
    setColumnCount(kColumnCount);
    QStringList headers;
    for (const ColumnLayout& column : kColumns)
        headers << QString::fromUtf8(column.header);
    setHeaderLabels(headers);
    header()->setSectionsClickable(false);
    header()->setStretchLastSection(false);
    // The widths suit the narrow Japanese system font they were made for; a
    // wider font still gets whole times in the two time columns.
    const int timeWidth = fontMetrics().horizontalAdvance(QStringLiteral("00/00/00 00:00:00")) + 12;
    for (int column = 0; column < kColumnCount; ++column) {
        const bool time = column == kUpdated || column == kCreated;
        setColumnWidth(column,
                       time ? std::max(kColumns[column].width, timeWidth) : kColumns[column].width);
        if (kColumns[column].right)
            headerItem()->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    }

    // The headers are part of the list: the menu opens there too, on no row.
    header()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { ShowContextMenu(header()->viewport()->mapToGlobal(at)); });

    connect(this, &QTreeWidget::itemSelectionChanged, this, &CThreadListView::OnSelectionChanged);
    connect(this, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { OnItemClicked(item); });
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { OnItemDoubleClicked(item); });
}

std::string CThreadListView::RowId(const QTreeWidgetItem& row) {
    return row.text(kId).toStdString();
}

std::string CThreadListView::RowTitle(const QTreeWidgetItem& row) {
    return ItemBytes(row, kTitle);
}

void CThreadListView::FillRow(QTreeWidgetItem& row, const CThreadRow& texts,
                              bool keepCreated) const {
    row.setIcon(kIcon, m_icons[texts.icon]);
    row.setData(kIcon, kIconRole, texts.icon);
    row.setText(kTitle, displaytext::SingleLine(texts.title));
    row.setData(kTitle, Qt::UserRole, Bytes(texts.title));
    row.setText(kHeld, QString::number(texts.held));
    row.setText(kResCount, QString::number(texts.resCount));
    row.setText(kName, displaytext::SingleLine(texts.name));
    row.setData(kName, Qt::UserRole, Bytes(texts.name));
    row.setText(kUpdated, QString::fromStdString(texts.updated));
    if (!keepCreated || !texts.created.empty())
        row.setText(kCreated, QString::fromStdString(texts.created));
    row.setText(kId, QString::fromStdString(texts.id));
    row.setTextAlignment(kHeld, Qt::AlignRight | Qt::AlignVCenter);
    row.setTextAlignment(kResCount, Qt::AlignRight | Qt::AlignVCenter);
}

void CThreadListView::Refill() {
    m_filled = true;
    clear();
    std::vector<std::string> ids;
    CThreadIndex(m_doc.GetCurrentCategory(), m_doc.GetThreadDir()).List(ids);
    QList<QTreeWidgetItem*> rows;
    CThreadRow texts;
    for (const std::string& id : ids) {
        // A thread whose record cannot be read is left out; the rest are whole.
        if (!CThreadRows::StoredRow(m_doc.GetThreadDir(), id, texts))
            continue;
        auto* row = new QTreeWidgetItem;
        FillRow(*row, texts);
        rows << row;
    }
    addTopLevelItems(rows);
}

void CThreadListView::UpdateThreadRow(const CThreadSummary& summary) {
    const CThreadRow texts =
        CThreadRows::AnnouncedRow(m_doc.GetThreadDir(), summary.threadId, summary.title,
                                  summary.resCount, summary.name, summary.time, summary.isNew);
    bool done = false;
    // The row count is read on every step: rows go and come during the walk.
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (summary.isNew) {
            // Every older row of the thread goes, also one that moves up into
            // this place, so that exactly one row remains for it.
            while (i < topLevelItemCount() && RowId(*topLevelItem(i)) == texts.id)
                delete takeTopLevelItem(i);
            if (!done && (i >= topLevelItemCount() ||
                          topLevelItem(i)->text(kUpdated).toStdString() < texts.updated)) {
                auto* row = new QTreeWidgetItem;
                FillRow(*row, texts);
                insertTopLevelItem(i, row);
                done = true;
            }
        } else if (RowId(*topLevelItem(i)) == texts.id) {
            // A fetched thread keeps its place and shows as held.
            CThreadRow fetched = texts;
            fetched.icon = CThreadRow::kSheet;
            FillRow(*topLevelItem(i), fetched, true);
            done = true;
        }
    }
    if (!done) {
        auto* row = new QTreeWidgetItem;
        FillRow(*row, texts);
        addTopLevelItem(row);
    }
}

void CThreadListView::OnSelectionChanged() {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = topLevelItem(i);
        if (row->isSelected()) {
            m_doc.SetCurrentThreadId(RowId(*row));
            m_doc.SetCurrentThreadTitle(RowTitle(*row));
            return;
        }
    }
}

void CThreadListView::OnItemClicked(QTreeWidgetItem* item) {
    // The click's selection change has already made this row current.
    if (item)
        m_doc.ShowCurrentThread(m_doc.GetCurrentThreadTitle());
}

void CThreadListView::OnItemDoubleClicked(QTreeWidgetItem* item) {
    if (!item)
        return;
    m_doc.SetCurrentThreadId(RowId(*item));
    m_doc.GetThread(m_doc.GetCurrentThreadId(), 0);
}

void CThreadListView::showEvent(QShowEvent* event) {
    QTreeWidget::showEvent(event);
    // The category tree has set the current category by the time the window
    // first shows; the list starts from it.
    if (!m_filled)
        Refill();
}

void CThreadListView::contextMenuEvent(QContextMenuEvent* event) {
    // The screen position, not the event's own: a request from the keyboard
    // comes in the list's coordinates, whose top is the header, not a row.
    const QPoint at = viewport()->mapFromGlobal(event->globalPos());
    if (viewport()->rect().contains(at))
        if (const QTreeWidgetItem* row = itemAt(at))
            m_doc.SetCurrentThreadId(RowId(*row));
    ShowContextMenu(event->globalPos());
}

void CThreadListView::ShowContextMenu(const QPoint& globalPos) {
    QMenu menu(QString::fromUtf8("スレッドリスト"), this);
    connect(menu.addAction(QString::fromUtf8("新しいタブで開く")), &QAction::triggered, this,
            [this] { m_doc.OpenThreadInNewTab(); });
    menu.addSeparator();
    connect(menu.addAction(QString::fromUtf8("スレッド取得")), &QAction::triggered, this,
            [this] { m_doc.GetThread(m_doc.GetCurrentThreadId(), 0); });
    connect(menu.addAction(QString::fromUtf8("スレッドリスト更新")), &QAction::triggered, this,
            [this] { m_doc.SendCategoryQuery(); });
    menu.addSeparator();
    connect(menu.addAction(QString::fromUtf8("スレッド削除")), &QAction::triggered, this,
            [this] { m_doc.DeleteCurrentThread(); });
    menu.exec(globalPos);
}

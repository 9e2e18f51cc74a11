// CThreadListView: the thread list pane. Rows are filled from the store's
// index and records; the row texts are the view's only data, with the raw
// bytes of the texts kept beside them. GUI thread.
#include "ui/ThreadListView.h"

#include "app/PelmarDoc.h"
#include "reader/Reader.h"
#include "store/ThreadIndex.h"
#include "store/ThreadRecord.h"
#include "ui/DisplayText.h"
#include "ui/ListIcons.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QShowEvent>

#include <algorithm>
#include <map>
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
    {"", 18, false},          {"タイトル", 224, false}, {"既得", 40, true},
    {"レス", 40, true},       {"名前", 100, false},     {"更新日時", 104, false},
    {"作成日時", 104, false}, {"ID", 100, false},       {"新着", 40, true},
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
    // The "新着" column comes with the reader's tools (SetReader).
    setColumnCount(kNew);
    QStringList headers;
    for (int column = 0; column < kNew; ++column)
        headers << QString::fromUtf8(kColumns[column].header);
    setHeaderLabels(headers);
    header()->setSectionsClickable(false);
    header()->setStretchLastSection(false);
    // The widths suit the narrow Japanese system font they were made for; a
    // wider font still gets whole times in the two time columns.
    const int timeWidth = fontMetrics().horizontalAdvance(QStringLiteral("00/00/00 00:00:00")) + 12;
    for (int column = 0; column < kNew; ++column) {
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
    std::vector<CFavourite> favourites;
    if (m_reader && m_favouritesMode) {
        favourites = m_reader->Favourites().List();
        for (const CFavourite& favourite : favourites)
            ids.push_back(favourite.threadId);
    } else {
        CThreadIndex(m_doc.GetCurrentCategory(), m_doc.GetThreadDir()).List(ids);
    }
    std::map<std::string, int> marks;
    if (m_reader)
        marks = m_reader->Marks().All();
    const std::string category = CReader::CategoryText(m_doc.GetCurrentCategory());
    QList<QTreeWidgetItem*> rows;
    CThreadRow texts;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::string& id = ids[i];
        // A thread whose record cannot be read is left out; the rest are whole.
        // A favourite stays, as its title was when it was added.
        if (!CThreadRows::StoredRow(m_doc.GetThreadDir(), id, texts)) {
            if (favourites.empty())
                continue;
            texts = CThreadRows::AnnouncedRow(m_doc.GetThreadDir(), id, favourites[i].title, 0, "",
                                              0, true);
        }
        auto* row = new QTreeWidgetItem;
        FillRow(*row, texts);
        const auto mark = marks.find(id);
        if (m_reader &&
            !ApplyReader(*row,
                         mark == marks.end() ? std::nullopt : std::optional<int>(mark->second),
                         category)) {
            delete row;
            continue;
        }
        rows << row;
    }
    addTopLevelItems(rows);
    for (QTreeWidgetItem* row : rows)
        row->setHidden(!m_titleFilter.isEmpty() &&
                       !row->text(kTitle).contains(m_titleFilter, Qt::CaseInsensitive));
}

void CThreadListView::SetReader(CReader* reader) {
    m_reader = reader;
    if (!reader)
        return;
    setColumnCount(kColumnCount);
    headerItem()->setText(kNew, QString::fromUtf8(kColumns[kNew].header));
    headerItem()->setTextAlignment(kNew, Qt::AlignRight | Qt::AlignVCenter);
    setColumnWidth(kNew, kColumns[kNew].width);
}

bool CThreadListView::HiddenByTitle(const std::string& threadId, const std::string& title,
                                    const std::string& category) const {
    return m_reader->Filter()->JudgeTitle(title, threadId, category) != ENgAction::None;
}

bool CThreadListView::ApplyReader(QTreeWidgetItem& row, std::optional<int> seen,
                                  const std::string& category) {
    if (HiddenByTitle(RowId(row), RowTitle(row), category))
        return false;
    const int fresh = CReadMarks::NewCount(seen, row.text(kHeld).toInt());
    row.setText(kNew, fresh > 0 ? QString::number(fresh) : QString());
    row.setTextAlignment(kNew, Qt::AlignRight | Qt::AlignVCenter);
    return true;
}

void CThreadListView::SetFavouritesMode(bool on) {
    m_favouritesMode = on;
}

void CThreadListView::SetTitleFilter(const QString& text) {
    m_titleFilter = text;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = topLevelItem(i);
        row->setHidden(!text.isEmpty() && !row->text(kTitle).contains(text, Qt::CaseInsensitive));
    }
}

void CThreadListView::RefreshRow(const std::string& threadId) {
    if (!m_reader)
        return;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = topLevelItem(i);
        if (RowId(*row) != threadId)
            continue;
        CThreadRow texts;
        if (CThreadRows::StoredRow(m_doc.GetThreadDir(), threadId, texts)) {
            texts.icon = row->data(kIcon, kIconRole).toInt();
            FillRow(*row, texts, true);
        }
        if (!ApplyReader(*row, m_reader->Marks().Seen(threadId),
                         CReader::CategoryText(m_doc.GetCurrentCategory())))
            delete takeTopLevelItem(i);
        return;
    }
}

void CThreadListView::QueryFavourites() {
    if (!m_reader)
        return;
    if (m_doc.CountEstablished() == 0) {
        m_doc.SendCategoryQuery(); // says that the node is not connected
        return;
    }
    const std::string current = m_doc.GetCurrentThreadId();
    for (const CFavourite& favourite : m_reader->Favourites().List()) {
        m_doc.SetCurrentThreadId(favourite.threadId);
        m_doc.SendThreadQuery();
    }
    m_doc.SetCurrentThreadId(current);
    Refill();
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
    if (m_reader)
        RefreshRow(texts.id);
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
    if (!item)
        return;
    const std::string threadId = m_doc.GetCurrentThreadId();
    std::optional<int> seen;
    if (m_reader)
        seen = m_reader->Marks().Seen(threadId);
    m_doc.ShowCurrentThread(m_doc.GetCurrentThreadTitle());
    if (m_onThreadShown)
        m_onThreadShown(threadId, seen);
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
            [this] {
                if (m_favouritesMode)
                    QueryFavourites();
                else
                    m_doc.SendCategoryQuery();
            });
    menu.addSeparator();
    connect(menu.addAction(QString::fromUtf8("スレッド削除")), &QAction::triggered, this,
            [this] { m_doc.DeleteCurrentThread(); });
    if (m_reader)
        AddReaderItems(menu);
    menu.exec(globalPos);
}

void CThreadListView::AddReaderItems(QMenu& menu) {
    menu.addSeparator();
    const std::string threadId = m_doc.GetCurrentThreadId();
    const bool favourite = !threadId.empty() && m_reader->Favourites().Contains(threadId);
    QAction* add = menu.addAction(QString::fromUtf8("お気に入りに追加"));
    add->setEnabled(!threadId.empty() && !favourite);
    connect(add, &QAction::triggered, this, [this, threadId] {
        CThreadRecord thread;
        const bool held = thread.Load(threadId, m_doc.GetThreadDir());
        m_reader->Favourites().Add(
            CFavourite{threadId, held ? thread.GetCategory() : m_doc.GetCurrentCategory(),
                       held ? thread.GetTitle() : m_doc.GetCurrentThreadTitle()},
            m_doc.Now());
        if (m_onReaderChanged)
            m_onReaderChanged();
    });
    QAction* remove = menu.addAction(QString::fromUtf8("お気に入りから削除"));
    remove->setEnabled(favourite);
    connect(remove, &QAction::triggered, this, [this, threadId] {
        m_reader->Favourites().Remove(threadId);
        if (m_favouritesMode)
            Refill();
        if (m_onReaderChanged)
            m_onReaderChanged();
    });
    connect(menu.addAction(QString::fromUtf8("すべて既読にする")), &QAction::triggered, this,
            &CThreadListView::MarkAllRead);
}

void CThreadListView::MarkAllRead() {
    if (!m_reader)
        return;
    m_reader->Marks().MarkAllRead();
    // The index may not have caught up with a fetch yet; the rows know what
    // is held now.
    for (int i = 0; i < topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = topLevelItem(i);
        if (!row->text(kNew).isEmpty())
            m_reader->Marks().SetSeen(RowId(*row), row->text(kHeld).toInt());
    }
    Refill();
    if (m_onReaderChanged)
        m_onReaderChanged();
}

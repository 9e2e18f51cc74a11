// CEntryPointDialog: the entry point list, its buttons and the chosen address.
#include "ui/EntryPointDialog.h"

#include "ui/ByteLimit.h"
#include "ui/Cp932.h"

#include <QFont>
#include <QGridLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Enter presses the button that has the focus, and "接続" otherwise.
QPushButton* MakeButton(QWidget* parent, const QString& text, const QString& objectName) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    return button;
}

} // namespace

CEntryPointDialog::CEntryPointDialog(const std::string& path, QWidget* parent)
    : QDialog(parent), m_file(path) {
    setWindowTitle(QStringLiteral("エントリーポイント"));
    setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    resize(335, 185); // 223 x 123 dialog units of a 9 pt font

    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("entry"));
    // An address with a line break in it would come back from the file as
    // two entries.
    bytelimit::KeepOneLine(m_edit);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("entries"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSortingEnabled(false);

    QPushButton* connectButton =
        MakeButton(this, QStringLiteral("接続"), QStringLiteral("connect"));
    connectButton->setDefault(true);
    QPushButton* cancel = MakeButton(this, QStringLiteral("ｷｬﾝｾﾙ"), QStringLiteral("cancel"));
    QPushButton* up = MakeButton(this, QStringLiteral("UP"), QStringLiteral("up"));
    QPushButton* down = MakeButton(this, QStringLiteral("DOWN"), QStringLiteral("down"));
    QPushButton* add = MakeButton(this, QStringLiteral("Add"), QStringLiteral("add"));
    QPushButton* remove = MakeButton(this, QStringLiteral("Remove"), QStringLiteral("remove"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_edit, 0, 0);
    grid->addWidget(m_list, 1, 0);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {connectButton, cancel, up, down, add, remove})
        buttons->addWidget(button);
    buttons->addStretch(1);
    grid->addLayout(buttons, 0, 1, 2, 1);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(1, 1);

    connect(connectButton, &QPushButton::clicked, this, &CEntryPointDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &CEntryPointDialog::reject);
    connect(up, &QPushButton::clicked, this, &CEntryPointDialog::OnUp);
    connect(down, &QPushButton::clicked, this, &CEntryPointDialog::OnDown);
    connect(add, &QPushButton::clicked, this, &CEntryPointDialog::OnAdd);
    connect(remove, &QPushButton::clicked, this, &CEntryPointDialog::OnRemove);
    connect(m_edit, &QLineEdit::textEdited, this, [this] { m_editEntry.reset(); });
    // Only a selection the user makes fills the edit: the list taking the
    // focus moves its current row without selecting, and must not overwrite
    // an address being typed.
    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_refilling)
            SetEditFromEntry(Selected());
    });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        SetEditFromEntry(m_list->row(item));
        accept();
    });

    m_file.Load();
    Refill(CEntryPointFile::kNoSelection);
    if (!m_file.Entries().empty())
        SetEditFromEntry(0);
    m_edit->setFocus();
}

void CEntryPointDialog::accept() {
    const std::string text = EditBytes();
    m_file.Add(text);
    m_entry = text;
    QDialog::accept();
}

void CEntryPointDialog::Refill(int selected) {
    // Moving the selection from here is not the user's choice: the edit keeps
    // what it holds.
    m_refilling = true;
    m_list->clear();
    for (const std::string& entry : m_file.Entries()) {
        auto* item = new QListWidgetItem(cp932::ToQString(entry), m_list);
        item->setData(Qt::UserRole, QByteArray(entry.data(), static_cast<qsizetype>(entry.size())));
    }
    if (selected != CEntryPointFile::kNoSelection)
        m_list->setCurrentRow(selected);
    else
        m_list->setCurrentRow(-1);
    m_refilling = false;
}

void CEntryPointDialog::SetEditFromEntry(int index) {
    QListWidgetItem* item = m_list->item(index);
    if (!item)
        return;
    const QByteArray bytes = item->data(Qt::UserRole).toByteArray();
    m_editEntry = std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    m_edit->setText(item->text());
}

int CEntryPointDialog::Selected() const {
    const QList<QListWidgetItem*> items = m_list->selectedItems();
    return items.isEmpty() ? CEntryPointFile::kNoSelection : m_list->row(items.front());
}

std::string CEntryPointDialog::EditBytes() const {
    return m_editEntry ? *m_editEntry : cp932::FromQString(m_edit->text());
}

void CEntryPointDialog::OnUp() {
    int selected = Selected();
    if (selected == CEntryPointFile::kNoSelection)
        return;
    m_file.MoveUp(selected);
    Refill(selected);
}

void CEntryPointDialog::OnDown() {
    int selected = Selected();
    if (selected == CEntryPointFile::kNoSelection)
        return;
    m_file.MoveDown(selected);
    Refill(selected);
}

void CEntryPointDialog::OnAdd() {
    // The new entry goes on top; a selected entry stays selected below it.
    const int selected = Selected();
    if (m_file.Add(EditBytes()))
        Refill(selected == CEntryPointFile::kNoSelection ? selected : selected + 1);
}

void CEntryPointDialog::OnRemove() {
    const int selected = Selected();
    if (selected == CEntryPointFile::kNoSelection)
        return;
    m_file.Remove(selected);
    Refill(CEntryPointFile::kNoSelection);
}

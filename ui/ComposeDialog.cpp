// CComposeDialog: the fields, limits and buttons of the composition dialogs.
#include "ui/ComposeDialog.h"

#include "ui/ByteLimit.h"
#include "ui/Cp932.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

CComposeDialog::CComposeDialog(const QString& caption, QWidget* parent)
    : QDialog(parent), m_grid(new QGridLayout(this)) {
    setWindowTitle(caption);
    setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    m_grid->setColumnStretch(1, 1);
    resize(452, 383); // 301 x 255 dialog units of a 9 pt font
}

void CComposeDialog::AddRow(const QString& label, QWidget* field) {
    const int row = m_grid->rowCount();
    auto* text = new QLabel(label, this);
    text->setBuddy(field);
    m_grid->addWidget(text, row, 0, Qt::AlignLeft | Qt::AlignTop);
    m_grid->addWidget(field, row, 1);
}

QLineEdit* CComposeDialog::AddLine(const QString& label, const QString& objectName,
                                   std::size_t limit, const std::string& preset) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(objectName);
    edit->setText(cp932::ToQString(preset));
    bytelimit::Apply(edit, limit);
    AddRow(label, edit);
    m_lines.push_back({edit, limit});
    return edit;
}

QPlainTextEdit* CComposeDialog::AddBody(const std::string& preset) {
    m_body = new QPlainTextEdit(this);
    m_body->setObjectName(QStringLiteral("body"));
    m_body->setTabChangesFocus(true);
    m_body->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    bytelimit::Apply(m_body, bytelimit::kBody);
    QString text = cp932::ToQString(preset);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_body->setPlainText(text);
    AddRow(QStringLiteral("本文"), m_body);
    m_grid->setRowStretch(m_grid->rowCount() - 1, 1);
    return m_body;
}

void CComposeDialog::AddButtons() {
    auto* send = new QPushButton(QStringLiteral("送信"), this);
    send->setObjectName(QStringLiteral("send"));
    send->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(send, &QPushButton::clicked, this, &CComposeDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &CComposeDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(send);
    buttons->addWidget(cancel);
    m_grid->addLayout(buttons, m_grid->rowCount(), 0, 1, 2);
}

void CComposeDialog::accept() {
    // The fields stop at their limits as text goes in; this is the last
    // word before the text leaves the dialog. In tab order.
    for (const CLine& line : m_lines) {
        if (!bytelimit::Check(this, line.edit, bytelimit::StoredBytes(line.edit->text()),
                              line.limit))
            return;
    }
    if (m_body &&
        !bytelimit::Check(this, m_body, bytelimit::StoredBytes(m_body->toPlainText(), true),
                          bytelimit::kBody))
        return;
    QDialog::accept();
}

std::string CComposeDialog::LineBytes(const QLineEdit* edit) const {
    for (const CLine& line : m_lines) {
        if (line.edit == edit)
            return cp932::CutToBytes(cp932::FromQString(edit->text()), line.limit);
    }
    return cp932::FromQString(edit->text());
}

std::string CComposeDialog::BodyBytes() const {
    if (!m_body)
        return std::string();
    return cp932::CutToBytes(bytelimit::BodyBytes(m_body->toPlainText()), bytelimit::kBody);
}

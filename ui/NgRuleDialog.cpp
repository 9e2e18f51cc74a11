// CNgRuleDialog: the form, the text and the list of broken lines.
#include "ui/NgRuleDialog.h"

#include "reader/NgRuleFile.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}
} // namespace

CNgRuleDialog::CNgRuleDialog(CNgRuleFile& file, const QString& category, const QString& threadId,
                             QWidget* parent)
    : QDialog(parent), m_file(file), m_category(category), m_threadId(threadId) {
    setWindowTitle(U("NGルール"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QHBoxLayout;
    m_target = new QComboBox(this);
    m_target->addItem(U("本文"), QStringLiteral("body"));
    m_target->addItem(U("名前"), QStringLiteral("name"));
    m_target->addItem(U("メール"), QStringLiteral("mail"));
    m_target->addItem(U("タイトル"), QStringLiteral("title"));
    m_target->addItem(U("すべて"), QStringLiteral("all"));
    m_kind = new QComboBox(this);
    m_kind->addItem(U("語句"), QStringLiteral("word"));
    m_kind->addItem(U("正規表現"), QStringLiteral("regex"));
    m_scope = new QComboBox(this);
    m_scope->addItem(U("すべてのカテゴリ"), QStringLiteral("all"));
    if (!category.isEmpty() && !category.contains(QLatin1Char(' ')))
        m_scope->addItem(U("このカテゴリ"), QStringLiteral("category=") + category);
    if (!threadId.isEmpty())
        m_scope->addItem(U("このスレッド"), QStringLiteral("thread=") + threadId);
    m_action = new QComboBox(this);
    m_action->addItem(U("あぼーん"), QStringLiteral("abone"));
    m_action->addItem(U("非表示"), QStringLiteral("hide"));
    m_pattern = new QLineEdit(this);
    m_pattern->setPlaceholderText(U("NGにする語句"));
    auto* add = new QPushButton(U("追加"), this);
    add->setAutoDefault(false);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{m_target, m_kind, m_scope, m_action, m_pattern, add})
        form->addWidget(widget);
    layout->addLayout(form);
    connect(add, &QPushButton::clicked, this, &CNgRuleDialog::AddFormRule);
    connect(m_pattern, &QLineEdit::returnPressed, this, &CNgRuleDialog::AddFormRule);

    layout->addWidget(
        new QLabel(U("ngrules.txt (1 行に 1 ルール: 対象 種類 範囲 動作 パターン)"), this));
    m_text = new QPlainTextEdit(this);
    m_file.ReloadIfChanged();
    m_text->setPlainText(QString::fromStdString(m_file.Text()));
    layout->addWidget(m_text);
    m_errors = new QLabel(this);
    m_errors->setWordWrap(true);
    layout->addWidget(m_errors);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CNgRuleDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CNgRuleDialog::reject);
    layout->addWidget(buttons);
    connect(m_text, &QPlainTextEdit::textChanged, this, &CNgRuleDialog::ShowErrors);
    ShowErrors();
    resize(640, 400);
}

void CNgRuleDialog::AddFormRule() {
    const QString pattern = m_pattern->text();
    if (pattern.trimmed().isEmpty())
        return;
    const QString line = m_target->currentData().toString() + QLatin1Char(' ') +
                         m_kind->currentData().toString() + QLatin1Char(' ') +
                         m_scope->currentData().toString() + QLatin1Char(' ') +
                         m_action->currentData().toString() + QLatin1Char(' ') + pattern;
    QString text = m_text->toPlainText();
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    m_text->setPlainText(text + line + QLatin1Char('\n'));
    m_pattern->clear();
}

void CNgRuleDialog::ShowErrors() {
    std::vector<CNgRule> rules;
    std::vector<std::string> errors;
    CNgRuleFile::ParseText(m_text->toPlainText().toStdString(), rules, errors);
    QStringList lines;
    for (const std::string& error : errors)
        lines << QString::fromStdString(error);
    m_errors->setText(lines.join(QLatin1Char('\n')));
}

bool CNgRuleDialog::Save() {
    return m_file.Save(m_text->toPlainText().toStdString());
}

void CNgRuleDialog::accept() {
    if (!Save()) {
        QMessageBox::warning(this, QStringLiteral("pelmar"),
                             QString::fromStdString(m_file.LastError()));
        return;
    }
    QDialog::accept();
}

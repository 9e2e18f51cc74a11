// CThreadComposeDialog: the new-thread dialog's fields.
#include "ui/ThreadComposeDialog.h"

#include "ui/ByteLimit.h"
#include "ui/Cp932.h"

#include <QComboBox>
#include <QLineEdit>

CThreadComposeDialog::CThreadComposeDialog(const CThreadDraft& draft, QWidget* parent)
    : CComposeDialog(QStringLiteral("スレッド送信"), parent), m_categoryBytes(draft.category) {
    m_title = AddLine(QStringLiteral("タイトル"), QStringLiteral("title"), bytelimit::kTitle,
                      draft.title);
    // The thread goes to the category being viewed: shown, never edited, and
    // kept as raw bytes so that it files under exactly that category.
    m_category = new QComboBox(this);
    m_category->setObjectName(QStringLiteral("category"));
    m_category->setEditable(true);
    m_category->setEditText(cp932::ToQString(draft.category));
    m_category->setEnabled(false);
    AddRow(QStringLiteral("カテゴリ"), m_category);
    m_name = AddLine(QStringLiteral("名前"), QStringLiteral("name"), bytelimit::kName, draft.name);
    m_mail =
        AddLine(QStringLiteral("メール"), QStringLiteral("mail"), bytelimit::kMail, draft.mail);
    AddBody(draft.body);
    AddButtons();
    m_title->setFocus();
}

CThreadDraft CThreadComposeDialog::Draft() const {
    CThreadDraft draft;
    draft.title = LineBytes(m_title);
    draft.category = m_categoryBytes;
    draft.name = LineBytes(m_name);
    draft.mail = LineBytes(m_mail);
    draft.body = BodyBytes();
    return draft;
}

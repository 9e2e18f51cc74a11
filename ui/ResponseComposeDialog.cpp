// CResponseComposeDialog: the new-response dialog's fields.
#include "ui/ResponseComposeDialog.h"

#include "ui/ByteLimit.h"

#include <QLineEdit>

CResponseComposeDialog::CResponseComposeDialog(const CResponseDraft& draft, QWidget* parent)
    : CComposeDialog(QStringLiteral("レス送信"), parent) {
    m_title = AddLine(QStringLiteral("タイトル"), QStringLiteral("title"), bytelimit::kTitle,
                      draft.title);
    m_name = AddLine(QStringLiteral("名前"), QStringLiteral("name"), bytelimit::kName, draft.name);
    m_mail =
        AddLine(QStringLiteral("メール"), QStringLiteral("mail"), bytelimit::kMail, draft.mail);
    AddBody(draft.body);
    AddButtons();
    m_title->setFocus();
}

CResponseDraft CResponseComposeDialog::Draft() const {
    CResponseDraft draft;
    draft.title = LineBytes(m_title);
    draft.name = LineBytes(m_name);
    draft.mail = LineBytes(m_mail);
    draft.body = BodyBytes();
    return draft;
}

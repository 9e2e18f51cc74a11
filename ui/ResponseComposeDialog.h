// CResponseComposeDialog: "レス送信", the fields of a response to the current
// thread. Modal, GUI thread.
#pragma once

#include "app/PelmarUi.h"
#include "ui/ComposeDialog.h"

class QLineEdit;

class CResponseComposeDialog : public CComposeDialog {
    Q_OBJECT

public:
    // Shows the draft's fields (the document passes them empty).
    explicit CResponseComposeDialog(const CResponseDraft& draft, QWidget* parent = nullptr);

    // The fields in raw bytes, within their limits.
    CResponseDraft Draft() const;

private:
    QLineEdit* m_title;
    QLineEdit* m_name;
    QLineEdit* m_mail;
};

// CThreadComposeDialog: "スレッド送信", the fields of a new thread in the
// current category. Modal, GUI thread.
#pragma once

#include "app/PelmarUi.h"
#include "ui/ComposeDialog.h"

class QComboBox;
class QLineEdit;

class CThreadComposeDialog : public CComposeDialog {
    Q_OBJECT

public:
    // The category is draft.category and cannot be changed here.
    explicit CThreadComposeDialog(const CThreadDraft& draft, QWidget* parent = nullptr);

    // The fields in raw bytes, within their limits; the category exactly as
    // it was given.
    CThreadDraft Draft() const;

private:
    std::string m_categoryBytes;
    QLineEdit* m_title;
    QComboBox* m_category;
    QLineEdit* m_name;
    QLineEdit* m_mail;
};

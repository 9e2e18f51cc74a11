// CNgRuleDialog: the NG rules, edited as the rule file's text with a form
// that writes one rule line for the reader who does not want to type it.
// Broken lines are listed under the text; saving keeps them (the reader may
// fix them later) and the other rules apply. GUI thread, modal.
#pragma once

#include <QDialog>

class CNgRuleFile;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

class CNgRuleDialog : public QDialog {
    Q_OBJECT
public:
    // category and threadId offer the scopes "this category" / "this thread".
    CNgRuleDialog(CNgRuleFile& file, const QString& category, const QString& threadId,
                  QWidget* parent = nullptr);

    // Adds the form's rule as a line of the text.
    void AddFormRule();
    // Saves the text; false (and the dialog stays) when it cannot be written.
    bool Save();

    QLineEdit* PatternEdit() const { return m_pattern; }
    QPlainTextEdit* TextEdit() const { return m_text; }
    QLabel* ErrorLabel() const { return m_errors; }

    void accept() override;

private:
    void ShowErrors();

    CNgRuleFile& m_file;
    QString m_category;
    QString m_threadId;
    QComboBox* m_target;
    QComboBox* m_kind;
    QComboBox* m_scope;
    QComboBox* m_action;
    QLineEdit* m_pattern;
    QPlainTextEdit* m_text;
    QLabel* m_errors;
};

// CComposeDialog: what the thread and response composition dialogs share —
// labelled single-line fields and a body, each kept within its byte limit,
// and the "送信" / "ｷｬﾝｾﾙ" buttons. Modal, GUI thread.
#pragma once

#include <QDialog>

#include <cstddef>
#include <string>
#include <vector>

class QGridLayout;
class QLineEdit;
class QPlainTextEdit;

class CComposeDialog : public QDialog {
    Q_OBJECT

public:
    // "送信": closes only when every field is within its limit.
    void accept() override;

protected:
    CComposeDialog(const QString& caption, QWidget* parent);

    // A labelled row holding field; the rows follow the tab order.
    void AddRow(const QString& label, QWidget* field);
    // A single-line field showing preset (raw bytes).
    QLineEdit* AddLine(const QString& label, const QString& objectName, std::size_t limit,
                       const std::string& preset);
    // "本文": Enter makes a new line; its breaks are CR LF in the bytes.
    QPlainTextEdit* AddBody(const std::string& preset);
    // The buttons, last in the tab order.
    void AddButtons();

    // A field's raw bytes, never more than its limit.
    std::string LineBytes(const QLineEdit* edit) const;
    std::string BodyBytes() const;

private:
    struct CLine {
        QLineEdit* edit;
        std::size_t limit;
    };

    QGridLayout* m_grid;
    std::vector<CLine> m_lines;
    QPlainTextEdit* m_body = nullptr;
};

// CEntryPointDialog: "エントリーポイント", choosing the address to join the
// network through, from a typed address or the list of those used before
// (kept in "entrypoint.dat", rewritten after every change). Modal, GUI thread.
#pragma once

#include "frontend/EntryPointFile.h"

#include <QDialog>

#include <optional>
#include <string>

class QLineEdit;
class QListWidget;

class CEntryPointDialog : public QDialog {
    Q_OBJECT

public:
    // path: the list's file; read now, missing or unreadable means empty.
    explicit CEntryPointDialog(const std::string& path, QWidget* parent = nullptr);

    // The address to connect to, raw bytes; set when closed with "接続".
    const std::string& Entry() const { return m_entry; }

    // "接続": the address joins the list (unless one begins with it), then
    // the dialog closes.
    void accept() override;

private:
    void Refill(int selected);
    void SetEditFromEntry(int index);
    int Selected() const;
    std::string EditBytes() const;

    void OnUp();
    void OnDown();
    void OnAdd();
    void OnRemove();

    CEntryPointFile m_file;
    QLineEdit* m_edit;
    QListWidget* m_list;
    // The edit shows a list entry as it was read, until the user changes it;
    // its bytes are used then, so an entry is never altered by conversion.
    std::optional<std::string> m_editEntry;
    bool m_refilling = false;
    std::string m_entry;
};

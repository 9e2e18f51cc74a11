// The modal dialogs the main frame opens for the document: each runs its
// dialog and hands back the fields only when the user confirmed.
#include "ui/ComposeDialogs.h"

#include "ui/EntryPointDialog.h"
#include "ui/ResponseComposeDialog.h"
#include "ui/ThreadComposeDialog.h"

bool RunThreadComposeDialog(QWidget* parent, CThreadDraft& draft) {
    CThreadComposeDialog dialog(draft, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    draft = dialog.Draft();
    return true;
}

bool RunResponseComposeDialog(QWidget* parent, CResponseDraft& draft) {
    CResponseComposeDialog dialog(draft, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    draft = dialog.Draft();
    return true;
}

bool RunEntryPointDialog(QWidget* parent, const std::string& entryPointFile, std::string& entry) {
    CEntryPointDialog dialog(entryPointFile, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    entry = dialog.Entry();
    return true;
}

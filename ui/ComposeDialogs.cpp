// The dialogs (being built).
#include "ui/ComposeDialogs.h"

bool RunThreadComposeDialog(QWidget*, CThreadDraft&) { return false; }
bool RunResponseComposeDialog(QWidget*, CResponseDraft&) { return false; }
bool RunEntryPointDialog(QWidget*, const std::string&, std::string&) { return false; }

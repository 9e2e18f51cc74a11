// The thread and response composition dialogs and the entry point dialog,
// shown modally by the main frame for the document. GUI thread.
#pragma once

#include "app/PelmarUi.h"

#include <QWidget>

#include <string>

// Each returns true when closed with its send (or connect) button, with the
// fields in raw Shift_JIS bytes within their byte limits.
bool RunThreadComposeDialog(QWidget* parent, CThreadDraft& draft);
bool RunResponseComposeDialog(QWidget* parent, CResponseDraft& draft);
// entryPointFile: the path of "entrypoint.dat".
bool RunEntryPointDialog(QWidget* parent, const std::string& entryPointFile, std::string& entry);

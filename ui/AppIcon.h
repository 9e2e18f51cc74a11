// The application icon, drawn at run time so the program ships no image files.
// GUI thread.
#pragma once

#include <QIcon>

QIcon MakeApplicationIcon();

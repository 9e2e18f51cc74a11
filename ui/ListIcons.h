// ListIcons: the small pictures of the thread list (sheet, sheet with
// lightning bolt, lightning bolt) and of the category tree (closed and open
// folder), drawn once at run time. GUI thread.
#pragma once

#include <QIcon>

namespace listicons {
// Indices of the thread list's pictures, kept in each row's item data.
enum ThreadIcon { kSheet = 0, kSheetLightning = 1, kLightning = 2 };

// A fresh picture each call: a view paints its set once and keeps it.
QIcon ThreadIconAt(int index);
// Shows the closed folder normally and the open folder while selected.
QIcon Folder();
} // namespace listicons

// The application icon, drawn by code: the window takes it at run time and
// the build draws the icon theme's PNGs with it. GUI thread.
#pragma once

#include <QIcon>
#include <QPixmap>

QIcon MakeApplicationIcon();
// The icon's picture at size x size pixels.
QPixmap DrawApplicationIcon(int size);

// pelmar-icon-writer: draws the application icon into an icon theme tree,
//   DIR/<size>x<size>/apps/pelmar.png for every size given,
// so the installed icon is the picture the window shows. Run by the build on
// the offscreen platform; main thread.
#include "ui/AppIcon.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: pelmar-icon-writer DIR SIZE...\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        if (size <= 0 || size > 1024) {
            std::fprintf(stderr, "pelmar-icon-writer: bad size %s\n", argv[i]);
            return 2;
        }
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        if (!QDir().mkpath(dir) ||
            !DrawApplicationIcon(size).save(dir + QStringLiteral("/pelmar.png"), "PNG")) {
            std::fprintf(stderr, "pelmar-icon-writer: cannot write %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}

// pagepath: the choice of the page file's directory. GUI thread.
#include "ui/PagePath.h"

#include "frontend/PageBuilder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace pagepath {

std::string CurrentPagePath(const std::string& applicationDir) {
    const std::string fileName(CPageBuilder::kFileName);
    const QString dir =
        applicationDir.empty() ? QStringLiteral(".") : QString::fromStdString(applicationDir);
    const QFileInfo info(dir);
    if (info.isDir() && info.isWritable())
        return applicationDir + fileName;

    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (cache.isEmpty())
        return applicationDir + fileName; // nowhere better: the page shows what the file holds
    QDir().mkpath(cache);
    return QDir(cache).filePath(QString::fromStdString(fileName)).toStdString();
}

} // namespace pagepath

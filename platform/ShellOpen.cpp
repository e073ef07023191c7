#include "platform/ShellOpen.h"

// Qt
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace glimmora {

namespace {

// Asks xdg-mime which application opens the file's type; empty when none is associated.
// Without xdg-mime the question cannot be asked, and the open itself decides.
bool hasAssociation(const QString& path)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty())
        return true;
    auto query = [](const QStringList& arguments) {
        QProcess process;
        process.start(QStringLiteral("xdg-mime"), arguments);
        process.waitForFinished(5000);
        return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    };
    const QString type = query({QStringLiteral("query"), QStringLiteral("filetype"), path});
    return !type.isEmpty() && !query({QStringLiteral("query"), QStringLiteral("default"), type}).isEmpty();
}

} // namespace

int shellOpen(const QString& path)
{
    if (!QFileInfo::exists(path))
        return kShellFileNotFound;
    if (!hasAssociation(path))
        return kShellNoAssociation;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path)) ? kShellOpened : 0;
}

} // namespace glimmora

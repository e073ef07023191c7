#include "platform/Paths.h"

// Qt
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace glimmora {

namespace {

bool usableDirectory(const QString& dir)
{
    return QDir().mkpath(dir) && ::access(QFile::encodeName(dir).constData(), W_OK | X_OK) == 0;
}

QString& programDirectoryOverride()
{
    static QString directory;
    return directory;
}

} // namespace

void overrideProgramDirectory(const QString& directory) { programDirectoryOverride() = directory; }

QString programDirectory()
{
    if (!programDirectoryOverride().isEmpty())
        return programDirectoryOverride();
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

QString programDataDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/glimmora");
}

QString dataDirectory()
{
    const QString chosen = qEnvironmentVariable("GLIMMORA_DATA_DIR");
    if (!chosen.isEmpty()) {
        QDir().mkpath(chosen);
        return QDir::cleanPath(QDir(chosen).absolutePath());
    }
    const QString beside = programDirectory() + QStringLiteral("/Data");
    if (usableDirectory(beside))
        return beside;
    const QString fallback = programDataDirectory() + QStringLiteral("/Data");
    QDir().mkpath(fallback);
    return fallback;
}

QString dataPath() { return dataDirectory() + QStringLiteral("/Default"); }

QString temporaryDirectory() { return QDir::tempPath(); }

QString foldPath(const QString& path) { return path.trimmed(); }

} // namespace glimmora

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

QString helperProgram(const QString& name)
{
    const QString beside = programDirectory() + QLatin1Char('/') + name;
    if (QFileInfo::exists(beside))
        return beside;
    return QDir::cleanPath(programDirectory() + QStringLiteral("/" GLIMMORA_HELPER_FROM_BIN "/") + name);
}

QString helpDirectoryOfProgram()
{
    const QString beside = programDirectory() + QStringLiteral("/help");
    if (QFileInfo(beside).isDir())
        return beside;
    return QDir::cleanPath(programDirectory() + QStringLiteral("/" GLIMMORA_HELP_FROM_BIN));
}

bool runsInstalled() { return !QFileInfo(programDirectory() + QStringLiteral("/help")).isDir(); }

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
    // An installed program does not make a Data directory among the system's programs.
    const QString beside = programDirectory() + QStringLiteral("/Data");
    if ((!runsInstalled() || QFileInfo(beside).isDir()) && usableDirectory(beside))
        return beside;
    const QString fallback = programDataDirectory() + QStringLiteral("/Data");
    QDir().mkpath(fallback);
    return fallback;
}

QString dataPath() { return dataDirectory() + QStringLiteral("/Default"); }

QString temporaryDirectory() { return QDir::tempPath(); }

QString canonicalExtension(const QString& extension)
{
    QString canonical = extension.toLower();
    if (canonical.startsWith(QLatin1Char('.')))
        canonical.remove(0, 1);
    if (canonical == QLatin1String("jpeg") || canonical == QLatin1String("jfif"))
        return QStringLiteral("jpg");
    if (canonical == QLatin1String("tiff"))
        return QStringLiteral("tif");
    return canonical;
}

QString foldPath(const QString& path) { return path.trimmed(); }

} // namespace glimmora

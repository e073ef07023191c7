#include "platform/Settings.h"

// Qt
#include <QSettings>

namespace glimmora {

namespace {

QSettings userSettings(const QString& application)
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, application, application);
}

QSettings glimmoraSettings() { return userSettings(QStringLiteral("Glimmora")); }

} // namespace

bool readSettingsFlag(const QString& group, const QString& key, bool unset)
{
    QSettings settings = glimmoraSettings();
    bool isNumber = false;
    const int value = settings.value(group + QLatin1Char('/') + key).toString().trimmed().toInt(&isNumber);
    return isNumber ? value != 0 : unset;
}

void writeSettingsFlag(const QString& group, const QString& key, bool value)
{
    QSettings settings = glimmoraSettings();
    settings.setValue(group + QLatin1Char('/') + key, value ? QStringLiteral("1") : QStringLiteral("0"));
    settings.sync();
}

bool readFirstTimeFlag() { return readSettingsFlag(QStringLiteral("PROCESS"), QStringLiteral("FIRSTTIME")); }

void writeFirstTimeFlag(bool value)
{
    writeSettingsFlag(QStringLiteral("PROCESS"), QStringLiteral("FIRSTTIME"), value);
}

bool readEmbeddedThumbnailsSetting()
{
    return readSettingsFlag(QStringLiteral("IMPORT"), QStringLiteral("EMBEDDEDTHUMBNAILS"), true);
}

QString slideshowLocation()
{
    QSettings settings = userSettings(QStringLiteral("Slidara"));
    return settings.value(QStringLiteral("Install/WHERE")).toString();
}

} // namespace glimmora

#include "platform/DesktopBackground.h"

// Qt
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace glimmora {

namespace {

constexpr int kToolMilliseconds = 10'000;

// ---- XFCE: the xfce4-desktop channel of xfconf, through xfconf-query

const QString kXfconfQuery = QStringLiteral("xfconf-query");
const QString kDesktopChannel = QStringLiteral("xfce4-desktop");
const QString kLastImage = QStringLiteral("/last-image");

// xfdesktop's image styles.
constexpr int kXfceCentred = 1;
constexpr int kXfceTiled = 2;

struct ToolRun {
    bool succeeded = false;
    QString output;
};

ToolRun runXfconfQuery(const QStringList& arguments)
{
    QProcess tool;
    tool.start(kXfconfQuery, QStringList{QStringLiteral("-c"), kDesktopChannel} + arguments);
    const bool finished = tool.waitForFinished(kToolMilliseconds);
    if (!finished)
        tool.kill();
    return {finished && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0,
            QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed()};
}

// One property of the channel and what it held before the change.
struct XfceProperty {
    QString name;
    QString type; // as xfconf-query names it: "string", "int"
    QString value;
    std::optional<QString> earlier; // none when the property did not exist
};

class XfconfBackground : public DesktopBackground {
public:
    QString unavailability() const override
    {
        if (QStandardPaths::findExecutable(kXfconfQuery).isEmpty())
            return QStringLiteral("XFCE's settings tool, xfconf-query, is not installed.");
        if (backdrops().isEmpty())
            return QStringLiteral("XFCE has no desktop backdrop to set yet; choose a wallpaper once in its Desktop "
                                  "settings.");
        return QString();
    }

    QString show(const QString& path, WallpaperStyle style) override
    {
        const QString imageStyle = QString::number(style == WallpaperStyle::Tiled ? kXfceTiled : kXfceCentred);
        QList<XfceProperty> properties;
        for (const QString& backdrop : backdrops()) {
            properties.append({backdrop + kLastImage, QStringLiteral("string"), path, {}});
            properties.append({backdrop + QStringLiteral("/image-style"), QStringLiteral("int"), imageStyle, {}});
        }
        for (XfceProperty& property : properties)
            if (const ToolRun current = runXfconfQuery({QStringLiteral("-p"), property.name}); current.succeeded)
                property.earlier = current.output;
        for (qsizetype i = 0; i < properties.size(); ++i) {
            if (!set(properties.at(i), properties.at(i).value)) {
                restore(properties.first(i));
                return QStringLiteral("XFCE did not take the setting %1.").arg(properties.at(i).name);
            }
        }
        return QString();
    }

private:
    // The backdrops of every monitor and workspace: the properties that hold a last image.
    static QStringList backdrops()
    {
        const ToolRun listed = runXfconfQuery({QStringLiteral("-l")});
        QStringList found;
        if (!listed.succeeded)
            return found;
        for (const QString& property : listed.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (property.trimmed().endsWith(kLastImage))
                found.append(property.trimmed().chopped(kLastImage.size()));
        return found;
    }

    static bool set(const XfceProperty& property, const QString& value)
    {
        QStringList arguments{QStringLiteral("-p"), property.name};
        if (!property.earlier)
            arguments << QStringLiteral("-n") << QStringLiteral("-t") << property.type;
        return runXfconfQuery(arguments << QStringLiteral("-s") << value).succeeded;
    }

    static void restore(const QList<XfceProperty>& changed)
    {
        for (const XfceProperty& property : changed) {
            if (property.earlier)
                set(property, *property.earlier);
            else
                runXfconfQuery({QStringLiteral("-p"), property.name, QStringLiteral("-r")});
        }
    }
};

// ---- KDE Plasma: its shell's scripting call on the session bus

const QString kPlasmaService = QStringLiteral("org.kde.plasmashell");

// The image wallpaper's fill modes.
constexpr int kPlasmaCentred = 6; // "Centered": the picture at its own size
constexpr int kPlasmaTiled = 3;

// A script for every desktop of the shell; the picture's URL goes in as a JSON string literal.
QString plasmaScript(const QString& path, WallpaperStyle style)
{
    const QByteArray url =
        QJsonDocument(QJsonArray{QUrl::fromLocalFile(path).toString()}).toJson(QJsonDocument::Compact);
    return QStringLiteral("var url = %1[0];\n"
                          "var all = desktops();\n"
                          "for (var i = 0; i < all.length; ++i) {\n"
                          "    var desktop = all[i];\n"
                          "    desktop.wallpaperPlugin = \"org.kde.image\";\n"
                          "    desktop.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];\n"
                          "    desktop.writeConfig(\"Image\", url);\n"
                          "    desktop.writeConfig(\"FillMode\", %2);\n"
                          "}\n")
        .arg(QString::fromUtf8(url))
        .arg(style == WallpaperStyle::Tiled ? kPlasmaTiled : kPlasmaCentred);
}

class PlasmaBackground : public DesktopBackground {
public:
    QString unavailability() const override
    {
        const QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kPlasmaService))
            return QStringLiteral("KDE Plasma's shell is not running on this session's bus.");
        return QString();
    }

    QString show(const QString& path, WallpaperStyle style) override
    {
        QDBusMessage call =
            QDBusMessage::createMethodCall(kPlasmaService, QStringLiteral("/PlasmaShell"),
                                           QStringLiteral("org.kde.PlasmaShell"), QStringLiteral("evaluateScript"));
        call << plasmaScript(path, style);
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, kToolMilliseconds);
        if (reply.type() == QDBusMessage::ErrorMessage)
            return QStringLiteral("KDE Plasma refused the wallpaper: %1").arg(reply.errorMessage());
        return QString();
    }
};

// ---- The desktops by name

const GSettingsBackgroundKeys kGnomeKeys{"org.gnome.desktop.background", "picture-uri", true, "picture-options"};
const GSettingsBackgroundKeys kCinnamonKeys{"org.cinnamon.desktop.background", "picture-uri", true, "picture-options"};
const GSettingsBackgroundKeys kMateKeys{"org.mate.background", "picture-filename", false, "picture-options"};

std::unique_ptr<DesktopBackground> backgroundNamed(const QString& name)
{
    const QString desktop = name.trimmed().toLower();
    if (desktop == QLatin1String("gnome") || desktop == QLatin1String("unity") || desktop == QLatin1String("budgie")
        || desktop == QLatin1String("budgie-desktop"))
        return gsettingsBackground(kGnomeKeys);
    if (desktop == QLatin1String("x-cinnamon") || desktop == QLatin1String("cinnamon"))
        return gsettingsBackground(kCinnamonKeys);
    if (desktop == QLatin1String("mate"))
        return gsettingsBackground(kMateKeys);
    if (desktop == QLatin1String("xfce"))
        return std::make_unique<XfconfBackground>();
    if (desktop == QLatin1String("kde"))
        return std::make_unique<PlasmaBackground>();
    return nullptr;
}

} // namespace

std::unique_ptr<DesktopBackground> desktopBackgroundFor(const QString& currentDesktop)
{
    for (const QString& name : currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (std::unique_ptr<DesktopBackground> background = backgroundNamed(name))
            return background;
    return nullptr;
}

} // namespace glimmora

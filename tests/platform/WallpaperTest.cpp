// The wallpaper on each kind of desktop, told through its own interface: GSettings with its
// keyfile back end (read back by the gsettings tool), a stand-in xfconf-query for XFCE, and a
// stand-in Plasma shell on a private session bus. A desktop that cannot be told, or that
// refuses, leaves nothing half set.

#include "platform/DesktopBackground.h"
#include "platform/Paths.h"
#include "platform/Wallpaper.h"

#include "PrivateSessionBus.h"
#include "Scratch.h"

// Qt
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QUrl>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include <sys/resource.h>

namespace glimmora {
namespace {

namespace fs = std::filesystem;

// GSettings chooses its back end once, when first used: the keyfile under XDG_CONFIG_HOME.
const bool keyfileSettings = setenv("GSETTINGS_BACKEND", "keyfile", 1) == 0;
const test::PrivateSessionBus privateSessionBus;

QImage plainPicture(QColor colour, QSize size = QSize(90, 40))
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

// What the gsettings tool reads from the same settings.
QString gsettingsGet(const char* key)
{
    QProcess tool;
    tool.start(QStringLiteral("gsettings"),
               {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.background"), QLatin1String(key)});
    tool.waitForFinished(30'000);
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

QStringList filesBesideTheBitmap()
{
    return QDir(QFileInfo(wallpaperBitmapPath()).absolutePath()).entryList(QDir::Files);
}

class Wallpaper : public testing::Test {
protected:
    void SetUp() override { QFile::remove(wallpaperBitmapPath()); }
    void TearDown() override { qunsetenv("XDG_CURRENT_DESKTOP"); }

    static void onDesktop(const char* name) { qputenv("XDG_CURRENT_DESKTOP", name); }
};

TEST_F(Wallpaper, DesktopsAreKnownByAnyOfTheirNames)
{
    for (const char* known : {"GNOME", "ubuntu:GNOME", "Budgie:GNOME", "X-Cinnamon", "MATE", "XFCE", "KDE", "Unity"})
        EXPECT_TRUE(desktopBackgroundFor(QString::fromLatin1(known))) << known;
    for (const char* unknown : {"", "Sway", "LXQt", "Hyprland:wlroots"})
        EXPECT_FALSE(desktopBackgroundFor(QString::fromLatin1(unknown))) << unknown;
}

TEST_F(Wallpaper, CentredThenTiledOnGnomeLeavesOneBitmapAndTheTiledOption)
{
    onDesktop("ubuntu:GNOME");
    ASSERT_EQ(SetDesktopWallpaper(plainPicture(Qt::red), WallpaperStyle::Centred), QString());
    EXPECT_EQ(gsettingsGet("picture-options"), QStringLiteral("'centered'"));

    ASSERT_EQ(SetDesktopWallpaper(plainPicture(Qt::blue, QSize(30, 70)), WallpaperStyle::Tiled), QString());
    const QString uri = QUrl::fromLocalFile(wallpaperBitmapPath()).toString();
    EXPECT_EQ(gsettingsGet("picture-options"), QStringLiteral("'wallpaper'"));
    EXPECT_EQ(gsettingsGet("picture-uri"), QStringLiteral("'%1'").arg(uri));
    EXPECT_EQ(gsettingsGet("picture-uri-dark"), QStringLiteral("'%1'").arg(uri));
    EXPECT_EQ(filesBesideTheBitmap(), QStringList{"GlimmoraWall.bmp"});
    const QImage bitmap(wallpaperBitmapPath());
    EXPECT_EQ(bitmap.size(), QSize(30, 70));
    EXPECT_EQ(bitmap.pixel(15, 35), qRgb(0, 0, 255));
}

TEST_F(Wallpaper, ABitmapThatCannotBeWrittenWholeLeavesTheEarlierOneAndTheDesktopUntold)
{
    onDesktop("GNOME");
    ASSERT_EQ(SetDesktopWallpaper(plainPicture(Qt::red), WallpaperStyle::Centred), QString());
    const auto bitmapSize = fs::file_size(QFile::encodeName(wallpaperBitmapPath()).toStdString());

    // A file size limit below the new bitmap stands in for a full disk.
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit limit = old;
    limit.rlim_cur = bitmapSize / 2;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const QString message = SetDesktopWallpaper(plainPicture(Qt::blue), WallpaperStyle::Tiled);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_TRUE(message.startsWith(QStringLiteral("The wallpaper could not be written to "))) << message.toStdString();
    EXPECT_EQ(QImage(wallpaperBitmapPath()).pixel(10, 10), qRgb(255, 0, 0));
    EXPECT_EQ(gsettingsGet("picture-options"), QStringLiteral("'centered'"));
    EXPECT_EQ(filesBesideTheBitmap(), QStringList{"GlimmoraWall.bmp"});
}

TEST_F(Wallpaper, AnUnknownDesktopIsToldAndNothingIsWritten)
{
    onDesktop("Sway");
    const QString message = SetDesktopWallpaper(plainPicture(Qt::red), WallpaperStyle::Tiled);
    EXPECT_TRUE(message.startsWith(QStringLiteral("Glimmora cannot set the wallpaper of this desktop (Sway).")))
        << message.toStdString();
    EXPECT_FALSE(QFileInfo::exists(wallpaperBitmapPath()));
}

TEST_F(Wallpaper, ADesktopWhoseSettingsAreNotInstalledIsToldBeforeAnythingIsWritten)
{
    onDesktop("MATE"); // its schema is not installed here
    const QString message = SetDesktopWallpaper(plainPicture(Qt::red), WallpaperStyle::Centred);
    EXPECT_EQ(message,
              QStringLiteral("The wallpaper cannot be set: the desktop's background settings (org.mate.background) "
                             "are not installed."));
    EXPECT_FALSE(QFileInfo::exists(wallpaperBitmapPath()));
}

// XFCE through a stand-in xfconf-query whose channel has two monitors' backdrops.
class XfceWallpaper : public Wallpaper {
protected:
    void SetUp() override
    {
        Wallpaper::SetUp();
        onDesktop("XFCE");
        qputenv("PATH", QByteArray(GLIMMORA_STANDINS) + ':' + qgetenv("PATH"));
        qputenv("XFCONF_STANDIN_DIR", QByteArray::fromStdString(store.path().string()));
        for (const char* monitor : {"monitorHDMI-1", "monitoreDP-1"}) {
            const fs::path backdrop = store / "backdrop" / "screen0" / monitor / "workspace0";
            fs::create_directories(backdrop);
            test::writeFile(backdrop / "last-image", "/usr/share/backgrounds/xfce/blue.png\n");
            test::writeFile(backdrop / "image-style", "5\n");
        }
    }
    void TearDown() override
    {
        qunsetenv("XFCONF_STANDIN_FAIL");
        Wallpaper::TearDown();
    }

    std::string property(const char* monitor, const char* name)
    {
        const std::string value = test::readFile(store / "backdrop" / "screen0" / monitor / "workspace0" / name);
        return value.substr(0, value.find('\n'));
    }

    test::ScratchDir store;
};

TEST_F(XfceWallpaper, EveryBackdropShowsTheBitmapTiled)
{
    ASSERT_EQ(SetDesktopWallpaper(plainPicture(Qt::green), WallpaperStyle::Tiled), QString());
    for (const char* monitor : {"monitorHDMI-1", "monitoreDP-1"}) {
        EXPECT_EQ(property(monitor, "last-image"), wallpaperBitmapPath().toStdString());
        EXPECT_EQ(property(monitor, "image-style"), "2");
    }
}

TEST_F(XfceWallpaper, ARefusalPutsBackTheEarlierSettingsAndBitmap)
{
    ASSERT_EQ(SetDesktopWallpaper(plainPicture(Qt::green), WallpaperStyle::Centred), QString());
    qputenv("XFCONF_STANDIN_FAIL", "monitoreDP-1/workspace0/image-style");
    const QString message = SetDesktopWallpaper(plainPicture(Qt::red), WallpaperStyle::Tiled);
    EXPECT_EQ(message, QStringLiteral("The wallpaper could not be set: XFCE did not take the setting "
                                      "/backdrop/screen0/monitoreDP-1/workspace0/image-style."));
    for (const char* monitor : {"monitorHDMI-1", "monitoreDP-1"}) {
        EXPECT_EQ(property(monitor, "last-image"), wallpaperBitmapPath().toStdString());
        EXPECT_EQ(property(monitor, "image-style"), "1");
    }
    EXPECT_EQ(QImage(wallpaperBitmapPath()).pixel(1, 1), qRgb(0, 255, 0)) << "the earlier bitmap is back";
    EXPECT_EQ(filesBesideTheBitmap(), QStringList{"GlimmoraWall.bmp"});
}

// KDE Plasma's shell as this test binary plays it on its private bus.
class PlasmaShell : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.PlasmaShell")
public:
    QStringList scripts;
    bool refuse = false;

public slots:
    void evaluateScript(const QString& script)
    {
        scripts.append(script);
        if (refuse)
            sendErrorReply(QDBusError::Failed, QStringLiteral("Script failed"));
    }
};

class PlasmaWallpaper : public Wallpaper {
protected:
    void SetUp() override
    {
        Wallpaper::SetUp();
        onDesktop("KDE");
        QDBusConnection bus = QDBusConnection::sessionBus();
        ASSERT_TRUE(bus.registerService(QStringLiteral("org.kde.plasmashell")));
        ASSERT_TRUE(bus.registerObject(QStringLiteral("/PlasmaShell"), &shell, QDBusConnection::ExportAllSlots));
    }
    void TearDown() override
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(QStringLiteral("/PlasmaShell"));
        bus.unregisterService(QStringLiteral("org.kde.plasmashell"));
        Wallpaper::TearDown();
    }

    PlasmaShell shell;
};

TEST_F(PlasmaWallpaper, TheShellIsGivenTheBitmapCentredOnEveryDesktop)
{
    ASSERT_EQ(SetDesktopWallpaper(plainPicture(Qt::green), WallpaperStyle::Centred), QString());
    ASSERT_EQ(shell.scripts.size(), 1);
    const QString& script = shell.scripts.first();
    EXPECT_TRUE(script.contains(QStringLiteral("\"%1\"").arg(QUrl::fromLocalFile(wallpaperBitmapPath()).toString())));
    EXPECT_TRUE(script.contains(QStringLiteral("writeConfig(\"FillMode\", 6)")));
    EXPECT_TRUE(script.contains(QStringLiteral("desktops()")));
}

TEST_F(PlasmaWallpaper, ARefusalLeavesNoNewBitmap)
{
    shell.refuse = true;
    const QString message = SetDesktopWallpaper(plainPicture(Qt::green), WallpaperStyle::Tiled);
    EXPECT_EQ(message,
              QStringLiteral("The wallpaper could not be set: KDE Plasma refused the wallpaper: Script failed"));
    EXPECT_FALSE(QFileInfo::exists(wallpaperBitmapPath()));
}

} // namespace
} // namespace glimmora

#include "WallpaperTest.moc"

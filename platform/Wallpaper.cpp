#include "platform/Wallpaper.h"

#include "platform/DesktopBackground.h"
#include "platform/Paths.h"

// Qt
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QSaveFile>

#include <filesystem>

namespace glimmora {

namespace {

std::filesystem::path fileSystemPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString unknownDesktop(const QString& name)
{
    return QStringLiteral("Glimmora cannot set the wallpaper of this desktop (%1). It knows how to tell GNOME, "
                          "Budgie, Cinnamon, MATE, XFCE and KDE Plasma.")
        .arg(name.isEmpty() ? QStringLiteral("none is named in XDG_CURRENT_DESKTOP") : name);
}

// The bitmap as it was before this command: kept beside it under another name until the
// desktop has taken the new one, and put back if it refuses.
class EarlierBitmap {
public:
    explicit EarlierBitmap(const QString& path) : path_(fileSystemPath(path)), kept_(path_.string() + ".earlier")
    {
        std::error_code error;
        std::filesystem::remove(kept_, error);
        if (!std::filesystem::exists(path_, error))
            return;
        std::filesystem::create_hard_link(path_, kept_, error);
        if (error)
            std::filesystem::copy_file(path_, kept_, error);
        keeping_ = !error;
    }

    void putBack()
    {
        std::error_code error;
        if (keeping_)
            std::filesystem::rename(kept_, path_, error);
        else
            std::filesystem::remove(path_, error);
        keeping_ = false;
    }

    ~EarlierBitmap()
    {
        std::error_code error;
        if (keeping_)
            std::filesystem::remove(kept_, error);
    }

private:
    std::filesystem::path path_;
    std::filesystem::path kept_;
    bool keeping_ = false;
};

// Written whole, or not at all. The bitmap is encoded first and its one write checked, since a
// disk that fills up takes part of a write without an error, and commit() would overlook a
// failure of the last buffered write.
QString writeBitmap(const QImage& picture, const QString& path)
{
    QBuffer encoded;
    encoded.open(QIODevice::WriteOnly);
    QImageWriter writer(&encoded, "bmp");
    if (!writer.write(picture.convertToFormat(QImage::Format_RGB888)))
        return writer.errorString();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(encoded.data()) != encoded.size() || !file.flush()) {
        const QString failure = file.errorString();
        file.cancelWriting();
        return failure;
    }
    return file.commit() ? QString() : file.errorString();
}

} // namespace

QString wallpaperBitmapPath() { return programDataDirectory() + QStringLiteral("/GlimmoraWall.bmp"); }

QString SetDesktopWallpaper(const QImage& picture, WallpaperStyle style)
{
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    const std::unique_ptr<DesktopBackground> background = desktopBackgroundFor(desktop);
    if (!background)
        return unknownDesktop(desktop);
    if (const QString why = background->unavailability(); !why.isEmpty())
        return QStringLiteral("The wallpaper cannot be set: %1").arg(why);

    const QString path = wallpaperBitmapPath();
    QDir().mkpath(programDataDirectory());
    EarlierBitmap earlier(path);
    if (const QString failure = writeBitmap(picture, path); !failure.isEmpty())
        return QStringLiteral("The wallpaper could not be written to %1: %2").arg(path, failure);
    if (const QString refusal = background->show(path, style); !refusal.isEmpty()) {
        earlier.putBack();
        return QStringLiteral("The wallpaper could not be set: %1").arg(refusal);
    }
    return QString();
}

} // namespace glimmora

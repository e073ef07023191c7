// Feeds arbitrary bytes to the picture control under every still extension, at full size and
// as a thumbnail. The first byte picks the extension (its picture type code), the second the
// mode (bit 0: a thumbnail, bit 1: a JPEG's stored thumbnail may be taken); the rest is the
// file.
#include "picturecontrol/GvboxCtrl.h"

// Qt
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

// The still types of the picture-type table, by type code.
constexpr std::array<const char*, 30> kStillExtensions{
    "bmp", "wmf", "ico", "jpg", "jif", "gif", "dib", "rle", "tga", "pcx", "wpg", "art", "cur", "cut", "emf",
    "gem", "hrz", "iff", "img", "lbm", "mac", "msp", "pbm", "pgm", "pic", "png", "pnm", "ppm", "ras", "tif"};

QString inputPath(const char* extension)
{
    static const QString directory = [] {
        const QString path =
            QDir::tempPath() + QStringLiteral("/fuzz-picture-control-%1").arg(QCoreApplication::applicationPid());
        QDir().mkpath(path);
        return path;
    }();
    return directory + QStringLiteral("/input.") + QLatin1String(extension);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Metafiles draw text, which needs the GUI application's fonts.
    static std::unique_ptr<QGuiApplication> application(new QGuiApplication(*argc, *argv));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const QString path = inputPath(kStillExtensions[data[0] % kStillExtensions.size()]);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char*>(data + 2), qint64(size - 2));
    file.close();

    glimmora::TGvboxCtrl control;
    control.setThumbnail(data[1] & 1 ? 60 : 0);
    control.setEmbeddedThumbnails(data[1] & 2);
    try {
        control.setFileName(path);
        if (control.Picture().isNull() || control.Picture().format() != QImage::Format_RGB32)
            std::abort(); // a decoded picture is always there and opaque
        if (control.Thumbnail() > 0 && (control.width() > 60 || control.height() > 60))
            std::abort();
    } catch (const glimmora::EGvboxError&) {
    }
    QFile::remove(path);
    return 0;
}

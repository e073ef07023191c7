#include "picturecontrol/PictureFile.h"

#include "picturecontrol/PictureError.h"
#include "picturecontrol/PictureLimits.h"

// Qt
#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace glimmora {

namespace {

// Only regular files: reading a pipe or a device named like a picture would never end.
void refuseAnythingButAFile(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        throw EGvboxError(QStringLiteral("%1 is not a file.").arg(path));
}

void openForReading(QFile& file)
{
    refuseAnythingButAFile(file.fileName());
    if (!file.open(QIODevice::ReadOnly))
        throw EGvboxError(QStringLiteral("Cannot open %1: %2").arg(file.fileName(), file.errorString()));
}

} // namespace

QByteArray readPictureFile(const QString& path)
{
    QFile file(path);
    openForReading(file);
    if (file.size() > picturelimits::kMaxFileBytes)
        throw EGvboxError(QStringLiteral("%1 is too large to be a picture.").arg(path));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EGvboxError(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    return bytes;
}

PictureStream openPictureStream(const QString& path)
{
    refuseAnythingButAFile(path);
    PictureStream stream(std::fopen(QFile::encodeName(path).constData(), "rbe")); // e: close on exec
    if (!stream)
        throw EGvboxError(QStringLiteral("Cannot open %1: %2").arg(path, qt_error_string(errno)));
    return stream;
}

QByteArray readPictureHead(const QString& path, qint64 count)
{
    QFile file(path);
    openForReading(file);
    return file.read(count);
}

void refuseAsTooLarge(QSize size)
{
    throw EGvboxError(
        QStringLiteral("The picture is too large to be shown (%1 × %2 pixels).").arg(size.width()).arg(size.height()));
}

void checkPictureSize(QSize size)
{
    if (size.width() <= 0 || size.height() <= 0)
        throw EGvboxError(QStringLiteral("The picture has no pixels."));
    if (qint64(size.width()) * size.height() > picturelimits::kMaxPixels)
        refuseAsTooLarge(size);
}

void checkDecodeMemory(QSize size, qint64 workingBytes)
{
    if (workingBytes > picturelimits::kMaxDecodeBytes)
        refuseAsTooLarge(size);
}

} // namespace glimmora

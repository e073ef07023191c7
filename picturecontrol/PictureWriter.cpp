#include "picturecontrol/PictureWriter.h"

#include "picturecontrol/GifWriter.h"
#include "picturecontrol/JpegWriter.h"
#include "picturecontrol/PictureMetafile.h"

// Qt
#include <QBuffer>
#include <QImageWriter>
#include <QSaveFile>

namespace glimmora {

namespace {

QString writeBitmap(const QImage& picture, QIODevice& out)
{
    QImageWriter writer(&out, "bmp");
    // A bitmap of the picture as it is shown: opaque, 24 bits a pixel.
    return writer.write(picture.convertToFormat(QImage::Format_RGB888)) ? QString() : writer.errorString();
}

// What a writer that only says whether it succeeded ran into: the device's error, else `cause`.
QString failureOf(bool written, const QIODevice& out, const QString& cause)
{
    if (written)
        return QString();
    return out.errorString().isEmpty() || out.errorString() == QLatin1String("Unknown error") ? cause
                                                                                              : out.errorString();
}

QString writeFormat(const QImage& picture, PictureFileFormat format, QIODevice& out)
{
    switch (format) {
    case PictureFileFormat::Bitmap: return writeBitmap(picture, out);
    case PictureFileFormat::Jpeg: return writeJpeg(picture, out);
    case PictureFileFormat::Gif: return writeGif(picture, out);
    case PictureFileFormat::WindowsMetafile:
        if (picture.width() > metafile::maxWmfSide || picture.height() > metafile::maxWmfSide)
            return QStringLiteral("A Windows Metafile holds at most %1 pixels a side.").arg(metafile::maxWmfSide);
        return failureOf(metafile::writeWindowsMetafile(picture, out), out,
                         QStringLiteral("The picture could not be written as a Windows Metafile."));
    case PictureFileFormat::EnhancedMetafile:
        return failureOf(metafile::writeEnhancedMetafile(picture, out), out,
                         QStringLiteral("The picture is too large for an Enhanced Metafile."));
    }
    return QStringLiteral("Unknown picture format.");
}

} // namespace

void writePictureFile(const QImage& picture, PictureFileFormat format, const QString& path)
{
    if (picture.isNull())
        throw EPictureWriteError(QStringLiteral("There is no picture to write."));
    // Encoded whole first: the encoders do not all check what a write took, and a disk that
    // fills up takes part of a write without an error, so the file's writes are checked here.
    QBuffer encoded;
    encoded.open(QIODevice::WriteOnly);
    if (const QString failure = writeFormat(picture, format, encoded); !failure.isEmpty())
        throw EPictureWriteError(failure);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw EPictureWriteError(file.errorString());
    // commit() would overlook a failure of the last buffered write, so the file is flushed first.
    if (file.write(encoded.data()) != encoded.size() || !file.flush()) {
        const QString failure = file.errorString();
        file.cancelWriting();
        throw EPictureWriteError(failure);
    }
    // The temporary file is synced and renamed over the target; on failure it is removed.
    if (!file.commit())
        throw EPictureWriteError(file.errorString());
}

} // namespace glimmora

#include "picturecontrol/PictureDecoder.h"

#include "picturecontrol/FFmpegPictureDecoder.h"
#include "picturecontrol/JpegThumbnailDecoder.h"
#include "picturecontrol/MagickPictureDecoder.h"
#include "picturecontrol/MetafilePlayer.h"
#include "picturecontrol/PictureError.h"
#include "picturecontrol/PictureFile.h"
#include "picturecontrol/QtPictureDecoder.h"
#include "platform/Paths.h"

// Qt
#include <QFileInfo>
#include <QPainter>

#include <algorithm>

namespace glimmora {

namespace {

// Each type goes to the decoder that reads all its variants with the right orientation and
// palette; where an extension is shared by unrelated formats, the file's first bytes decide.
enum class Decoder { Qt, Jpeg, FFmpegCodec, FFmpegDemuxer, Magick, Metafile, Unsupported };

struct DecoderChoice {
    Decoder decoder;
    const char* format; // Qt format, FFmpeg decoder or demuxer, ImageMagick coder
};

constexpr qint64 kHeadBytes = 64;

quint16 littleEndian16(const QByteArray& head, int offset)
{
    if (head.size() < offset + 2)
        return 0;
    return quint16(quint8(head[offset]) | quint8(head[offset + 1]) << 8);
}

quint16 bigEndian16(const QByteArray& head, int offset)
{
    if (head.size() < offset + 2)
        return 0;
    return quint16(quint8(head[offset]) << 8 | quint8(head[offset + 1]));
}

quint32 littleEndian32(const QByteArray& head, int offset)
{
    return littleEndian16(head, offset) | quint32(littleEndian16(head, offset + 2)) << 16;
}

bool hasBmpFileHeader(const QByteArray& head) { return head.startsWith("BM"); }

// A device-independent bitmap without file header starts with the size of its info header.
bool isHeaderlessDib(const QByteArray& head)
{
    const quint32 infoSize = littleEndian32(head, 0);
    return infoSize == 12 || infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize == 64 || infoSize == 108
           || infoSize == 124;
}

bool isUtahRle(const QByteArray& head) { return littleEndian16(head, 0) == 0xCC52; }

bool isPictor(const QByteArray& head) { return littleEndian16(head, 0) == 0x1234; }

// A GEM metafile begins with -1; a GEM raster image with its version and header length.
bool isGemMetafile(const QByteArray& head) { return bigEndian16(head, 0) == 0xFFFF; }

bool isGemRaster(const QByteArray& head)
{
    const quint16 headerWords = bigEndian16(head, 2);
    const quint16 planes = bigEndian16(head, 4);
    return head.size() >= 16 && headerWords >= 8 && headerWords <= 0x1000 && planes >= 1 && planes <= 32
           && bigEndian16(head, 12) > 0 && bigEndian16(head, 14) > 0;
}

bool isIffPicture(const QByteArray& head) { return head.startsWith("FORM"); }

DecoderChoice bitmapChoice(const QByteArray& head, bool mayBeUtahRle)
{
    if (hasBmpFileHeader(head))
        return {Decoder::Qt, "bmp"};
    if (mayBeUtahRle && isUtahRle(head))
        return {Decoder::Magick, "RLE"};
    if (isHeaderlessDib(head))
        return {Decoder::Qt, "dib"};
    return {Decoder::Unsupported, "a Windows bitmap"};
}

DecoderChoice gemChoice(const QByteArray& head)
{
    if (isGemMetafile(head))
        return {Decoder::Unsupported, "a GEM raster image (GEM metafiles cannot be shown)"};
    if (isGemRaster(head))
        return {Decoder::FFmpegCodec, "gem"};
    return {Decoder::Unsupported, "a GEM raster image"};
}

DecoderChoice chooseDecoder(const QString& extension, const QByteArray& head)
{
    struct ByExtension {
        const char* extension;
        DecoderChoice choice;
    };
    static constexpr ByExtension fixed[] = {
        {"bmp", {Decoder::Qt, "bmp"}},
        {"ico", {Decoder::Qt, "ico"}},
        {"cur", {Decoder::Qt, "cur"}},
        {"jpg", {Decoder::Jpeg, "jpeg"}},
        {"jif", {Decoder::Jpeg, "jpeg"}},
        {"gif", {Decoder::Qt, "gif"}},
        {"png", {Decoder::Qt, "png"}},
        {"tif", {Decoder::Qt, "tiff"}},
        {"tga", {Decoder::FFmpegCodec, "targa"}},
        {"pcx", {Decoder::FFmpegCodec, "pcx"}},
        {"msp", {Decoder::FFmpegDemuxer, "msp"}},
        {"wpg", {Decoder::Magick, "WPG"}},
        {"art", {Decoder::Magick, "ART"}},
        {"cut", {Decoder::Magick, "CUT"}},
        {"hrz", {Decoder::Magick, "HRZ"}},
        {"mac", {Decoder::Magick, "MAC"}},
        {"pbm", {Decoder::Magick, "PNM"}},
        {"pgm", {Decoder::Magick, "PNM"}},
        {"pnm", {Decoder::Magick, "PNM"}},
        {"ppm", {Decoder::Magick, "PNM"}},
        {"ras", {Decoder::Magick, "SUN"}},
        {"wmf", {Decoder::Metafile, "wmf"}},
        {"emf", {Decoder::Metafile, "emf"}},
    };
    const QByteArray name = extension.toLatin1();
    for (const ByExtension& entry : fixed) {
        if (name == entry.extension)
            return entry.choice;
    }
    if (name == "dib")
        return bitmapChoice(head, false);
    if (name == "rle")
        return bitmapChoice(head, true);
    if (name == "img" || name == "gem")
        return gemChoice(head);
    if (name == "iff" || name == "lbm")
        return isIffPicture(head) ? DecoderChoice{Decoder::FFmpegDemuxer, "iff"}
                                  : DecoderChoice{Decoder::Unsupported, "an IFF picture"};
    if (name == "pic")
        return isPictor(head) ? DecoderChoice{Decoder::FFmpegCodec, "pictor"} : DecoderChoice{Decoder::Magick, "PICT"};
    return {Decoder::Unsupported, nullptr};
}

QImage decodeMetafile(const QString& path, int thumbnailSize, const QColor& background)
{
    try {
        const MetafilePlayer player = MetafilePlayer::fromFile(path);
        const QSize size =
            thumbnailSize > 0 ? thumbnailSizeFor(player.naturalSize(), thumbnailSize) : player.naturalSize();
        return player.render(size, background);
    } catch (const EMetafileError& error) {
        throw EGvboxError(QString::fromUtf8(error.what()));
    }
}

QImage decodeJpeg(const QString& path, const DecodeRequest& request)
{
    if (request.thumbnailSize > 0) {
        QImage thumbnail = decodeJpegThumbnail(path, request.thumbnailSize, request.embeddedThumbnail);
        if (!thumbnail.isNull())
            return thumbnail;
    }
    return decodeWithQt(path, "jpeg", request.thumbnailSize, request.jpegQuality);
}

QImage decodeWith(const DecoderChoice& choice, const QString& path, const DecodeRequest& request)
{
    switch (choice.decoder) {
    case Decoder::Qt: return decodeWithQt(path, choice.format, request.thumbnailSize, request.jpegQuality);
    case Decoder::Jpeg: return decodeJpeg(path, request);
    case Decoder::FFmpegCodec: return decodeWithFFmpegCodec(readPictureFile(path), choice.format);
    case Decoder::FFmpegDemuxer: return decodeWithFFmpegDemuxer(readPictureFile(path), choice.format);
    case Decoder::Magick: return decodeWithMagick(readPictureFile(path), choice.format, path);
    case Decoder::Metafile: return decodeMetafile(path, request.thumbnailSize, request.background);
    case Decoder::Unsupported: break;
    }
    if (!choice.format)
        throw EGvboxError(QStringLiteral("%1 is not a picture type that can be shown.").arg(path));
    throw EGvboxError(QStringLiteral("%1 is not %2.").arg(path, QString::fromLatin1(choice.format)));
}

QImage opaqueOn(const QImage& image, const QColor& background)
{
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    QImage opaque(image.size(), QImage::Format_RGB32);
    if (opaque.isNull())
        throw EGvboxError(QStringLiteral("Not enough memory for the picture."));
    opaque.fill(background);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
    return opaque;
}

} // namespace

QSize thumbnailSizeFor(QSize pictureSize, int thumbnailSize)
{
    const int width = pictureSize.width();
    const int height = pictureSize.height();
    if (thumbnailSize <= 0 || (width <= thumbnailSize && height <= thumbnailSize))
        return pictureSize;
    if (width > height)
        return QSize(thumbnailSize, std::max(1, int(qint64(thumbnailSize) * height / width)));
    return QSize(std::max(1, int(qint64(thumbnailSize) * width / height)), thumbnailSize);
}

QImage decodePicture(const QString& path, const DecodeRequest& request)
{
    const QString extension = canonicalExtension(QFileInfo(path).suffix());
    const DecoderChoice choice = chooseDecoder(extension, readPictureHead(path, kHeadBytes));
    const QImage decoded = decodeWith(choice, path, request);
    if (decoded.isNull())
        throw EGvboxError(QStringLiteral("%1 holds no picture.").arg(path));
    // Opaque first: Qt scales 32-bit RGB without converting the picture to another format.
    QImage image = opaqueOn(decoded, request.background);
    const QSize size = thumbnailSizeFor(image.size(), request.thumbnailSize);
    if (size != image.size())
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace glimmora

#include "picturecontrol/MagickPictureDecoder.h"

#include "picturecontrol/PictureError.h"
#include "picturecontrol/PictureFile.h"
#include "picturecontrol/PictureLimits.h"
#include "picturecontrol/WpgRecords.h"

// Qt
#include <QFile>
#include <QFileInfo>

// ImageMagick
#include <Magick++.h>
#include <magick/policy.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace glimmora {

namespace {

// ImageMagick may read only the types we give it, never run a helper program and never read a
// file a picture names: some of its coders hand embedded data to whichever coder its content
// suggests.
constexpr const char* kPolicy = R"(<policymap>
  <policy domain="delegate" rights="none" pattern="*"/>
  <policy domain="path" rights="none" pattern="@*"/>
  <policy domain="coder" rights="none" pattern="*"/>
  <policy domain="coder" rights="read" pattern="{ART,CUT,HRZ,JPEG,MAC,PICT,PNM,RLE,SUN,WPG}"/>
</policymap>)";

using Limits = Magick::ResourceLimits;

// Four 16-bit channels a pixel, and a 16-bit palette index for palette pictures.
qint64 pixelCacheBytes(QSize size) { return qint64(size.width()) * size.height() * 10; }

// The picture's size from its header, and the refusal of a picture whose pixel cache would be
// larger than a decode may hold or than the system's policy lets ImageMagick have.
void checkMagickSize(const Magick::Blob& blob, const char* coder)
{
    Magick::Image header;
    try {
        header.quiet(true);
        header.magick(coder);
        header.ping(blob);
    } catch (const Magick::Exception&) {
        return; // the read that follows reports what is wrong with the file
    }
    const QSize size(int(std::min<size_t>(header.columns(), INT_MAX)), int(std::min<size_t>(header.rows(), INT_MAX)));
    if (size.isEmpty())
        return;
    checkPictureSize(size);
    checkDecodeMemory(size, pixelCacheBytes(size));
    if (quint64(size.width()) > Limits::width() || quint64(size.height()) > Limits::height()
        || quint64(pixelCacheBytes(size)) > std::max<quint64>(Limits::memory(), Limits::disk()))
        throw EGvboxError(
            QStringLiteral("The system's ImageMagick policy does not allow a picture of this size (%1 × %2 pixels).")
                .arg(size.width())
                .arg(size.height()));
}

// Sets the alpha byte of every pixel, as an RGB32 image must have it.
void makeOpaque(QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto* pixel = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            pixel[x] |= 0xff000000u;
    }
}

// A Dr. Halo picture keeps its colours in a palette file beside it (the same name with ".pal"),
// which ImageMagick finds only when it reads the picture from its file: a picture read from
// memory would have its palette looked for in that memory. The path is absolute and ends with
// the extension, so ImageMagick takes it as a plain file name (no scene range, no list file).
bool readsCompanionFiles(const char* coder) { return std::strcmp(coder, "CUT") == 0; }

void readPicture(Magick::Image& picture, const Magick::Blob& blob, const char* coder, const QString& path)
{
    if (readsCompanionFiles(coder))
        picture.read(std::string(coder) + ':' + QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString());
    else
        picture.read(blob, Magick::Geometry(), coder);
}

QString noPictureMessage(const QString& path) { return QStringLiteral("%1 holds no picture.").arg(path); }

} // namespace

// The pixel cache of a large picture does not fit in the memory the system's policy allows
// ImageMagick (a quarter of a gigabyte on Debian): it then goes to a file in the temporary
// directory, which the decoder processes of an import have to themselves. Every limit asked
// for here is capped by the system's policy, which ImageMagick never lets a program exceed.
bool initializeMagick()
{
    static const bool confined = [] {
        Magick::InitializeMagick(nullptr);
        Limits::area(picturelimits::kMaxPixels);
        Limits::memory(picturelimits::kMaxDecodeBytes);
        Limits::map(picturelimits::kMaxDecodeBytes);
        Limits::disk(picturelimits::kMaxDecodeBytes);
        Limits::width(65535);
        Limits::height(65535);
        Limits::thread(1); // decodes run beside each other in worker processes
        MagickCore::ExceptionInfo* exception = MagickCore::AcquireExceptionInfo();
        const bool set = MagickCore::SetMagickSecurityPolicy(kPolicy, exception) == MagickCore::MagickTrue;
        MagickCore::DestroyExceptionInfo(exception);
        return set;
    }();
    return confined;
}

QImage decodeWithMagick(const QByteArray& bytes, const char* coder, const QString& path)
{
    if (!initializeMagick())
        throw EGvboxError(QStringLiteral("ImageMagick cannot be restricted to reading pictures, so it is not used."));
    // ImageMagick makes a 1 × 1 picture of a graphic that holds only drawing records.
    if (std::strcmp(coder, "WPG") == 0 && !wpgHoldsRaster(bytes))
        throw EGvboxError(noPictureMessage(path));
    const Magick::Blob blob(bytes.constData(), size_t(bytes.size()));
    checkMagickSize(blob, coder);
    Magick::Image picture;
    try {
        picture.quiet(true);
        readPicture(picture, blob, coder, path);
    } catch (const Magick::Exception& error) {
        // Some coders complain about damaged or oddly ended data after reading every row;
        // like the other decoders, we show what was read. A file that gave nothing fails.
        if (!picture.isValid() || picture.columns() == 0 || picture.rows() == 0)
            throw EGvboxError(QString::fromLocal8Bit(error.what()));
    }
    const QSize size(int(picture.columns()), int(picture.rows()));
    checkPictureSize(size);
    // Without an alpha channel the exported alpha is whatever the pixel cache held (some coders
    // never set it), so such pictures are taken as opaque RGB.
    const bool hasAlpha = picture.matte();
    QImage image(size, hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        throw EGvboxError(QStringLiteral("Not enough memory for the picture."));
    try {
        // BGRA in memory is QImage's ARGB32 on a little-endian machine.
        picture.write(0, 0, size_t(size.width()), size_t(size.height()), "BGRA", Magick::CharPixel, image.bits());
    } catch (const Magick::Exception& error) {
        throw EGvboxError(QString::fromLocal8Bit(error.what()));
    }
    if (!hasAlpha)
        makeOpaque(image);
    return image;
}

} // namespace glimmora

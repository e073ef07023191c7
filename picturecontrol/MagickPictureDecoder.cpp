#include "picturecontrol/MagickPictureDecoder.h"

#include "picturecontrol/PictureError.h"
#include "picturecontrol/PictureFile.h"
#include "picturecontrol/PictureLimits.h"

// ImageMagick
#include <Magick++.h>
#include <magick/policy.h>

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

// Whether ImageMagick is ready and confined; it is not used unconfined.
bool initializeMagick()
{
    static const bool confined = [] {
        Magick::InitializeMagick(nullptr);
        using Limits = Magick::ResourceLimits;
        Limits::area(picturelimits::kMaxPixels);
        Limits::memory(picturelimits::kMaxPixels * 8); // the pixel cache holds 16-bit channels
        Limits::map(picturelimits::kMaxPixels * 8);
        Limits::disk(0); // a picture that does not fit in memory is refused, not spilled to disk
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

// Sets the alpha byte of every pixel, as an RGB32 image must have it.
void makeOpaque(QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto* pixel = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            pixel[x] |= 0xff000000u;
    }
}

} // namespace

QImage decodeWithMagick(const QByteArray& bytes, const char* coder)
{
    if (!initializeMagick())
        throw EGvboxError(QStringLiteral("ImageMagick cannot be restricted to reading pictures, so it is not used."));
    Magick::Image picture;
    try {
        picture.quiet(true);
        picture.read(Magick::Blob(bytes.constData(), size_t(bytes.size())), Magick::Geometry(), coder);
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

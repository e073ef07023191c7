#include "picturecontrol/JpegWriter.h"

#include "picturecontrol/JpegErrors.h"

// Qt
#include <QIODevice>

#include <cstdlib>

namespace glimmora {

namespace {

constexpr int kQuality = 100;
constexpr int kDotsPerInch = 96;

// Compresses into memory that libjpeg allocates (*bytes, *size; the caller frees it). Holds no
// object with a destructor, since a libjpeg error leaves it by longjmp.
bool compress(const QImage& rgb, unsigned char** bytes, unsigned long* size, JpegErrorManager* errors)
{
    jpeg_compress_struct info;
    info.err = jpeg_std_error(&errors->base);
    errors->base.error_exit = jumpOnJpegError;
    errors->base.emit_message = ignoreJpegWarning;
    if (setjmp(errors->jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, bytes, size);
    info.image_width = JDIMENSION(rgb.width());
    info.image_height = JDIMENSION(rgb.height());
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX; // the byte order of QImage::Format_RGB32
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, kQuality, TRUE);
    info.dct_method = JDCT_ISLOW;
    info.density_unit = 1; // dots per inch
    info.X_density = kDotsPerInch;
    info.Y_density = kDotsPerInch;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto row = const_cast<JSAMPROW>(rgb.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

QString writeJpeg(const QImage& picture, QIODevice& out)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    if (rgb.isNull())
        return QStringLiteral("Not enough memory for the picture.");
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    JpegErrorManager errors{};
    const bool compressed = compress(rgb, &bytes, &size, &errors);
    const qint64 written = compressed ? out.write(reinterpret_cast<const char*>(bytes), qint64(size)) : 0;
    std::free(bytes);
    if (!compressed)
        return QString::fromLocal8Bit(errors.message);
    return written == qint64(size) ? QString() : out.errorString();
}

} // namespace glimmora

#include "picturecontrol/JpegThumbnailDecoder.h"

#include "picturecontrol/PictureDecoder.h"
#include "picturecontrol/PictureError.h"

#include <csetjmp>
#include <cstdio>

// libjpeg
#include <jpeglib.h>

namespace glimmora {

namespace {

// libjpeg reports fatal errors by calling error_exit, which must not return: it jumps back to
// the decode with the formatted message.
struct JpegErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void jumpOnError(j_common_ptr info)
{
    auto* errors = reinterpret_cast<JpegErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Warnings (corrupt or truncated data) still give a picture: libjpeg fills what is missing.
void ignoreWarning(j_common_ptr, int) {}

enum class JpegOutcome { Decoded, LeftToOthers, Failed };

int largestScaleDenominator(const jpeg_decompress_struct& info, int thumbnailSize)
{
    const QSize wanted = thumbnailSizeFor(QSize(int(info.image_width), int(info.image_height)), thumbnailSize);
    for (unsigned denominator : {8u, 4u, 2u}) {
        const unsigned width = (info.image_width + denominator - 1) / denominator;
        const unsigned height = (info.image_height + denominator - 1) / denominator;
        if (int(width) >= wanted.width() && int(height) >= wanted.height())
            return int(denominator);
    }
    return 1;
}

// Holds no object with a destructor, since a libjpeg error leaves it by longjmp; the image it
// fills belongs to the caller.
JpegOutcome decodeScaled(const QByteArray& bytes, int thumbnailSize, QImage* image, JpegErrorManager* errors)
{
    jpeg_decompress_struct info;
    info.err = jpeg_std_error(&errors->base);
    errors->base.error_exit = jumpOnError;
    errors->base.emit_message = ignoreWarning;
    if (setjmp(errors->jump)) {
        jpeg_destroy_decompress(&info);
        return JpegOutcome::Failed;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
    jpeg_read_header(&info, TRUE);
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
        jpeg_destroy_decompress(&info);
        return JpegOutcome::LeftToOthers;
    }
    info.scale_num = 1;
    info.scale_denom = unsigned(largestScaleDenominator(info, thumbnailSize));
    info.out_color_space = JCS_EXT_BGRX; // the byte order of QImage::Format_RGB32
    info.dct_method = JDCT_IFAST;        // a thumbnail is smoothed afterwards anyway
    info.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&info);
    *image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB32);
    if (image->isNull()) {
        jpeg_destroy_decompress(&info);
        std::snprintf(errors->message, sizeof errors->message, "Not enough memory for the picture");
        return JpegOutcome::Failed;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image->scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return JpegOutcome::Decoded;
}

} // namespace

QImage decodeJpegThumbnail(const QByteArray& bytes, int thumbnailSize)
{
    QImage image;
    JpegErrorManager errors{};
    switch (decodeScaled(bytes, thumbnailSize, &image, &errors)) {
    case JpegOutcome::Decoded: return image;
    case JpegOutcome::LeftToOthers: return QImage();
    case JpegOutcome::Failed: break;
    }
    throw EGvboxError(QString::fromLocal8Bit(errors.message));
}

} // namespace glimmora

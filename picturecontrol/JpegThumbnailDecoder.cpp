#include "picturecontrol/JpegThumbnailDecoder.h"

#include "picturecontrol/PictureDecoder.h"
#include "picturecontrol/PictureError.h"
#include "picturecontrol/PictureFile.h"
#include "picturecontrol/PictureLimits.h"

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

enum class JpegOutcome { Decoded, LeftToOthers, TooLarge, Failed };

// A file of several scans (progressive, or one component a scan) is decoded through a buffer of
// every DCT coefficient of the whole picture, 128 bytes a block, before a single row comes out:
// its memory follows the picture's full size, however far the output is scaled down. A single
// scan file is decoded a row of blocks at a time.
qint64 coefficientBufferBytes(jpeg_decompress_struct& info)
{
    if (!jpeg_has_multiple_scans(&info))
        return 0;
    qint64 bytes = 0;
    for (int component = 0; component < info.num_components; ++component) {
        const jpeg_component_info& c = info.comp_info[component];
        const qint64 columns = (qint64(c.width_in_blocks) + c.h_samp_factor - 1) / c.h_samp_factor * c.h_samp_factor;
        const qint64 rows = (qint64(c.height_in_blocks) + c.v_samp_factor - 1) / c.v_samp_factor * c.v_samp_factor;
        bytes += columns * rows * qint64(sizeof(JBLOCK));
    }
    return bytes;
}

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
// fills belongs to the caller, and so does the picture's size, which is set once it is known.
JpegOutcome decodeScaled(const QByteArray& bytes, int thumbnailSize, QImage* image, QSize* pictureSize,
                         JpegErrorManager* errors)
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
    *pictureSize = QSize(int(info.image_width), int(info.image_height));
    if (coefficientBufferBytes(info) > picturelimits::kMaxDecodeBytes) {
        jpeg_destroy_decompress(&info);
        return JpegOutcome::TooLarge;
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
    QSize pictureSize;
    JpegErrorManager errors{};
    switch (decodeScaled(bytes, thumbnailSize, &image, &pictureSize, &errors)) {
    case JpegOutcome::Decoded: return image;
    case JpegOutcome::LeftToOthers: return QImage();
    case JpegOutcome::TooLarge: refuseAsTooLarge(pictureSize);
    case JpegOutcome::Failed: break;
    }
    throw EGvboxError(QString::fromLocal8Bit(errors.message));
}

} // namespace glimmora

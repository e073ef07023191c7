#include "picturecontrol/JpegReader.h"

#include "picturecontrol/PictureDecoder.h"

#include <cstring>

namespace glimmora {

namespace {

constexpr int kApp1 = JPEG_APP0 + 1;
constexpr char kExifIdentifier[] = "Exif\0"; // with its terminator, the six bytes "Exif\0\0"
constexpr std::size_t kExifIdentifierLength = sizeof kExifIdentifier;

// The largest DCT scale whose output still covers the picture's size in the thumbnail box, so
// that scaling down afterwards only ever shrinks.
unsigned largestScaleDenominator(const jpeg_decompress_struct& info, int thumbnailSize)
{
    const QSize wanted = thumbnailSizeFor(QSize(int(info.image_width), int(info.image_height)), thumbnailSize);
    for (unsigned denominator : {8u, 4u, 2u}) {
        const unsigned width = (info.image_width + denominator - 1) / denominator;
        const unsigned height = (info.image_height + denominator - 1) / denominator;
        if (int(width) >= wanted.width() && int(height) >= wanted.height())
            return denominator;
    }
    return 1;
}

// A file of several scans (progressive, or one component a scan) is decoded through a buffer of
// every DCT coefficient of the whole picture, 128 bytes a block, before a single row comes out;
// a single-scan file is decoded a row of blocks at a time. Asked once the first scan's header
// has been read, which is when libjpeg knows.
qint64 coefficientBytes(jpeg_decompress_struct& info)
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

} // namespace

JpegReader::JpegReader(std::FILE* file) : file_(file) {}

JpegReader::JpegReader(QByteArrayView bytes) : bytes_(bytes) {}

JpegReader::~JpegReader()
{
    if (created_)
        jpeg_destroy_decompress(&info_);
}

void JpegReader::jumpOnError(j_common_ptr info)
{
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Level -1 is a warning; the others are trace messages.
void JpegReader::countWarning(j_common_ptr info, int level)
{
    if (level < 0)
        ++reinterpret_cast<ErrorManager*>(info->err)->warnings;
}

// Called only from a step that has set the jump, as creating allocates.
void JpegReader::create()
{
    info_.err = jpeg_std_error(&errors_.base);
    errors_.base.error_exit = jumpOnError;
    errors_.base.emit_message = countWarning;
    created_ = true;
    jpeg_create_decompress(&info_);
    if (file_)
        jpeg_stdio_src(&info_, file_);
    else
        jpeg_mem_src(&info_, reinterpret_cast<const unsigned char*>(bytes_.data()),
                     static_cast<unsigned long>(bytes_.size()));
}

// The steps below hold no object with a destructor, since a libjpeg error leaves them by
// longjmp.
bool JpegReader::readHeader()
{
    if (setjmp(errors_.jump))
        return false;
    create();
    jpeg_save_markers(&info_, kApp1, 0xFFFF);
    jpeg_read_header(&info_, TRUE);
    coefficientBytes_ = coefficientBytes(info_);
    return true;
}

bool JpegReader::isCmyk() const { return info_.jpeg_color_space == JCS_CMYK || info_.jpeg_color_space == JCS_YCCK; }

QByteArrayView JpegReader::exifBlock() const
{
    for (jpeg_saved_marker_ptr marker = info_.marker_list; marker; marker = marker->next) {
        if (marker->marker == kApp1 && marker->data_length >= kExifIdentifierLength
            && std::memcmp(marker->data, kExifIdentifier, kExifIdentifierLength) == 0)
            return QByteArrayView(reinterpret_cast<const char*>(marker->data), qsizetype(marker->data_length));
    }
    return {};
}

bool JpegReader::decodeForThumbnail(int thumbnailSize, QImage* image)
{
    if (setjmp(errors_.jump))
        return false;
    info_.scale_num = 1;
    info_.scale_denom = largestScaleDenominator(info_, thumbnailSize);
    info_.out_color_space = JCS_EXT_BGRX; // the byte order of QImage::Format_RGB32
    info_.dct_method = JDCT_IFAST;        // a thumbnail is smoothed afterwards anyway
    info_.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&info_);
    *image = QImage(int(info_.output_width), int(info_.output_height), QImage::Format_RGB32);
    if (image->isNull()) {
        std::strncpy(errors_.message, "Not enough memory for the picture", sizeof errors_.message - 1);
        return false;
    }
    while (info_.output_scanline < info_.output_height) {
        JSAMPROW row = image->scanLine(int(info_.output_scanline));
        jpeg_read_scanlines(&info_, &row, 1);
    }
    jpeg_finish_decompress(&info_);
    return true;
}

} // namespace glimmora

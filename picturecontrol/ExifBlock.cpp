#include "picturecontrol/ExifBlock.h"

// libexif
#include <libexif/exif-data.h>
#include <libexif/exif-utils.h>

#include <iterator>
#include <memory>

namespace glimmora {

namespace {

struct ExifDataRelease {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};
using ExifDataPointer = std::unique_ptr<ExifData, ExifDataRelease>;

// The orientation tag's values 1 to 8, as the picture is turned to be seen upright.
QImageIOHandler::Transformations transformationOf(ExifShort orientation)
{
    static constexpr QImageIOHandler::Transformation kByTag[] = {
        QImageIOHandler::TransformationNone,
        QImageIOHandler::TransformationMirror,
        QImageIOHandler::TransformationRotate180,
        QImageIOHandler::TransformationFlip,
        QImageIOHandler::TransformationFlipAndRotate90,
        QImageIOHandler::TransformationRotate90,
        QImageIOHandler::TransformationMirrorAndRotate90,
        QImageIOHandler::TransformationRotate270,
    };
    if (orientation < 1 || orientation > std::size(kByTag))
        return QImageIOHandler::TransformationNone;
    return kByTag[orientation - 1];
}

QImageIOHandler::Transformations orientationOf(ExifData* data)
{
    const ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components < 1 || entry->size < 2 || !entry->data)
        return QImageIOHandler::TransformationNone;
    return transformationOf(exif_get_short(entry->data, exif_data_get_byte_order(data)));
}

} // namespace

ExifBlock readExifBlock(QByteArrayView block)
{
    ExifBlock result;
    const ExifDataPointer data(exif_data_new());
    if (!data || block.isEmpty())
        return result;
    // Read what the block holds as it is: libexif would otherwise add the entries the
    // standard asks for and drop those it finds misplaced.
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(data.get(), reinterpret_cast<const unsigned char*>(block.data()), unsigned(block.size()));
    result.orientation = orientationOf(data.get());
    if (data->data && data->size > 0)
        result.thumbnail = QByteArray(reinterpret_cast<const char*>(data->data), qsizetype(data->size));
    return result;
}

} // namespace glimmora

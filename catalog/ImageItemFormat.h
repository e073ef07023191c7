#pragma once

#include "catalog/ImageElement.h"

// Qt
#include <QByteArray>
#include <QByteArrayView>

#include <cstddef>
#include <stdexcept>

namespace glimmora {

// The stored value of an image record (little-endian, no padding):
//   0  int32   IT_SeqNo
//   4  byte    IT_FileType
//   5  uint32  IT_VolumeSerial
//   9  int32   IT_PathHash
//   13 byte    IT_Removable (0 or 1)
//   14 tagged  IT_Path (file-system bytes)
//   .. tagged  IT_Memo (UTF-8)
//   .. uint16  n, then n bytes: the thumbnail as a complete BMP file (0: no thumbnail)
//   .. 2 bytes reserved, written as zero, never read
// A tagged string is byte 6 + one length byte for up to 255 bytes, else byte 12 + a 4-byte
// length; no terminator.
namespace image_item {
inline constexpr std::size_t kSeqNoOffset = 0;
inline constexpr std::size_t kFileTypeOffset = 4;
inline constexpr std::size_t kVolumeSerialOffset = 5;
inline constexpr std::size_t kPathHashOffset = 9;
inline constexpr std::size_t kRemovableOffset = 13;
inline constexpr std::size_t kPathOffset = 14;
inline constexpr unsigned char kShortStringTag = 6;
inline constexpr unsigned char kLongStringTag = 12;
inline constexpr std::size_t kShortStringLimit = 255;
inline constexpr std::size_t kThumbnailLimit = 65535;
inline constexpr std::size_t kReservedBytes = 2;
} // namespace image_item

// An item value that does not follow the layout, or a record that cannot be stored in it.
class EImageItemError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws EImageItemError when the thumbnail's BMP image does not fit in 65,535 bytes.
QByteArray encodeImageItem(const TImageElement& record);

// Reads as far as the layout says (the reserved bytes may be missing); throws EImageItemError
// for a bad tag or a value that ends early. A thumbnail that is not a readable BMP image reads as
// no thumbnail.
TImageElement decodeImageItem(QByteArrayView value);

// The sequence number, volume and path of a stored value, read without its memo and thumbnail
// (the passes that look only at where images are); throws EImageItemError as decodeImageItem
// does for the part it reads.
struct ImageIdentity {
    std::int32_t seqNo = 0;
    std::uint32_t volumeSerial = 0;
    bool removable = false;
    QByteArray path;
};
ImageIdentity decodeImageIdentity(QByteArrayView value);

// The thumbnail as a BMP file image (empty for a null image).
QByteArray thumbnailBmp(const QImage& thumbnail);

} // namespace glimmora

#pragma once

// Qt
#include <QByteArray>
#include <QImage>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace glimmora {

// One picture file the scrapbook knows. Records read from the image store belong to whoever
// read them; copying one copies the thumbnail too (QImage shares until either side changes).
struct TImageElement {
    std::int32_t IT_SeqNo = 0;
    std::uint8_t IT_FileType = 0;
    std::uint32_t IT_VolumeSerial = 0;
    std::int32_t IT_PathHash = 0;
    bool IT_Removable = false;
    QByteArray IT_Path; // the folded full path as the file system's bytes: the image's identity
    QString IT_Memo;
    QImage IT_Bitmap; // the thumbnail; null when there is none

    bool operator==(const TImageElement& other) const = default;
};

// The picture-type table: the index of an extension is the picture type code.
inline constexpr int kPictureTypeCount = 32;
extern const std::array<const char*, kPictureTypeCount> kPictureTypes;
inline constexpr int kFirstMovieType = 30; // avi; 31 is mov

inline bool isMovieType(int type) { return type >= kFirstMovieType && type < kPictureTypeCount; }

// The picture type of a file name, a path or a bare extension ("JPG", ".Jpg", "photo.JPG" are
// all 3, and so are "photo.jpeg" and "photo.jfif"); nothing when it is not a picture file.
std::optional<int> PictureTypeOf(const QString& nameOrExtension);

// The wrapping 32-bit sum of all bytes but the last, each taken as a signed byte.
std::int32_t PathChecksum(const QByteArray& bytes);
// The checksum of a path, over its file-system bytes.
std::int32_t PathChecksum(const QString& path);

// A record's path keeps the bytes it was stored with, whatever they are: a path written on
// another system need not be UTF-8, and changing one byte would make it another image.

// The file-system bytes of a path as Qt names it.
QByteArray pathBytes(const QString& path);
// The stored bytes as a path for Qt's file functions (exact whenever the bytes are UTF-8).
QString localPath(const QByteArray& bytes);
// The stored bytes as the user reads them: UTF-8 when they are valid UTF-8, else Windows-1252.
QString displayPath(QByteArrayView bytes);

// The image store's key of a sequence number: "%6.6d" (17 gives "000017").
std::string ImageStoreKey(std::int32_t seqNo);

// The last component of a path, as category windows list it; of stored bytes, for display.
QString fileNamePart(const QString& path);
QString fileNamePart(const QByteArray& path);

// A memo as the memo commands store it: " " + trimmed(trimmed(base) + " " + trimmed(entered)) +
// " ", so that every memo begins and ends with one blank (base is empty when replacing).
QString MemoText(const QString& base, const QString& entered);

} // namespace glimmora

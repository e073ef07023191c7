#include "catalog/ImageItemFormat.h"

#include "catalog/BmpThumbnail.h"
#include "catalog/StoredText.h"

// Qt
#include <QBuffer>
#include <QtEndian>

namespace glimmora {

using namespace image_item;

namespace {

class ItemWriter {
public:
    void byte(std::uint8_t value) { bytes_.append(static_cast<char>(value)); }

    void u16(std::uint16_t value)
    {
        char raw[2];
        qToLittleEndian(value, raw);
        bytes_.append(raw, 2);
    }

    void u32(std::uint32_t value)
    {
        char raw[4];
        qToLittleEndian(value, raw);
        bytes_.append(raw, 4);
    }

    void raw(const QByteArray& data) { bytes_.append(data); }

    void taggedString(const QByteArray& text)
    {
        if (static_cast<std::size_t>(text.size()) <= kShortStringLimit) {
            byte(kShortStringTag);
            byte(static_cast<std::uint8_t>(text.size()));
        } else {
            byte(kLongStringTag);
            u32(static_cast<std::uint32_t>(text.size()));
        }
        raw(text);
    }

    QByteArray take() { return std::move(bytes_); }

private:
    QByteArray bytes_;
};

class ItemReader {
public:
    explicit ItemReader(QByteArrayView value) : value_(value) {}

    std::uint8_t byte() { return static_cast<std::uint8_t>(take(1)[0]); }
    std::uint16_t u16() { return qFromLittleEndian<std::uint16_t>(take(2).data()); }
    std::uint32_t u32() { return qFromLittleEndian<std::uint32_t>(take(4).data()); }

    QByteArrayView take(std::size_t count)
    {
        if (count > static_cast<std::size_t>(value_.size()) - position_)
            throw EImageItemError("The image record ends before its layout does");
        const QByteArrayView part = value_.sliced(static_cast<qsizetype>(position_), static_cast<qsizetype>(count));
        position_ += count;
        return part;
    }

    QByteArrayView taggedString()
    {
        switch (byte()) {
        case kShortStringTag: return take(byte());
        case kLongStringTag: return take(u32());
        default: throw EImageItemError("The image record holds a text with an unknown tag");
        }
    }

private:
    QByteArrayView value_;
    std::size_t position_ = 0;
};

} // namespace

QByteArray thumbnailBmp(const QImage& thumbnail)
{
    QByteArray bmp;
    if (thumbnail.isNull())
        return bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    if (!thumbnail.save(&buffer, "BMP"))
        throw EImageItemError("The thumbnail cannot be saved as a BMP image");
    return bmp;
}

QByteArray encodeImageItem(const TImageElement& record)
{
    const QByteArray bmp = thumbnailBmp(record.IT_Bitmap);
    if (static_cast<std::size_t>(bmp.size()) > kThumbnailLimit)
        throw EImageItemError(QStringLiteral("The thumbnail of %1 (%2 x %3 pixels) takes %4 bytes; at most 65,535 fit "
                                             "in an image record")
                                  .arg(displayPath(record.IT_Path))
                                  .arg(record.IT_Bitmap.width())
                                  .arg(record.IT_Bitmap.height())
                                  .arg(bmp.size())
                                  .toStdString());
    ItemWriter writer;
    writer.u32(static_cast<std::uint32_t>(record.IT_SeqNo));
    writer.byte(record.IT_FileType);
    writer.u32(record.IT_VolumeSerial);
    writer.u32(static_cast<std::uint32_t>(record.IT_PathHash));
    writer.byte(record.IT_Removable ? 1 : 0);
    writer.taggedString(record.IT_Path);
    writer.taggedString(storedTextBytes(record.IT_Memo));
    writer.u16(static_cast<std::uint16_t>(bmp.size()));
    writer.raw(bmp);
    writer.raw(QByteArray(kReservedBytes, '\0'));
    return writer.take();
}

ImageIdentity decodeImageIdentity(QByteArrayView value)
{
    ItemReader reader(value);
    ImageIdentity identity;
    identity.seqNo = static_cast<std::int32_t>(reader.u32());
    reader.byte(); // the file type
    identity.volumeSerial = reader.u32();
    reader.u32(); // the path checksum
    identity.removable = reader.byte() != 0;
    identity.path = reader.taggedString().toByteArray();
    return identity;
}

TImageElement decodeImageItem(QByteArrayView value)
{
    ItemReader reader(value);
    TImageElement record;
    record.IT_SeqNo = static_cast<std::int32_t>(reader.u32());
    record.IT_FileType = reader.byte();
    record.IT_VolumeSerial = reader.u32();
    record.IT_PathHash = static_cast<std::int32_t>(reader.u32());
    record.IT_Removable = reader.byte() != 0;
    record.IT_Path = reader.taggedString().toByteArray();
    record.IT_Memo = storedTextFrom(reader.taggedString());
    record.IT_Bitmap = decodeBmpThumbnail(reader.take(reader.u16()));
    return record;
}

} // namespace glimmora

#include "import/DecoderProtocol.h"

#include "catalog/ImageElement.h"
#include "catalog/Volume.h"
#include "import/DecoderProcess.h"
#include "import/LoadPicture.h"

// Qt
#include <QFile>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

namespace glimmora::decoder_protocol {

namespace {

void putU32(QByteArray& out, quint32 value)
{
    char raw[4];
    qToLittleEndian(value, raw);
    out.append(raw, 4);
}

void putI32(QByteArray& out, qint32 value) { putU32(out, quint32(value)); }

// Reads fields from a payload; every read is bounds-checked and a short payload makes the
// reader fail rather than read past it.
class Reader {
public:
    explicit Reader(QByteArrayView bytes) : bytes_(bytes) {}

    bool u32(quint32& value)
    {
        if (bytes_.size() - at_ < 4)
            return false;
        value = qFromLittleEndian<quint32>(bytes_.data() + at_);
        at_ += 4;
        return true;
    }
    bool i32(qint32& value)
    {
        quint32 raw = 0;
        if (!u32(raw))
            return false;
        value = qint32(raw);
        return true;
    }
    bool bytes(qsizetype count, QByteArrayView& value)
    {
        if (count < 0 || bytes_.size() - at_ < count)
            return false;
        value = bytes_.sliced(at_, count);
        at_ += count;
        return true;
    }
    bool atEnd() const { return at_ == bytes_.size(); }

private:
    QByteArrayView bytes_;
    qsizetype at_ = 0;
};

// The bytes of one row's pixels, without the padding a row may carry in memory: a decoder
// may hand over its picture with rows of any length, and the reader lays them out its own way.
qsizetype packedRowBytes(const QImage& image) { return (qsizetype(image.width()) * image.depth() + 7) / 8; }

void encodeImage(QByteArray& out, const QImage& image)
{
    putI32(out, image.isNull() ? 0 : qint32(image.format()));
    if (image.isNull())
        return;
    const qsizetype rowBytes = packedRowBytes(image);
    putI32(out, image.width());
    putI32(out, image.height());
    putI32(out, qint32(rowBytes));
    putI32(out, image.dotsPerMeterX());
    putI32(out, image.dotsPerMeterY());
    const QList<QRgb> colours = image.colorTable();
    putU32(out, quint32(colours.size()));
    for (QRgb colour : colours)
        putU32(out, colour);
    for (int y = 0; y < image.height(); ++y)
        out.append(reinterpret_cast<const char*>(image.constScanLine(y)), rowBytes);
}

// Only palette formats have a colour table, of at most one colour for each pixel value.
bool fitsColourTable(const QImage& image, quint32 colourCount)
{
    const QImage::Format format = image.format();
    const bool palette =
        format == QImage::Format_Mono || format == QImage::Format_MonoLSB || format == QImage::Format_Indexed8;
    return palette ? colourCount <= (1u << image.depth()) : colourCount == 0;
}

// Every pixel of a palette picture names a colour of its table: a value past the table's end
// would be looked up beyond it by whoever draws the picture.
bool pixelsWithinColourTable(const QImage& image)
{
    const qsizetype colours = image.colorCount();
    if (image.depth() > 8 || colours >= (qsizetype(1) << image.depth()))
        return true;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelIndex(x, y) >= colours)
                return false;
    return true;
}

std::optional<QImage> decodeImage(Reader& in)
{
    qint32 format = 0;
    if (!in.i32(format))
        return std::nullopt;
    if (format == 0)
        return QImage();
    qint32 width = 0, height = 0, rowBytes = 0, dotsX = 0, dotsY = 0;
    quint32 colourCount = 0;
    if (format <= 0 || format >= QImage::NImageFormats || !in.i32(width) || !in.i32(height) || !in.i32(rowBytes)
        || !in.i32(dotsX) || !in.i32(dotsY) || !in.u32(colourCount))
        return std::nullopt;
    if (width <= 0 || height <= 0 || width > kThumbnailSideLimit || height > kThumbnailSideLimit || colourCount > 256
        || dotsX <= 0 || dotsY <= 0)
        return std::nullopt;
    QImage image(width, height, QImage::Format(format));
    if (image.isNull() || packedRowBytes(image) != rowBytes || !fitsColourTable(image, colourCount))
        return std::nullopt;
    QList<QRgb> colours(colourCount);
    for (QRgb& colour : colours)
        if (!in.u32(colour))
            return std::nullopt;
    if (!colours.isEmpty())
        image.setColorTable(colours);
    image.setDotsPerMeterX(dotsX);
    image.setDotsPerMeterY(dotsY);
    for (int y = 0; y < height; ++y) {
        QByteArrayView row;
        if (!in.bytes(rowBytes, row))
            return std::nullopt;
        std::memcpy(image.scanLine(y), row.data(), size_t(rowBytes));
    }
    if (!pixelsWithinColourTable(image))
        return std::nullopt;
    return image;
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

QByteArray frame(QByteArrayView payload)
{
    QByteArray out;
    out.reserve(payload.size() + 4);
    putU32(out, quint32(payload.size()));
    out.append(payload);
    return out;
}

std::optional<QByteArray> takeFrame(QByteArray& buffer)
{
    if (buffer.size() < 4)
        return std::nullopt;
    const quint32 length = qFromLittleEndian<quint32>(buffer.constData());
    if (length > kFrameLimit)
        throw std::runtime_error("frame too long");
    if (quint64(buffer.size()) < 4 + quint64(length))
        return std::nullopt;
    QByteArray payload = buffer.mid(4, length);
    buffer.remove(0, 4 + length);
    return payload;
}

QByteArray encodeRequest(const QString& path) { return QFile::encodeName(path); }

QString decodeRequest(QByteArrayView payload) { return QFile::decodeName(payload.toByteArray()); }

QByteArray encodeReply(const ThumbnailResult& result)
{
    QByteArray out;
    putI32(out, result.code);
    const QByteArray text = result.errorText.toUtf8();
    putU32(out, quint32(text.size()));
    out.append(text);
    encodeImage(out, result.thumbnail);
    return out;
}

std::optional<ThumbnailResult> decodeReply(QByteArrayView payload)
{
    Reader in(payload);
    ThumbnailResult result;
    quint32 textLength = 0;
    QByteArrayView text;
    if (!in.i32(result.code) || !in.u32(textLength) || textLength > kFrameLimit || !in.bytes(textLength, text))
        return std::nullopt;
    result.errorText = QString::fromUtf8(text);
    std::optional<QImage> thumbnail = decodeImage(in);
    if (!thumbnail || !in.atEnd())
        return std::nullopt;
    result.thumbnail = *thumbnail;
    return result;
}

ThumbnailResult decodeThumbnail(const QString& path)
{
    // No disk registry: an absent disk is explained by the caller.
    static TLoadPictureModule loader(nullptr, decoder_process::embeddedThumbnailsAllowed());
    TImageElement record;
    record.IT_Path = pathBytes(path);
    const TVol_Info volume = ReadVolumeInfo(path);
    record.IT_VolumeSerial = volume.serialNumber;
    record.IT_Removable = volume.removable;
    return loader.loadThumbnail(path, record);
}

int serve(int input, int output, const std::function<ThumbnailResult(const QString&)>& decode)
{
    ThumbnailResult ready;
    ready.code = kReadyCode;
    if (!writeAll(output, frame(encodeReply(ready))))
        return 1;
    QByteArray buffer;
    char chunk[4096];
    for (;;) {
        try {
            while (std::optional<QByteArray> request = takeFrame(buffer))
                if (!writeAll(output, frame(encodeReply(decode(decodeRequest(*request))))))
                    return 1;
        } catch (const std::runtime_error&) {
            return 1; // not a request of ours
        }
        const ssize_t got = ::read(input, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return 0; // the import has ended
        buffer.append(chunk, got);
    }
}

} // namespace glimmora::decoder_protocol

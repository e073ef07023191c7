#include "TestPictures.h"

#include "MetafileWriter.h"

// Qt
#include <QBuffer>
#include <QProcess>
#include <QStandardPaths>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace glimmora::test {

namespace {

int quadrantOf(int x, int y, int width, int height) { return (y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1); }

void putLittle16(QByteArray& bytes, int value)
{
    bytes.append(char(value & 0xFF));
    bytes.append(char((value >> 8) & 0xFF));
}

void putLittle32(QByteArray& bytes, quint32 value)
{
    putLittle16(bytes, int(value & 0xFFFF));
    putLittle16(bytes, int(value >> 16));
}

// Literal runs of at most 127 bytes, each preceded by its length: the uncompressed form of
// the run-length codings of WPG and Dr. Halo.
QByteArray literalRuns(const uchar* data, int count)
{
    QByteArray runs;
    for (int start = 0; start < count; start += 127) {
        const int length = std::min(127, count - start);
        runs.append(char(length));
        runs.append(reinterpret_cast<const char*>(data + start), length);
    }
    return runs;
}

QByteArray wpgRecord(int type, const QByteArray& body)
{
    QByteArray record(1, char(type));
    if (body.size() < 0xFF) {
        record.append(char(body.size()));
    } else {
        record.append(char(0xFF));
        putLittle16(record, int(body.size()));
    }
    return record + body;
}

} // namespace

QImage quadrantPicture(int width, int height, const Quadrants& colours)
{
    QList<QRgb> palette; // each colour once, so the bilevel picture has two entries
    for (QRgb colour : colours) {
        if (!palette.contains(colour))
            palette.append(colour);
    }
    QImage picture(width, height, QImage::Format_Indexed8);
    picture.setColorTable(palette);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, uint(palette.indexOf(colours[size_t(quadrantOf(x, y, width, height))])));
    }
    return picture;
}

Quadrants quadrantCentres(const QImage& image)
{
    const int w = image.width();
    const int h = image.height();
    return {image.pixel(w / 4, h / 4), image.pixel(3 * w / 4, h / 4), image.pixel(w / 4, 3 * h / 4),
            image.pixel(3 * w / 4, 3 * h / 4)};
}

bool sameQuadrants(const Quadrants& actual, const Quadrants& expected, int tolerance)
{
    for (size_t i = 0; i < actual.size(); ++i) {
        if (std::abs(qRed(actual[i]) - qRed(expected[i])) > tolerance
            || std::abs(qGreen(actual[i]) - qGreen(expected[i])) > tolerance
            || std::abs(qBlue(actual[i]) - qBlue(expected[i])) > tolerance)
            return false;
    }
    return true;
}

QString describe(const Quadrants& quadrants)
{
    QStringList colours;
    for (QRgb colour : quadrants)
        colours << QStringLiteral("#%1").arg(colour & 0xFFFFFF, 6, 16, QLatin1Char('0'));
    return colours.join(QLatin1Char(' '));
}

QByteArray encodedPicture(const QImage& picture, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, format))
        throw std::runtime_error(std::string("cannot write ") + format);
    return bytes;
}

QByteArray ppmBytes(const QImage& picture)
{
    QByteArray bytes = QStringLiteral("P6\n%1 %2\n255\n").arg(picture.width()).arg(picture.height()).toLatin1();
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb colour = picture.pixel(x, y);
            bytes.append(char(qRed(colour)));
            bytes.append(char(qGreen(colour)));
            bytes.append(char(qBlue(colour)));
        }
    }
    return bytes;
}

QByteArray pbmBytes(const QImage& picture)
{
    QByteArray bytes = QStringLiteral("P4\n%1 %2\n").arg(picture.width()).arg(picture.height()).toLatin1();
    const int rowBytes = (picture.width() + 7) / 8;
    for (int y = 0; y < picture.height(); ++y) {
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < picture.width(); ++x) {
            if (picture.pixelIndex(x, y) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        bytes += row;
    }
    return bytes;
}

QByteArray wpgBytes(const QImage& picture)
{
    QByteArray bytes("\xFFWPC", 4);
    putLittle32(bytes, 16);              // data offset
    bytes.append("\x01\x16\x01\x00", 4); // product, file type, version 1.0
    bytes.append(QByteArray(4, '\0'));   // not encrypted, reserved

    QByteArray start("\x01\x00", 2);
    putLittle16(start, picture.width() * 16); // size in 1/1200 inch
    putLittle16(start, picture.height() * 16);
    bytes += wpgRecord(0x0F, start);

    QByteArray colourMap;
    putLittle16(colourMap, 0);
    putLittle16(colourMap, int(picture.colorCount()));
    for (QRgb colour : picture.colorTable()) {
        colourMap.append(char(qRed(colour)));
        colourMap.append(char(qGreen(colour)));
        colourMap.append(char(qBlue(colour)));
    }
    bytes += wpgRecord(0x0E, colourMap);

    QByteArray bitmap;
    for (int value : {picture.width(), picture.height(), 8, 75, 75})
        putLittle16(bitmap, value);
    for (int y = 0; y < picture.height(); ++y)
        bitmap += literalRuns(picture.constScanLine(y), picture.width());
    bytes += wpgRecord(0x0B, bitmap);
    bytes += wpgRecord(0x10, QByteArray());
    return bytes;
}

QByteArray cutBytes(const QImage& picture)
{
    QByteArray bytes;
    putLittle16(bytes, picture.width());
    putLittle16(bytes, picture.height());
    putLittle16(bytes, 0);
    for (int y = 0; y < picture.height(); ++y) {
        const QByteArray line = literalRuns(picture.constScanLine(y), picture.width()) + QByteArray(1, '\0');
        putLittle16(bytes, int(line.size()));
        bytes += line;
    }
    return bytes;
}

QByteArray haloPaletteBytes(const QImage& picture)
{
    QByteArray bytes("AH", 2);
    for (int value : {0xE3, 0x0A, 0}) // version, size, file type and subtype
        putLittle16(bytes, value);
    putLittle16(bytes, 0);                             // board
    putLittle16(bytes, 0);                             // graphics mode
    putLittle16(bytes, int(picture.colorCount()) - 1); // the largest index
    for (int i = 0; i < 3; ++i)
        putLittle16(bytes, 255); // the largest red, green and blue
    bytes.append(QByteArray(20, '\0'));
    for (QRgb colour : picture.colorTable()) {
        putLittle16(bytes, qRed(colour));
        putLittle16(bytes, qGreen(colour));
        putLittle16(bytes, qBlue(colour));
    }
    return bytes;
}

QByteArray tgaBytes(const QImage& picture)
{
    QByteArray bytes(12, '\0');
    bytes[2] = 2; // uncompressed true colour
    putLittle16(bytes, picture.width());
    putLittle16(bytes, picture.height());
    bytes.append(char(24));
    bytes.append(char(0x20)); // the top row first
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb colour = picture.pixel(x, y);
            bytes.append(char(qBlue(colour)));
            bytes.append(char(qGreen(colour)));
            bytes.append(char(qRed(colour)));
        }
    }
    return bytes;
}

QByteArray mspBytes(const QImage& picture)
{
    QByteArray header("DanM", 4);
    for (int value : {picture.width(), picture.height(), 1, 1, 1, 1, picture.width(), picture.height(), 0, 0})
        putLittle16(header, value);
    int checksum = 0;
    for (int i = 0; i < 24; i += 2)
        checksum ^= quint8(header[i]) | quint8(header[i + 1]) << 8;
    putLittle16(header, checksum);
    header.append(QByteArray(6, '\0'));

    QByteArray bits;
    const int rowBytes = (picture.width() + 7) / 8;
    for (int y = 0; y < picture.height(); ++y) {
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < picture.width(); ++x) {
            if (picture.pixelIndex(x, y) != 0) // a set bit is white
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        bits += row;
    }
    return header + bits;
}

QByteArray pictorBytes(const QImage& picture)
{
    QByteArray bytes;
    putLittle16(bytes, 0x1234);
    putLittle16(bytes, picture.width());
    putLittle16(bytes, picture.height());
    putLittle32(bytes, 0);    // position on the screen
    bytes.append(char(0x08)); // one plane of 8 bits
    bytes.append("\xFF"
                 "L",
                 2);       // palette follows; VGA 320 × 200 × 256
    putLittle16(bytes, 5); // VGA palette of 6-bit components
    putLittle16(bytes, 768);
    QByteArray palette(768, '\0');
    for (int i = 0; i < picture.colorCount(); ++i) {
        palette[3 * i] = char(qRed(picture.color(i)) >> 2);
        palette[3 * i + 1] = char(qGreen(picture.color(i)) >> 2);
        palette[3 * i + 2] = char(qBlue(picture.color(i)) >> 2);
    }
    bytes += palette;

    QByteArray pixels; // rows from the bottom up, every pixel a literal (the marker is 0xFF)
    for (int y = picture.height() - 1; y >= 0; --y)
        pixels.append(reinterpret_cast<const char*>(picture.constScanLine(y)), picture.width());
    putLittle16(bytes, 1); // one block
    putLittle16(bytes, int(pixels.size()) + 5);
    putLittle16(bytes, int(pixels.size()));
    bytes.append(char(0xFF));
    bytes += pixels;
    bytes.append(QByteArray(2, '\0'));
    return bytes;
}

QByteArray hrzBytes(const QImage& picture)
{
    QByteArray bytes;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb colour = picture.pixel(x, y);
            bytes.append(char(qRed(colour) >> 2));
            bytes.append(char(qGreen(colour) >> 2));
            bytes.append(char(qBlue(colour) >> 2));
        }
    }
    return bytes;
}

QByteArray wmfBytes(const QImage& picture)
{
    const QRect bounds(QPoint(0, 0), picture.size());
    return metafile::WmfWriter(bounds, 96).stretchDib(bounds, picture).finish();
}

QByteArray emfBytes(const QImage& picture)
{
    // A frame of 2540 × 1270 hundredths of a millimetre is 96 × 48 pixels at 96 per inch; the
    // reference device has 4 pixels per millimetre.
    return metafile::EmfWriter(QRect(0, 0, 2540, 1270)).stretchDiBits(QRect(0, 0, 102, 51), picture).finish();
}

QByteArray headerlessDibBytes(const QImage& picture)
{
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "BMP"))
        throw std::runtime_error("cannot write a BMP");
    return bmp.mid(14);
}

QString runCommand(const QString& commandLine)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), commandLine});
    if (!process.waitForFinished(120'000))
        return QStringLiteral("%1: did not finish").arg(commandLine);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QStringLiteral("%1: %2").arg(commandLine, QString::fromLocal8Bit(process.readAll()));
    return QString();
}

QString missingTool(const QString& commandLine)
{
    const QString tool = commandLine.section(QLatin1Char(' '), 0, 0);
    return QStandardPaths::findExecutable(tool).isEmpty() ? tool : QString();
}

QString addExif(const std::filesystem::path& jpegFile, const QImage& thumbnail, int orientation)
{
    QString arguments;
    const std::filesystem::path thumbnailFile = jpegFile.string() + ".thumbnail.jpg";
    if (!thumbnail.isNull()) {
        writeBytes(thumbnailFile, encodedPicture(thumbnail, "JPEG"));
        arguments += QStringLiteral(" '-ThumbnailImage<=%1'").arg(qPath(thumbnailFile));
    }
    if (orientation > 0)
        arguments += QStringLiteral(" -Orientation#=%1").arg(orientation);
    const QString failure =
        runCommand(QStringLiteral("%1 -q -q -overwrite_original%2 '%3'").arg(kExifTool, arguments, qPath(jpegFile)));
    std::filesystem::remove(thumbnailFile);
    return failure;
}

QString writeCameraJpeg(const std::filesystem::path& file, QSize pictureSize, QSize thumbnailSize, int orientation)
{
    writeBytes(file,
               encodedPicture(quadrantPicture(pictureSize.width(), pictureSize.height(), kColourQuadrants), "JPEG"));
    return addExif(file, quadrantPicture(thumbnailSize.width(), thumbnailSize.height(), kProbeQuadrants), orientation);
}

void writeBytes(const std::filesystem::path& file, const QByteArray& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.constData(), bytes.size());
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

QString qPath(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

} // namespace glimmora::test

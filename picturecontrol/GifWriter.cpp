#include "picturecontrol/GifWriter.h"

#include "picturecontrol/MagickPictureDecoder.h"

// Qt
#include <QHash>
#include <QIODevice>

// giflib
#include <gif_lib.h>

// ImageMagick
#include <Magick++.h>

#include <stdexcept>

namespace glimmora {

namespace {

constexpr int kMaxColours = 256;

// The colours of a picture that has at most 256 of them, each index in order of first use; an
// empty table when it has more.
PalettePicture exactPalette(const QImage& rgb)
{
    PalettePicture palette;
    palette.indexes.resize(qsizetype(rgb.width()) * rgb.height());
    QHash<QRgb, uchar> indexOf;
    char* index = palette.indexes.data();
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* pixels = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb colour = pixels[x] | 0xFF000000u;
            auto found = indexOf.constFind(colour);
            if (found == indexOf.constEnd()) {
                if (palette.colours.size() == kMaxColours)
                    return {};
                found = indexOf.insert(colour, uchar(palette.colours.size()));
                palette.colours.append(colour);
            }
            *index++ = char(*found);
        }
    }
    return palette;
}

QRgb colourOf(const Magick::Color& colour)
{
    return qRgb(MagickCore::ScaleQuantumToChar(colour.redQuantum()),
                MagickCore::ScaleQuantumToChar(colour.greenQuantum()),
                MagickCore::ScaleQuantumToChar(colour.blueQuantum()));
}

PalettePicture quantizedPalette(const QImage& rgb)
{
    if (!initializeMagick())
        throw std::runtime_error("ImageMagick cannot be confined, so it does not reduce the picture's colours.");
    const auto width = size_t(rgb.width());
    const auto height = size_t(rgb.height());
    // Blue, green, red and a pad byte: the memory of QImage's RGB32 on a little-endian machine.
    Magick::Image image(width, height, "BGRP", Magick::CharPixel, rgb.constBits());
    image.quantizeColors(kMaxColours);
    image.quantizeDitherMethod(MagickCore::FloydSteinbergDitherMethod);
    image.quantizeDither(true);
    image.quantize();
    image.classType(MagickCore::PseudoClass);

    PalettePicture palette;
    for (size_t i = 0; i < image.colorMapSize(); ++i)
        palette.colours.append(colourOf(image.colorMap(i)));
    palette.indexes.resize(qsizetype(width * height));
    char* index = palette.indexes.data();
    for (size_t y = 0; y < height; ++y) {
        image.getConstPixels(0, ssize_t(y), width, 1);
        const MagickCore::IndexPacket* row = image.getConstIndexes();
        for (size_t x = 0; x < width; ++x)
            *index++ = char(row[x]);
    }
    return palette;
}

int writeToDevice(GifFileType* gif, const GifByteType* bytes, int length)
{
    auto* out = static_cast<QIODevice*>(gif->UserData);
    return int(out->write(reinterpret_cast<const char*>(bytes), length));
}

// A giflib colour table holds a power of two of colours; the unused ones are black.
ColorMapObject* colourMapOf(const QList<QRgb>& colours)
{
    const int size = 1 << GifBitSize(int(colours.size()));
    ColorMapObject* map = GifMakeMapObject(size, nullptr);
    if (!map)
        return nullptr;
    for (int i = 0; i < size; ++i) {
        const QRgb colour = i < colours.size() ? colours.at(i) : qRgb(0, 0, 0);
        map->Colors[i] =
            GifColorType{GifByteType(qRed(colour)), GifByteType(qGreen(colour)), GifByteType(qBlue(colour))};
    }
    return map;
}

QString gifError(int code) { return QString::fromLatin1(GifErrorString(code)); }

} // namespace

PalettePicture reduceToPalette(const QImage& picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    PalettePicture palette = exactPalette(rgb);
    if (!palette.colours.isEmpty() || rgb.isNull())
        return palette;
    try {
        return quantizedPalette(rgb);
    } catch (const Magick::Exception& error) {
        throw std::runtime_error(error.what());
    }
}

QString writeGif(const QImage& picture, QIODevice& out)
{
    if (picture.width() > kMaxGifSide || picture.height() > kMaxGifSide)
        return QStringLiteral("A GIF picture holds at most %1 pixels a side.").arg(kMaxGifSide);
    PalettePicture palette;
    try {
        palette = reduceToPalette(picture);
    } catch (const std::runtime_error& error) {
        return QString::fromLocal8Bit(error.what());
    }
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeToDevice, &error);
    if (!gif)
        return gifError(error);
    ColorMapObject* map = colourMapOf(palette.colours);
    const int width = picture.width();
    bool written = map && EGifPutScreenDesc(gif, width, picture.height(), 8, 0, map) == GIF_OK
                   && EGifPutImageDesc(gif, 0, 0, width, picture.height(), false, nullptr) == GIF_OK;
    for (int y = 0; written && y < picture.height(); ++y) {
        auto* row = reinterpret_cast<GifPixelType*>(palette.indexes.data() + qsizetype(y) * width);
        written = EGifPutLine(gif, row, width) == GIF_OK;
    }
    if (!map)
        error = E_GIF_ERR_NOT_ENOUGH_MEM;
    else if (!written)
        error = gif->Error;
    GifFreeMapObject(map); // giflib keeps a copy of its own
    // Closing writes the trailer, so it fails too when the device does.
    const bool closed = EGifCloseFile(gif, written ? &error : nullptr) == GIF_OK;
    if (written && closed)
        return QString();
    return error == E_GIF_ERR_WRITE_FAILED ? out.errorString() : gifError(error);
}

} // namespace glimmora

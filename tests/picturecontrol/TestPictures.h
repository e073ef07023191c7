#pragma once

// Qt
#include <QByteArray>
#include <QImage>
#include <QRgb>
#include <QString>
#include <QStringList>

#include <array>
#include <filesystem>

namespace glimmora::test {

// Test pictures are four quadrants, so that a flip, a mirror, a wrong palette or swapped
// channels all show at the corners: red top-left, green top-right, blue bottom-left and
// yellow bottom-right; the bilevel ones are black top-left and white elsewhere.
using Quadrants = std::array<QRgb, 4>; // top-left, top-right, bottom-left, bottom-right

inline constexpr Quadrants kColourQuadrants{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};
inline constexpr Quadrants kBilevelQuadrants{0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
// The colours of the thumbnails stored in the tests' camera JPEGs, far from kColourQuadrants,
// so that a thumbnail shows whether it was made from the stored one or from the picture.
inline constexpr Quadrants kProbeQuadrants{0xFF00FFFF, 0xFFFF00FF, 0xFFFFFFFF, 0xFFFF8000};

// A picture of four equal quadrants, as an 8-bit indexed image whose palette holds each
// quadrant colour once, in the order top-left … bottom-right.
QImage quadrantPicture(int width, int height, const Quadrants& colours);

// The colours at the centres of the four quadrants.
Quadrants quadrantCentres(const QImage& image);

// Every channel of every quadrant within tolerance of what was expected.
bool sameQuadrants(const Quadrants& actual, const Quadrants& expected, int tolerance);
QString describe(const Quadrants& quadrants);

// The picture in a format Qt writes ("PNG", "JPEG", …).
QByteArray encodedPicture(const QImage& picture, const char* format);

// Netpbm files of the picture, the common input of the external tools.
QByteArray ppmBytes(const QImage& picture);
QByteArray pbmBytes(const QImage& picture); // index 0 black, every other index white

// Writers for the types no packaged tool writes, from the format descriptions.
QByteArray wpgBytes(const QImage& picture);           // WordPerfect graphics, 8-bit bitmap record
QByteArray cutBytes(const QImage& picture);           // Dr. Halo, 8-bit, no palette file
QByteArray haloPaletteBytes(const QImage& picture);   // the Dr. Halo palette file (.pal) of its colour table
QByteArray tgaBytes(const QImage& picture);           // Truevision TGA, 24-bit, uncompressed, top row first
QByteArray mspBytes(const QImage& picture);           // Microsoft Paint 1.x, bilevel
QByteArray pictorBytes(const QImage& picture);        // PC Paint / Pictor, 8-bit with VGA palette
QByteArray hrzBytes(const QImage& picture);           // slow-scan television, 256 × 240, 6-bit RGB
QByteArray wmfBytes(const QImage& picture);           // placeable metafile, the picture at 96 per inch
QByteArray emfBytes(const QImage& picture);           // enhanced metafile of 96 × 48 pixels
QByteArray headerlessDibBytes(const QImage& picture); // a BMP without its file header

// Runs a shell command line; empty when it succeeded, else what went wrong.
QString runCommand(const QString& commandLine);
// The first word of a command line that is not on PATH, or empty.
QString missingTool(const QString& commandLine);

// What a camera adds to its JPEG, written into `jpegFile` by exiftool: an EXIF block with
// `thumbnail` as the stored thumbnail (none when null) and the orientation tag (none when 0).
// Empty when written, else what went wrong; exiftool is the independent writer.
inline const QString kExifTool = QStringLiteral("exiftool");
QString addExif(const std::filesystem::path& jpegFile, const QImage& thumbnail, int orientation);
// A camera's JPEG of the colour quadrants whose EXIF block stores a thumbnail of the probe
// quadrants and the orientation tag (none when 0); as addExif.
QString writeCameraJpeg(const std::filesystem::path& file, QSize pictureSize, QSize thumbnailSize, int orientation = 0);

void writeBytes(const std::filesystem::path& file, const QByteArray& bytes);
QString qPath(const std::filesystem::path& path);

} // namespace glimmora::test

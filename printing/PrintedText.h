#pragma once

// Qt
#include <QByteArray>
#include <QString>

namespace glimmora {

struct TImageElement;

// What a printed detail line shows of an image record. A record's path reaches the page only
// through printedImageTexts, and its order only through printedPathOrder.
struct PrintedImageTexts {
    QString directory; // without its trailing separator, but for the root
    QString fileName;
    QString memo; // trimmed
};
PrintedImageTexts printedImageTexts(const TImageElement& record);

// The directory part of a path as printed: "/pics/oak.png" gives "/pics", "/oak.png" gives "/".
QString printedDirectory(const QString& path);

// The order a category is previewed in: byte by byte over the stored paths.
QByteArray printedPathOrder(const TImageElement& record);

// A text as one printed line: line breaks and tabs become blanks and other control characters
// the replacement character, so that no outside text can break the layout.
QString singleLineText(const QString& text);

} // namespace glimmora

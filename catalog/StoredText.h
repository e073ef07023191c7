#pragma once

// Qt
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace glimmora {

// Texts other than paths (memos, category names, labels, descriptions) are stored as UTF-8 and
// their limits count bytes.

// The UTF-8 bytes of a text, cut to at most maxBytes without splitting a character
// (maxBytes < 0: no limit).
QByteArray storedTextBytes(const QString& text, qsizetype maxBytes = -1);

// A text cut so that its UTF-8 form fits in maxBytes.
QString limitedText(const QString& text, qsizetype maxBytes);

// Reads stored text bytes: UTF-8 when they are valid UTF-8, else Windows-1252 (the files of
// older writers).
QString storedTextFrom(QByteArrayView bytes);

// Trims leading and trailing blanks and control characters.
QString trimmedText(const QString& text);

} // namespace glimmora

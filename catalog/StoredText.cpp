#include "catalog/StoredText.h"

// Qt
#include <QStringDecoder>

namespace glimmora {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F; the five unassigned bytes map to the
// C1 controls of the same value, as the Windows converter does.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString fromWindows1252(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        text.append(value >= 0x80 && value < 0xA0 ? QChar(kWindows1252High[value - 0x80]) : QChar(value));
    }
    return text;
}

bool isUtf8ContinuationByte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

bool isBlankOrControl(QChar c) { return c.unicode() <= 0x20 || c.category() == QChar::Other_Control; }

} // namespace

QByteArray storedTextBytes(const QString& text, qsizetype maxBytes)
{
    QByteArray bytes = text.toUtf8();
    if (maxBytes < 0 || bytes.size() <= maxBytes)
        return bytes;
    qsizetype end = maxBytes;
    while (end > 0 && isUtf8ContinuationByte(bytes[end]))
        --end;
    bytes.truncate(end);
    return bytes;
}

QString limitedText(const QString& text, qsizetype maxBytes)
{
    return QString::fromUtf8(storedTextBytes(text, maxBytes));
}

QString storedTextFrom(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        return fromWindows1252(bytes);
    return text;
}

QString trimmedText(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlankOrControl(text[begin]))
        ++begin;
    while (end > begin && isBlankOrControl(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace glimmora

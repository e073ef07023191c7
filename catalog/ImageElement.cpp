#include "catalog/ImageElement.h"

#include "catalog/StoredText.h"
#include "platform/Paths.h"

// Qt
#include <QFile>

#include <cstdio>

namespace glimmora {

const std::array<const char*, kPictureTypeCount> kPictureTypes = {
    "bmp", "wmf", "ico", "jpg", "jif", "gif", "dib", "rle", "tga", "pcx", "wpg", "art", "cur", "cut", "emf", "gem",
    "hrz", "iff", "img", "lbm", "mac", "msp", "pbm", "pgm", "pic", "png", "pnm", "ppm", "ras", "tif", "avi", "mov",
};

namespace {

// The extension is the text from the last "." after the last separator; the whole input when
// there is no such dot (so a bare "bmp" is an extension too).
QString extensionOf(const QString& nameOrExtension)
{
    const qsizetype dot = nameOrExtension.lastIndexOf(QLatin1Char('.'));
    const qsizetype separator = nameOrExtension.lastIndexOf(QLatin1Char('/'));
    if (dot < 0 || dot < separator)
        return nameOrExtension;
    return nameOrExtension.mid(dot);
}

} // namespace

std::optional<int> PictureTypeOf(const QString& nameOrExtension)
{
    const QString extension = canonicalExtension(extensionOf(nameOrExtension));
    for (int type = 0; type < kPictureTypeCount; ++type)
        if (extension == QLatin1String(kPictureTypes[type]))
            return type;
    return std::nullopt;
}

std::int32_t PathChecksum(const QByteArray& bytes)
{
    std::uint32_t sum = 0; // unsigned, so that the sum wraps as the stored value expects
    for (qsizetype i = 0; i + 1 < bytes.size(); ++i)
        sum += static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(bytes[i])));
    return static_cast<std::int32_t>(sum);
}

std::int32_t PathChecksum(const QString& path) { return PathChecksum(pathBytes(path)); }

QByteArray pathBytes(const QString& path) { return QFile::encodeName(path); }

QString localPath(const QByteArray& bytes) { return QFile::decodeName(bytes); }

QString displayPath(QByteArrayView bytes) { return storedTextFrom(bytes); }

std::string ImageStoreKey(std::int32_t seqNo)
{
    char key[16];
    std::snprintf(key, sizeof key, "%6.6d", static_cast<int>(seqNo));
    return key;
}

QString fileNamePart(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }

QString fileNamePart(const QByteArray& path)
{
    return displayPath(QByteArrayView(path).sliced(path.lastIndexOf('/') + 1));
}

QString MemoText(const QString& base, const QString& entered)
{
    const QString blank = QStringLiteral(" ");
    return blank + trimmedText(trimmedText(base) + blank + trimmedText(entered)) + blank;
}

} // namespace glimmora

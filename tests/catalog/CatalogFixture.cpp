#include "CatalogFixture.h"

// Qt
#include <QtEndian>

#include <gtest/gtest.h>

namespace glimmora::test {

ThumbnailResult QImageThumbnails::loadThumbnail(const QString& path, const TImageElement& record)
{
    QImage picture(path);
    if (picture.isNull()) {
        const LoadErrorOutcome failure =
            HandleLoadError(path, &record, QStringLiteral("Cannot read the picture %1").arg(path), true, nullptr);
        return {failure.resultCode, QImage(), failure.errorText};
    }
    loaded.append(path);
    const QSize size = thumbnailSize.value_or(picture.size().scaled(60, 60, Qt::KeepAspectRatio));
    return {kLoadLoaded, picture.scaled(size), QString()};
}

void writePicture(const std::filesystem::path& file, QColor colour, QSize size)
{
    std::filesystem::create_directories(file.parent_path());
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(qpath(file), "PNG"));
}

void RecordingView::fillImages(const QList<TImageElement*>& records)
{
    items = records;
    std::sort(items.begin(), items.end(), [](const TImageElement* a, const TImageElement* b) {
        return fileNamePart(a->IT_Path) < fileNamePart(b->IT_Path);
    });
}

void RecordingView::removeImageItem(std::int32_t seqNo)
{
    for (qsizetype i = items.size() - 1; i >= 0; --i)
        if (items[i]->IT_SeqNo == seqNo) {
            items.removeAt(i);
            return;
        }
}

void RecordingView::closeView()
{
    closed = true;
    if (category)
        categories_.DetachWindow(*category, *this);
}

QStringList RecordingView::itemTexts() const
{
    QStringList texts;
    for (const TImageElement* record : items)
        texts.append(fileNamePart(record->IT_Path));
    return texts;
}

namespace {

std::int32_t int32At(const std::string& bytes, std::size_t at)
{
    if (at + 4 > bytes.size())
        throw std::runtime_error("store file ends early");
    return qFromLittleEndian<std::int32_t>(bytes.data() + at);
}

void appendInt32(std::string& bytes, std::int32_t value)
{
    char raw[4];
    qToLittleEndian(value, raw);
    bytes.append(raw, 4);
}

} // namespace

StoreFile readStoreFile(const std::filesystem::path& file)
{
    const std::string bytes = readFile(file);
    if (bytes.compare(0, 4, std::string("QDB\0", 4)) != 0)
        throw std::runtime_error("no QDB marker");
    const std::int32_t dataLength = int32At(bytes, 4);
    const std::string data = bytes.substr(8, dataLength);
    std::size_t at = 8 + dataLength;
    if (bytes.compare(at, 4, std::string("QIX\0", 4)) != 0)
        throw std::runtime_error("no QIX marker");
    const std::int32_t indexLength = int32At(bytes, at + 4);
    const std::string index = bytes.substr(at + 8, indexLength);
    StoreFile store;
    store.dataLength = dataLength;
    const std::int32_t count = int32At(index, 0);
    std::size_t position = 4;
    for (std::int32_t i = 0; i < count; ++i) {
        const std::size_t end = index.find('\0', position);
        const QByteArray key = QByteArray::fromStdString(index.substr(position, end - position));
        position = end + 1;
        const std::int32_t valuePosition = int32At(index, position);
        const std::int32_t valueLength = int32At(index, position + 4);
        const auto flags = static_cast<std::uint32_t>(int32At(index, position + 8));
        position += 12;
        StoreEntry entry{QByteArray::fromStdString(data.substr(valuePosition, valueLength)), flags};
        if (flags & 1) {
            store.admin.insert(key, entry);
        } else {
            store.itemKeysInFileOrder.append(key);
            store.items.insert(key, entry);
        }
    }
    return store;
}

std::string storeFileBytes(const QMap<QByteArray, QByteArray>& admin, const QMap<QByteArray, QByteArray>& items)
{
    std::string data;
    std::string index;
    appendInt32(index, static_cast<std::int32_t>(admin.size() + items.size()));
    auto entries = [&](const QMap<QByteArray, QByteArray>& map, std::int32_t flags) {
        // Descending key order, as readers expect.
        const QList<QByteArray> keys = map.keys();
        for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
            const QByteArray& value = map[*key];
            index += key->toStdString();
            index += '\0';
            appendInt32(index, static_cast<std::int32_t>(data.size()));
            appendInt32(index, static_cast<std::int32_t>(value.size()));
            appendInt32(index, flags);
            data += value.toStdString();
        }
    };
    entries(admin, 1);
    entries(items, 0);
    std::string file("QDB\0", 4);
    appendInt32(file, static_cast<std::int32_t>(data.size()));
    file += data;
    file += std::string("QIX\0", 4);
    appendInt32(file, static_cast<std::int32_t>(index.size()));
    file += index;
    return file;
}

} // namespace glimmora::test

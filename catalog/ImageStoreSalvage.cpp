#include "catalog/ImageStoreSalvage.h"

#include "catalog/ImageElement.h"
#include "catalog/ImageItemFormat.h"
#include "store/FileFormat.h"
#include "store/QDB.h"
#include "store/QDBErrors.h"

// Qt
#include <QFile>
#include <QMap>

#include <algorithm>
#include <cstring>
#include <optional>
#include <stdexcept>

namespace glimmora {

namespace format = store::format;

namespace {

const std::string kMaxSeqNoKey = "MAX_SEQ_NO";

// The number of an image record's key ("%6.6d"); none for any other key.
std::optional<std::int32_t> imageNumberOf(const std::string& key)
{
    bool isNumber = false;
    const int seqNo = QByteArray::fromStdString(key).toInt(&isNumber);
    if (!isNumber || seqNo <= 0 || ImageStoreKey(seqNo) != key)
        return std::nullopt;
    return seqNo;
}

// Why a value is no image record; empty when it is one.
QString whyNotARecord(QByteArrayView value)
{
    try {
        decodeImageItem(value);
        return {};
    } catch (const EImageItemError& error) {
        return QString::fromUtf8(error.what());
    }
}

class Salvage {
public:
    StoreSalvage result;

    void offer(std::int32_t seqNo, QByteArrayView value)
    {
        noteNumber(seqNo);
        const QString why = whyNotARecord(value);
        if (why.isEmpty())
            found_.insert(seqNo, value.toByteArray());
        else
            unreadable(seqNo, why);
    }

    void unreadable(std::int32_t seqNo, const QString& why)
    {
        noteNumber(seqNo);
        found_.remove(seqNo);
        result.unreadable.append(QStringLiteral("%1: %2").arg(QString::fromStdString(ImageStoreKey(seqNo)), why));
    }

    void noteNumber(std::int32_t seqNo) { result.highestNumber = std::max(result.highestNumber, seqNo); }

    StoreSalvage take()
    {
        for (auto record = found_.cbegin(); record != found_.cend(); ++record)
            result.records.append({record.key(), record.value()});
        return std::move(result);
    }

private:
    QMap<std::int32_t, QByteArray> found_;
};

// Step 1: through the engine, which has checked the file's layout and index.
bool readThroughEngine(const QString& storeFile, Salvage& salvage)
{
    store::TQDB db;
    db.setReadOnly(true);
    try {
        db.setFileName(QFile::encodeName(storeFile).toStdString());
    } catch (const store::EQDBError&) {
        return false;
    }
    store::TQDB::Bytes value;
    for (std::int32_t i = 0; i < db.count(); ++i) {
        const std::optional<std::int32_t> seqNo = imageNumberOf(db.itemKey(i));
        if (!seqNo)
            continue;
        try {
            db.goToItem(i);
            db.getItem(value);
            salvage.offer(*seqNo, QByteArrayView(reinterpret_cast<const char*>(value.data()), qsizetype(value.size())));
        } catch (const store::EQDBError& error) {
            salvage.unreadable(*seqNo, QString::fromUtf8(error.what()));
        }
    }
    try {
        salvage.noteNumber(db.getAdminInteger(kMaxSeqNoKey));
    } catch (const store::EQDBError&) {
        // no "MAX_SEQ_NO": the keys tell the highest number
    }
    db.setFileName(std::string());
    return true;
}

// Bounds-checked little-endian reading of a byte range.
class Bytes {
public:
    explicit Bytes(QByteArrayView bytes) : bytes_(bytes) {}

    qsizetype size() const { return bytes_.size(); }
    bool fits(qsizetype at, qsizetype length) const { return at >= 0 && length >= 0 && at <= size() - length; }
    std::optional<std::int32_t> int32At(qsizetype at) const
    {
        if (!fits(at, 4))
            return std::nullopt;
        return format::readInt32(reinterpret_cast<const unsigned char*>(bytes_.data() + at));
    }
    bool markerAt(qsizetype at, const format::Marker& marker) const
    {
        return fits(at, 4) && std::memcmp(bytes_.data() + at, marker.data(), marker.size()) == 0;
    }
    QByteArrayView slice(qsizetype at, qsizetype length) const { return bytes_.sliced(at, length); }
    const char* data() const { return bytes_.data(); }

private:
    QByteArrayView bytes_;
};

constexpr qsizetype kDataOffset = format::kDataLengthOffsetPlain + qsizetype(format::kInt32Size);

// Step 2: the index entries, in order, as long as they fit the data. Returns whether an index
// was found at `at` at all.
bool readIndexAt(const Bytes& file, qsizetype at, QByteArrayView data, Salvage& salvage)
{
    const std::optional<std::int32_t> length = file.int32At(at + 4);
    const std::optional<std::int32_t> count = file.int32At(at + 8);
    if (!file.markerAt(at, format::kIndexSignature) || !length || !count || *count < 0)
        return false;
    const qsizetype end = std::min<qsizetype>(file.size(), at + 8 + std::max<qsizetype>(*length, 0));
    qsizetype next = at + 12;
    int read = 0;
    for (; read < *count; ++read) {
        const void* zero = next < end ? std::memchr(file.data() + next, 0, size_t(end - next)) : nullptr;
        if (!zero)
            break;
        const qsizetype keyEnd = static_cast<const char*>(zero) - file.data();
        const std::string key(file.data() + next, size_t(keyEnd - next));
        const auto position = file.int32At(keyEnd + 1);
        const auto valueLength = file.int32At(keyEnd + 5);
        const auto flags = file.int32At(keyEnd + 9);
        if (key.size() > format::kMaxKeyLength || !position || !valueLength || !flags || keyEnd + 13 > end)
            break;
        next = keyEnd + 13;
        const bool fits = *position >= 0 && *valueLength >= 0 && *position <= data.size() - *valueLength;
        const auto entryFlags = std::uint32_t(*flags);
        if (entryFlags & format::ifAdmin) {
            if (key == kMaxSeqNoKey && fits && *valueLength == 4)
                salvage.noteNumber(format::readInt32(reinterpret_cast<const unsigned char*>(data.data() + *position)));
            continue;
        }
        const std::optional<std::int32_t> seqNo = imageNumberOf(key);
        if (!seqNo)
            continue;
        if (!fits)
            salvage.unreadable(*seqNo, QStringLiteral("its value lies outside the store's data"));
        else if (entryFlags & format::ifCompressed)
            salvage.unreadable(*seqNo, QStringLiteral("its value is compressed, which image records never are"));
        else
            salvage.offer(*seqNo, data.sliced(*position, *valueLength));
    }
    if (read < *count)
        salvage.result.finding =
            QStringLiteral("The store's index is damaged: %1 of its %2 entries could be read.").arg(read).arg(*count);
    return true;
}

// The values of a stored record begin with its number, a type below 32 and a removable byte of 0
// or 1; only where they do is a full decoding tried, and a record must carry its path's checksum.
std::optional<std::int32_t> recordAt(QByteArrayView data, qsizetype at)
{
    using namespace image_item;
    if (at + qsizetype(kPathOffset) + 2 > data.size())
        return std::nullopt;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data() + at);
    const std::int32_t seqNo = format::readInt32(bytes);
    const unsigned char tag = bytes[kPathOffset];
    if (seqNo <= 0 || bytes[kFileTypeOffset] >= kPictureTypeCount || bytes[kRemovableOffset] > 1
        || (tag != kShortStringTag && tag != kLongStringTag))
        return std::nullopt;
    try {
        const ImageIdentity identity = decodeImageIdentity(data.sliced(at));
        if (identity.path.isEmpty() || format::readInt32(bytes + kPathHashOffset) != PathChecksum(identity.path))
            return std::nullopt;
        decodeImageItem(data.sliced(at)); // the rest of the layout holds too
        return seqNo;
    } catch (const EImageItemError&) {
        return std::nullopt;
    }
}

// The length of the record value that starts at `at` (as far as its layout goes, with the two
// reserved bytes when they are there).
qsizetype recordLength(QByteArrayView data, qsizetype at)
{
    using namespace image_item;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    qsizetype next = at + qsizetype(kPathOffset);
    for (int text = 0; text < 2; ++text) {
        const qsizetype length =
            bytes[next] == kShortStringTag ? bytes[next + 1] : qsizetype(format::readInt32(bytes + next + 1));
        next += (bytes[next] == kShortStringTag ? 2 : 5) + length;
    }
    next += 2 + qsizetype(bytes[next] | bytes[next + 1] << 8);
    return std::min<qsizetype>(next + qsizetype(kReservedBytes), data.size()) - at;
}

// Step 3.
void searchData(QByteArrayView data, Salvage& salvage)
{
    int found = 0;
    for (qsizetype at = 0; at < data.size();) {
        if (const std::optional<std::int32_t> seqNo = recordAt(data, at)) {
            const qsizetype length = recordLength(data, at);
            salvage.offer(*seqNo, data.sliced(at, length));
            ++found;
            at += length;
        } else {
            ++at;
        }
    }
    salvage.result.indexFound = false;
    salvage.result.finding = QStringLiteral("The store's index could not be found; %1 records were found by their "
                                            "contents. Records deleted before the damage may be among them.")
                                 .arg(found);
}

void readLayout(const Bytes& bytes, Salvage& salvage)
{
    if (bytes.markerAt(format::kPasswordBlockOffset, format::kPasswordSignature)) {
        salvage.result.finding = QStringLiteral("The store is protected by a password; nothing of it can be read.");
        return;
    }
    // The data section runs to the index marker its length points at, else to the last one.
    const std::optional<std::int32_t> dataLength = bytes.int32At(format::kDataLengthOffsetPlain);
    qsizetype indexAt = dataLength && *dataLength >= 0 ? kDataOffset + *dataLength : -1;
    if (!bytes.markerAt(indexAt, format::kIndexSignature)) {
        const QByteArrayView marker(reinterpret_cast<const char*>(format::kIndexSignature.data()), 4);
        indexAt = bytes.slice(0, bytes.size()).lastIndexOf(marker);
        if (indexAt < kDataOffset)
            indexAt = -1;
    }
    const qsizetype dataEnd = indexAt >= 0 ? indexAt : bytes.size();
    const QByteArrayView data =
        bytes.slice(std::min(kDataOffset, dataEnd), std::max<qsizetype>(dataEnd - kDataOffset, 0));
    if (indexAt < 0 || !readIndexAt(bytes, indexAt, data, salvage))
        searchData(data, salvage);
}

} // namespace

StoreSalvage salvageStoreLayout(QByteArrayView file)
{
    Salvage salvage;
    readLayout(Bytes(file), salvage);
    return salvage.take();
}

StoreSalvage salvageImageStore(const QString& storeFile)
{
    Salvage salvage;
    if (readThroughEngine(storeFile, salvage))
        return salvage.take();
    QFile file(storeFile);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(
            QStringLiteral("Could not read %1: %2").arg(storeFile, file.errorString()).toStdString());
    // Mapped, so that a large store is not read into memory; read when it cannot be mapped.
    const uchar* mapped = file.size() > 0 ? file.map(0, file.size()) : nullptr;
    if (mapped)
        return salvageStoreLayout(QByteArrayView(reinterpret_cast<const char*>(mapped), file.size()));
    return salvageStoreLayout(file.readAll());
}

} // namespace glimmora

#include "picturecontrol/WpgRecords.h"

#include <cstdint>
#include <optional>

namespace glimmora {

namespace {

// A WordPerfect graphic: a 16-byte header ("\xFFWPC", the offset of the first record, product
// and file type, major and minor version), then records. Version 1 records are a type byte and
// a length; version 2 records a class byte, a type byte, an extension length and a length.
constexpr int kHeaderSize = 16;
constexpr int kVersionOffset = 10;
constexpr std::uint8_t kVersion1EndRecord = 0x10;

bool isVersion1Raster(std::uint8_t type) { return type == 0x0B || type == 0x11 || type == 0x14 || type == 0x1B; }
bool isVersion2Raster(std::uint8_t type) { return type == 0x0E || type == 0x12; }

class RecordReader {
public:
    RecordReader(const QByteArray& bytes, qint64 at) : bytes_(bytes), at_(at) {}

    bool atEnd() const { return at_ >= bytes_.size(); }

    std::optional<std::uint8_t> byte()
    {
        if (at_ < 0 || at_ >= bytes_.size())
            return std::nullopt;
        return std::uint8_t(bytes_[at_++]);
    }

    std::optional<std::uint32_t> word()
    {
        const auto low = byte();
        const auto high = byte();
        if (!low || !high)
            return std::nullopt;
        return std::uint32_t(*low) | std::uint32_t(*high) << 8;
    }

    // One byte below 0xFF; else a 16-bit length, whose top bit says that a second 16 bits
    // follow as the low half of a 31-bit length.
    std::optional<std::uint32_t> length()
    {
        const auto first = byte();
        if (!first || *first < 0xFF)
            return first;
        const auto middle = word();
        if (!middle || *middle < 0x8000)
            return middle;
        const auto low = word();
        if (!low)
            return std::nullopt;
        return (*middle & 0x7FFF) << 16 | *low;
    }

    bool skip(std::uint32_t count)
    {
        if (qint64(count) > bytes_.size() - at_)
            return false;
        at_ += count;
        return true;
    }

private:
    const QByteArray& bytes_;
    qint64 at_;
};

std::optional<bool> version1HoldsRaster(RecordReader& records)
{
    while (!records.atEnd()) {
        const auto type = records.byte();
        const auto length = records.length();
        if (!type || !length)
            return std::nullopt;
        if (isVersion1Raster(*type))
            return true;
        if (*type == kVersion1EndRecord)
            return false;
        if (!records.skip(*length))
            return std::nullopt;
    }
    return false;
}

std::optional<bool> version2HoldsRaster(RecordReader& records)
{
    while (!records.atEnd()) {
        const auto recordClass = records.byte();
        const auto type = records.byte();
        const auto extension = records.length();
        const auto length = records.length();
        if (!recordClass || !type || !extension || !length)
            return std::nullopt;
        if (isVersion2Raster(*type))
            return true;
        if (!records.skip(*length))
            return std::nullopt;
    }
    return false;
}

} // namespace

bool wpgHoldsRaster(const QByteArray& bytes)
{
    if (bytes.size() < kHeaderSize || !bytes.startsWith("\xFFWPC"))
        return true;
    RecordReader header(bytes, 4);
    const auto low = header.word();
    const auto high = header.word();
    RecordReader records(bytes, qint64(*low | *high << 16));
    std::optional<bool> found;
    switch (bytes[kVersionOffset]) {
    case 1: found = version1HoldsRaster(records); break;
    case 2: found = version2HoldsRaster(records); break;
    default: return true;
    }
    return found.value_or(true);
}

} // namespace glimmora

#pragma once

// The byte layout of a store file (FileFormat.h) read from and written to open seam files: the
// layout of an existing file, a whole new file written front to back, and the two writes of a
// save that appends: the index section after the end of the file, then the data length that
// commits it.

#include "store/FileSeam.h"
#include "store/Password.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace glimmora::store {

// Where the parts of a store file lie; every part lies within the file.
struct StoreLayout {
    bool protectedStore = false;
    Sha1Digest checkValue{};      // a protected store's password check value
    std::int64_t dataOffset = 0;  // first byte of the data section
    std::int32_t dataLength = 0;  // D
    std::int64_t indexOffset = 0; // first byte of the index section
    std::int32_t indexLength = 0; // X
};

// The layout of a store file, or nothing when the file is not one: no signature, no "QIX"
// marker after the data section, or a section reaching beyond the end of the file.
std::optional<StoreLayout> readStoreLayout(SeamFile& file);

// The bytes of a section, unscrambled with the key when one is given. Raises the seam's
// failures; false when the file ends first.
bool readSection(SeamFile& file, std::int64_t offset, std::int32_t length, const std::optional<Sha1Digest>& key,
                 std::vector<std::uint8_t>& section);

// The data length whose four bytes read as the "QPW" marker: a plain store of this length
// could not be told from a protected one, so a writer adds a byte of dead space.
inline constexpr std::int32_t kAmbiguousDataLength = 0x00575051;

// Writes a new store file front to back: the signature, the password block when a key is
// given, the data length, the data section gathered from runs of other files, then the index
// section. Sections of a protected store are scrambled chunk by chunk; the plain copy, when
// one is given, receives the data section unscrambled. A plain data section of
// kAmbiguousDataLength bytes gets one byte of dead space at its end.
class StoreFileWriter {
public:
    StoreFileWriter(SeamFile& out, const std::optional<Sha1Digest>& key, std::int32_t dataLength,
                    SeamFile* plainCopy = nullptr);

    // Appends length bytes of source from offset on to the data section; false when the
    // source ends first.
    bool appendData(SeamFile& source, std::int64_t offset, std::int64_t length);

    // Ends the data section, which must have had the announced length, and writes the index
    // section.
    void finish(std::span<const std::uint8_t> index);

private:
    void flushChunk();

    SeamFile& out_;
    std::optional<Sha1Digest> key_;
    std::int64_t dataLength_;
    bool deadByte_;
    SeamFile* plainCopy_;
    std::int64_t written_ = 0;
    std::vector<std::uint8_t> chunk_; // a protected store's chunk being filled
};

// Writes the "QIX" marker, the index length and the index section, as it is to be stored, at
// the file's position: in a save that appends, after the end of a plain store file.
void appendIndexSection(SeamFile& file, std::span<const std::uint8_t> index);

// Overwrites a plain store file's data length: the one write that switches a reader from the
// store before a save to the store after it.
void writeDataLength(SeamFile& file, std::int32_t dataLength);

} // namespace glimmora::store

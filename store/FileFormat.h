#pragma once

// The byte layout of a store file and of its work files. Every integer is little-endian; an
// int32 is signed two's complement; a marker is three upper-case letters and a zero byte.
//
// Store file, in file order:
//   "QDB" marker                              4
//   password block (protected stores only)   24: "QPW" marker + 20-byte password check value
//   data length D                             4: int32, D >= 0
//   data section                              D: the data work file (scrambled per copy chunk)
//   "QIX" marker                              4
//   index length X                            4: int32, X >= 0
//   index section                             X: the index work file (scrambled per copy chunk)
// Anything after the index section is ignored.
//
// Index section: int32 entry count N, then N entries, then ignored trailing bytes. An entry is
// the key characters and a zero byte (no length prefix, at most 255 characters), then Position,
// Length and Flags as int32. Admin entries come first in descending key order, then the items
// in descending key order; a reader appends in file order and reverses once.

#include <array>
#include <cstddef>
#include <cstdint>

namespace glimmora::store::format {

using Marker = std::array<unsigned char, 4>;

inline constexpr Marker kFileSignature = {'Q', 'D', 'B', 0};
inline constexpr Marker kPasswordSignature = {'Q', 'P', 'W', 0};
inline constexpr Marker kIndexSignature = {'Q', 'I', 'X', 0};

inline constexpr std::size_t kMarkerSize = 4;
inline constexpr std::size_t kInt32Size = 4;
inline constexpr std::size_t kPasswordCheckSize = 20;
inline constexpr std::size_t kMaxKeyLength = 255;

// Offsets within a store file; the data length follows the password block when there is one.
inline constexpr std::size_t kSignatureOffset = 0;
inline constexpr std::size_t kPasswordBlockOffset = kMarkerSize;
inline constexpr std::size_t kPasswordBlockSize = kMarkerSize + kPasswordCheckSize;
inline constexpr std::size_t kDataLengthOffsetPlain = kMarkerSize;
inline constexpr std::size_t kDataLengthOffsetProtected = kMarkerSize + kPasswordBlockSize;

// Index entry flags.
inline constexpr std::uint32_t ifAdmin = 1;
inline constexpr std::uint32_t ifCompressed = 2;

// Fixed part of an index entry after the key and its zero byte.
inline constexpr std::size_t kEntryFixedSize = 3 * kInt32Size;

// A newly created store: "QDB", int32 0, "QIX", int32 5, then the index section int32 0 and one
// zero byte.
inline constexpr std::array<unsigned char, 21> kEmptyStore = {'Q', 'D', 'B', 0, 0, 0, 0, 0, 'Q', 'I', 'X',
                                                              0,   5,   0,   0, 0, 0, 0, 0, 0,   0};

// Chunks of a protected store's sections: the section length clamped to this range. Scrambling
// restarts at every chunk, so these bounds are part of the format there.
inline constexpr std::int64_t kMinCopyBuffer = 1024;
inline constexpr std::int64_t kMaxCopyBuffer = 524288;

// Name prefixes of the temporary files (prefix + 4 hex digits + ".TMP").
inline constexpr const char* kDataWorkPrefix = "QDB";  // data work file, in the temporary directory
inline constexpr const char* kIndexWorkPrefix = "QIX"; // index work file: no longer made, still
                                                       // cleared as stale
inline constexpr const char* kBuildTempPrefix = "QDD"; // a new store file beside the store, renamed over it
inline constexpr const char* kTemporarySuffix = ".TMP";

// Extension given to a store name that has none.
inline constexpr const char* kDefaultExtension = ".QDB";

// Admin key that makes the item index compare keys with case.
inline constexpr const char* kCaseSensitiveKey = "QDBCaseSensitive";

// Clamps a section length to the copy buffer range.
constexpr std::int64_t copyBufferLength(std::int64_t sectionLength)
{
    return sectionLength < kMinCopyBuffer   ? kMinCopyBuffer
           : sectionLength > kMaxCopyBuffer ? kMaxCopyBuffer
                                            : sectionLength;
}

// Little-endian int32 access.
inline std::int32_t readInt32(const unsigned char* bytes)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8
                                     | static_cast<std::uint32_t>(bytes[2]) << 16
                                     | static_cast<std::uint32_t>(bytes[3]) << 24);
}

inline void writeInt32(unsigned char* bytes, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    bytes[0] = static_cast<unsigned char>(bits);
    bytes[1] = static_cast<unsigned char>(bits >> 8);
    bytes[2] = static_cast<unsigned char>(bits >> 16);
    bytes[3] = static_cast<unsigned char>(bits >> 24);
}

} // namespace glimmora::store::format

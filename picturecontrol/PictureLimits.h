#pragma once

#include <cstdint>

namespace glimmora::picturelimits {

// One memory rule holds for every decoder: before a picture is decoded, what the decode will
// hold is worked out from its header, and a picture above these limits is refused with a
// message naming its size instead of exhausting memory.
//
// The largest picture a decoder may deliver: 100 megapixels is 400 MB as 32-bit pixels.
inline constexpr std::int64_t kMaxPixels = 100'000'000;

// The most a decode may hold besides the picture it delivers: libjpeg's coefficient buffer of
// a multi-scan JPEG (2 bytes per sample), ImageMagick's pixel cache (10 bytes a pixel for a
// palette picture). Every picture within kMaxPixels fits in it.
inline constexpr std::int64_t kMaxDecodeBytes = kMaxPixels * 10;

// What one decoder process may come to at most: a decode's working memory, the picture it
// delivers, a copy of it being converted and the libraries themselves. The import runs no more
// decoder processes than the memory available holds at this size.
inline constexpr std::int64_t kDecoderProcessBytes = kMaxDecodeBytes + kMaxPixels * 8 + 512LL * 1024 * 1024;

// Files are read whole by some decoders; nothing we can show is larger than this.
inline constexpr std::int64_t kMaxFileBytes = 1'024LL * 1'024 * 1'024;

} // namespace glimmora::picturelimits

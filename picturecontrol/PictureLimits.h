#pragma once

#include <cstdint>

namespace glimmora::picturelimits {

// The largest picture any decoder is allowed to produce in memory: 100 megapixels is 400 MB
// as 32-bit pixels. Larger pictures are refused with a message instead of exhausting memory;
// JPEG thumbnails are exempt because they are decoded already scaled down.
inline constexpr std::int64_t kMaxPixels = 100'000'000;

// Files are read whole by some decoders; nothing we can show is larger than this.
inline constexpr std::int64_t kMaxFileBytes = 1'024LL * 1'024 * 1'024;

} // namespace glimmora::picturelimits

#pragma once

// Password protection of a store file: the check value kept after the "QPW" marker and the
// scrambling of the data and index sections. A protected store file holds
//   check value = SHA-1(K), with the key K = SHA-1(password characters),
// and every chunk of its two sections xor-ed with a generator seeded from K.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace glimmora::store {

using Sha1Digest = std::array<std::uint8_t, 20>;

// SHA-1 (FIPS 180-1) of the bytes, in the standard digest byte order.
Sha1Digest sha1(std::span<const std::uint8_t> bytes);
Sha1Digest sha1(std::string_view bytes);

// A password holds at most this many characters; the rest of a longer one does not count.
inline constexpr std::size_t kMaxPasswordLength = 255;

// The scrambling key K of a password: SHA-1 of its first kMaxPasswordLength characters (no
// terminator).
Sha1Digest passwordKey(std::string_view password);

// The check value stored in the password block: SHA-1 of the 20 bytes of K.
Sha1Digest passwordCheckValue(const Sha1Digest& key);

// Scrambles count bytes in place; scrambling twice with the same key restores them. The
// generator restarts from the key's seed at every call, so each chunk is scrambled on its own.
void scramble(std::span<std::uint8_t> chunk, const Sha1Digest& key);

// Scrambles a whole section chunk by chunk as a protected store file holds it: whole chunks of
// format::copyBufferLength(section length) bytes, then the shorter remainder. Reader and writer
// must cut alike, so the chunk length depends on the section length only, never on how much
// buffer memory could be had.
void scrambleSection(std::span<std::uint8_t> section, const Sha1Digest& key);

} // namespace glimmora::store

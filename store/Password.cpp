#include "store/Password.h"

#include "store/FileFormat.h"

#include <algorithm>
#include <bit>

namespace glimmora::store {

namespace {

// SHA-1 as FIPS 180-1 gives it: 512-bit blocks, big-endian words, 80 rounds.
class Sha1 {
public:
    void update(std::span<const std::uint8_t> bytes)
    {
        for (const std::uint8_t byte : bytes) {
            block_[blockLength_++] = byte;
            if (blockLength_ == block_.size())
                compressBlock();
        }
        messageBits_ += std::uint64_t(bytes.size()) * 8;
    }

    Sha1Digest finish()
    {
        const std::uint64_t bits = messageBits_;
        const std::uint8_t one = 0x80;
        update({&one, 1});
        const std::uint8_t zero = 0;
        while (blockLength_ != 56)
            update({&zero, 1});
        std::uint8_t length[8];
        for (int i = 0; i < 8; ++i)
            length[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
        update(length);
        Sha1Digest digest;
        for (std::size_t i = 0; i < digest.size(); ++i)
            digest[i] = static_cast<std::uint8_t>(state_[i / 4] >> (24 - 8 * (i % 4)));
        return digest;
    }

private:
    void compressBlock()
    {
        std::uint32_t w[80];
        for (int t = 0; t < 16; ++t)
            w[t] = std::uint32_t(block_[4 * t]) << 24 | std::uint32_t(block_[4 * t + 1]) << 16
                   | std::uint32_t(block_[4 * t + 2]) << 8 | std::uint32_t(block_[4 * t + 3]);
        for (int t = 16; t < 80; ++t)
            w[t] = std::rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);

        std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3], e = state_[4];
        for (int t = 0; t < 80; ++t) {
            std::uint32_t f, k;
            if (t < 20) {
                f = (b & c) | (~b & d);
                k = 0x5A827999;
            } else if (t < 40) {
                f = b ^ c ^ d;
                k = 0x6ED9EBA1;
            } else if (t < 60) {
                f = (b & c) | (b & d) | (c & d);
                k = 0x8F1BBCDC;
            } else {
                f = b ^ c ^ d;
                k = 0xCA62C1D6;
            }
            const std::uint32_t next = std::rotl(a, 5) + f + e + k + w[t];
            e = d;
            d = c;
            c = std::rotl(b, 30);
            b = a;
            a = next;
        }
        state_[0] += a;
        state_[1] += b;
        state_[2] += c;
        state_[3] += d;
        state_[4] += e;
        blockLength_ = 0;
    }

    std::uint32_t state_[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    std::array<std::uint8_t, 64> block_{};
    std::size_t blockLength_ = 0;
    std::uint64_t messageBits_ = 0;
};

std::uint32_t scrambleSeed(const Sha1Digest& key)
{
    std::uint32_t seed = 0;
    for (std::size_t i = 0; i < key.size(); i += 4)
        seed ^= static_cast<std::uint32_t>(format::readInt32(key.data() + i));
    return seed;
}

std::uint32_t nextScrambleValue(std::uint32_t& s)
{
    s = s * 1664525u + 1013904223u;
    return s;
}

} // namespace

Sha1Digest sha1(std::span<const std::uint8_t> bytes)
{
    Sha1 hash;
    hash.update(bytes);
    return hash.finish();
}

Sha1Digest sha1(std::string_view bytes)
{
    return sha1(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

Sha1Digest passwordKey(std::string_view password) { return sha1(password.substr(0, kMaxPasswordLength)); }

Sha1Digest passwordCheckValue(const Sha1Digest& key) { return sha1(std::span<const std::uint8_t>(key)); }

void scramble(std::span<std::uint8_t> chunk, const Sha1Digest& key)
{
    std::uint32_t s = scrambleSeed(key);
    const std::size_t words = chunk.size() / 4;
    for (std::size_t i = 0; i < words; ++i) {
        std::uint8_t* word = chunk.data() + 4 * i;
        const auto value = static_cast<std::uint32_t>(format::readInt32(word)) ^ nextScrambleValue(s);
        format::writeInt32(word, static_cast<std::int32_t>(value));
    }
    for (std::size_t i = 4 * words; i < chunk.size(); ++i)
        chunk[i] ^= static_cast<std::uint8_t>(nextScrambleValue(s) & 0xFF);
}

void scrambleSection(std::span<std::uint8_t> section, const Sha1Digest& key)
{
    const auto chunkLength =
        static_cast<std::size_t>(format::copyBufferLength(static_cast<std::int64_t>(section.size())));
    for (std::size_t start = 0; start < section.size(); start += chunkLength)
        scramble(section.subspan(start, std::min(chunkLength, section.size() - start)), key);
}

} // namespace glimmora::store

#pragma once

// Item compression of the store. A compressed item is a sequence of blocks, each a 2-byte
// little-endian block length m and m bytes; every block stands for one piece of at most
// 32,768 bytes of the item. A block is either stored (0x80 and the piece unchanged) or
// compressed (0x40, then groups of a big-endian 16-bit control word and up to 16 codes: for
// a clear bit a literal byte; for a set bit a 2-byte match, 12 bits of distance back 1..4,095
// and 4 bits of length - 3, or, with distance 0, a 4-byte run 0, h, l, c of (h*256 + l) + 16
// copies of c). The compressor below writes exactly the bytes of a conforming writer.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace glimmora::store {

// The most bytes of an item one block stands for.
inline constexpr std::size_t kPieceLength = 32768;

// Compresses one piece (1 to kPieceLength bytes) into its block, without the block length.
std::vector<std::uint8_t> compressPiece(std::span<const std::uint8_t> piece);

// Appends the blocks of the whole item (each preceded by its length) to stored and returns the
// number of bytes appended: the index entry's Length. An empty item has no blocks.
std::size_t compressItem(std::span<const std::uint8_t> item, std::vector<std::uint8_t>& stored);

// Appends what one block stands for to out. False when the block is damaged: a compressed
// block too short for its control word or codes, a copy reaching before the block's first
// byte, or more than kPieceLength bytes of output. Never reads or writes outside the block;
// out may hold part of the block's output after a failure.
bool expandBlock(std::span<const std::uint8_t> block, std::vector<std::uint8_t>& out);

// Expands a stored item (the Length bytes of its index entry) into out, which is replaced.
// False when a block length or block is damaged or the blocks do not end exactly at the end.
bool expandItem(std::span<const std::uint8_t> stored, std::vector<std::uint8_t>& out);

} // namespace glimmora::store

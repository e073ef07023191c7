#include "store/Compression.h"

#include <algorithm>
#include <array>

namespace glimmora::store {

namespace {

constexpr std::uint8_t kStoredBlock = 0x80;
constexpr std::uint8_t kCompressedBlock = 0x40;
constexpr std::size_t kCodesPerControlWord = 16;
constexpr std::size_t kMinRun = 16;
constexpr std::size_t kMaxRun = 4095;
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 18;
constexpr std::size_t kWindow = 4096;
constexpr std::uint16_t kEmptySlot = 0xFFFF;

// Where each loop turn may leave the output: a new control word (2 bytes) and the longest
// code (a 4-byte run) after the last position the loop still accepts (n). A buffer of n + 4,
// as the format's writers once assumed, is overrun by 128 distinct bytes and 17 equal ones.
constexpr std::size_t kOutputSlack = 2 + 4;

class PieceCompressor {
public:
    explicit PieceCompressor(std::span<const std::uint8_t> piece)
        : n_(piece.size()),
          source_(piece.size() + 2, 0) // the hash reads two bytes past the end
          ,
          out_(piece.size() + kOutputSlack, 0)
    {
        std::copy(piece.begin(), piece.end(), source_.begin());
        table_.fill(kEmptySlot);
    }

    std::vector<std::uint8_t> run()
    {
        out_[0] = kCompressedBlock;
        while (x_ < n_ && y_ <= n_) {
            if (bits_ == kCodesPerControlWord)
                startControlWord();
            if (const std::size_t r = runLength(); r >= kMinRun)
                writeRun(r);
            else if (const Match match = findMatch(); match.length >= kMinMatch)
                writeMatch(match);
            else
                writeLiteral();
            ++bits_;
        }
        storeControl(static_cast<std::uint16_t>(control_ << (kCodesPerControlWord - bits_)));
        if (y_ <= n_)
            return {out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(y_)};
        std::vector<std::uint8_t> stored{kStoredBlock};
        stored.insert(stored.end(), source_.begin(), source_.begin() + static_cast<std::ptrdiff_t>(n_));
        return stored;
    }

private:
    struct Match {
        std::size_t distance = 0;
        std::size_t length = 0;
    };

    void startControlWord()
    {
        storeControl(static_cast<std::uint16_t>(control_));
        z_ = y_;
        y_ += 2;
        bits_ = 0;
    }

    void storeControl(std::uint16_t control)
    {
        out_[z_] = static_cast<std::uint8_t>(control >> 8);
        out_[z_ + 1] = static_cast<std::uint8_t>(control);
    }

    std::size_t runLength() const
    {
        std::size_t r = 1;
        while (r < kMaxRun && x_ + r < n_ && source_[x_ + r] == source_[x_])
            ++r;
        return r;
    }

    Match findMatch()
    {
        const std::uint32_t mixed = (((std::uint32_t(source_[x_]) << 4) ^ source_[x_ + 1]) << 4) ^ source_[x_ + 2];
        const std::uint32_t slot = ((mixed * 40543u) >> 4) & 0xFFF;
        const std::uint16_t p = table_[slot];
        table_[slot] = static_cast<std::uint16_t>(x_);
        Match match;
        if (p == kEmptySlot || x_ - p >= kWindow)
            return match;
        while (match.length < kMaxMatch && x_ + match.length < n_
               && source_[x_ + match.length] == source_[p + match.length])
            ++match.length;
        match.distance = x_ - p;
        return match;
    }

    void writeRun(std::size_t r)
    {
        const std::size_t extra = r - kMinRun;
        out_[y_] = 0;
        out_[y_ + 1] = static_cast<std::uint8_t>(extra >> 8);
        out_[y_ + 2] = static_cast<std::uint8_t>(extra & 0xFF);
        out_[y_ + 3] = source_[x_];
        x_ += r;
        y_ += 4;
        control_ = control_ << 1 | 1;
    }

    void writeMatch(const Match& match)
    {
        const std::size_t code = match.distance * 16 + (match.length - kMinMatch);
        out_[y_] = static_cast<std::uint8_t>(code >> 8);
        out_[y_ + 1] = static_cast<std::uint8_t>(code & 0xFF);
        x_ += match.length;
        y_ += 2;
        control_ = control_ << 1 | 1;
    }

    void writeLiteral()
    {
        out_[y_] = source_[x_];
        x_ += 1;
        y_ += 1;
        control_ = control_ << 1;
    }

    std::size_t n_;
    std::vector<std::uint8_t> source_;
    std::vector<std::uint8_t> out_;
    std::array<std::uint16_t, 4096> table_;
    std::size_t x_ = 0; // next source byte
    std::size_t y_ = 3; // next output byte
    std::size_t z_ = 1; // where the current control word goes
    std::size_t bits_ = 0;
    std::uint32_t control_ = 0;
};

// Decodes a compressed block, refusing anything that would read past the block, copy from
// before the block's first output byte or grow beyond one piece.
bool expandCompressed(std::span<const std::uint8_t> block, std::vector<std::uint8_t>& out)
{
    const std::size_t m = block.size();
    if (m < 3)
        return false;
    const std::size_t start = out.size();
    std::size_t i = 3;
    unsigned control = unsigned(block[1]) << 8 | block[2];
    std::size_t bits = kCodesPerControlWord;
    const auto produced = [&] { return out.size() - start; };
    while (i < m) {
        if (bits == 0) {
            if (i + 2 > m)
                return false;
            control = unsigned(block[i]) << 8 | block[i + 1];
            i += 2;
            bits = kCodesPerControlWord;
            continue; // a control word may end the block
        }
        if (control & 0x8000) {
            if (i + 2 > m)
                return false;
            const std::size_t distance = std::size_t(block[i]) * 16 + (block[i + 1] >> 4);
            if (distance != 0) {
                const std::size_t length = (block[i + 1] & 15u) + kMinMatch;
                if (distance > produced() || produced() + length > kPieceLength)
                    return false;
                for (std::size_t k = 0; k < length; ++k)
                    out.push_back(out[out.size() - distance]);
                i += 2;
            } else {
                if (i + 4 > m)
                    return false;
                const std::size_t length = (std::size_t(block[i + 1]) << 8 | block[i + 2]) + kMinRun;
                if (produced() + length > kPieceLength)
                    return false;
                out.insert(out.end(), length, block[i + 3]);
                i += 4;
            }
        } else {
            if (produced() + 1 > kPieceLength)
                return false;
            out.push_back(block[i]);
            i += 1;
        }
        control = (control << 1) & 0xFFFF;
        --bits;
    }
    return true;
}

void appendBlockLength(std::vector<std::uint8_t>& stored, std::size_t m)
{
    stored.push_back(static_cast<std::uint8_t>(m & 0xFF));
    stored.push_back(static_cast<std::uint8_t>(m >> 8));
}

} // namespace

std::vector<std::uint8_t> compressPiece(std::span<const std::uint8_t> piece) { return PieceCompressor(piece).run(); }

std::size_t compressItem(std::span<const std::uint8_t> item, std::vector<std::uint8_t>& stored)
{
    const std::size_t before = stored.size();
    for (std::size_t x = 0; x < item.size(); x += kPieceLength) {
        const auto block = compressPiece(item.subspan(x, std::min(kPieceLength, item.size() - x)));
        appendBlockLength(stored, block.size());
        stored.insert(stored.end(), block.begin(), block.end());
    }
    return stored.size() - before;
}

bool expandBlock(std::span<const std::uint8_t> block, std::vector<std::uint8_t>& out)
{
    if (block.size() < 2)
        return true;
    if (block[0] != kStoredBlock)
        return expandCompressed(block, out);
    if (block.size() - 1 > kPieceLength)
        return false;
    out.insert(out.end(), block.begin() + 1, block.end());
    return true;
}

bool expandItem(std::span<const std::uint8_t> stored, std::vector<std::uint8_t>& out)
{
    out.clear();
    std::size_t at = 0;
    while (at < stored.size()) {
        if (stored.size() - at < 2)
            return false;
        const std::size_t m = std::size_t(stored[at]) | std::size_t(stored[at + 1]) << 8;
        at += 2;
        if (m > stored.size() - at || !expandBlock(stored.subspan(at, m), out))
            return false;
        at += m;
    }
    return true;
}

} // namespace glimmora::store

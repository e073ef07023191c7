#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace glimmora::metafile {

// A little-endian view of untrusted bytes. Reads past the end yield zero and mark the view as
// overrun, so a record parser reads all its fields and checks ok() once.
class ByteView {
public:
    ByteView() = default;
    ByteView(const char* data, size_t size) : data_(data), size_(size) {}

    size_t size() const { return size_; }
    size_t position() const { return pos_; }
    size_t remaining() const { return pos_ <= size_ ? size_ - pos_ : 0; }
    bool ok() const { return !overrun_; }
    bool has(size_t bytes) const { return bytes <= remaining(); }
    const char* data() const { return data_; }

    void seek(size_t pos)
    {
        if (pos > size_)
            overrun_ = true;
        pos_ = pos;
    }
    void skip(size_t bytes) { seek(bytes <= remaining() ? pos_ + bytes : size_ + 1); }

    uint8_t u8() { return static_cast<uint8_t>(take<1>()); }
    uint16_t u16() { return static_cast<uint16_t>(take<2>()); }
    uint32_t u32() { return static_cast<uint32_t>(take<4>()); }
    int16_t i16() { return static_cast<int16_t>(u16()); }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    float f32()
    {
        const uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // The next bytes, or an empty view (and overrun) when fewer remain.
    std::string_view bytes(size_t count)
    {
        if (!has(count)) {
            overrun_ = true;
            pos_ = size_;
            return {};
        }
        std::string_view out(data_ + pos_, count);
        pos_ += count;
        return out;
    }

    // A part of the whole view, [offset, offset + count); an empty view that is already overrun
    // when it does not fit.
    bool contains(size_t offset, size_t count) const { return offset <= size_ && count <= size_ - offset; }
    ByteView sub(size_t offset, size_t count) const
    {
        if (!contains(offset, count))
            return ByteView(nullptr, 0, true);
        return ByteView(data_ + offset, count);
    }

private:
    ByteView(const char* data, size_t size, bool overrun) : data_(data), size_(size), overrun_(overrun) {}

    template <int N>
    uint32_t take()
    {
        if (!has(N)) {
            overrun_ = true;
            pos_ = size_;
            return 0;
        }
        uint32_t value = 0;
        for (int i = N - 1; i >= 0; --i)
            value = (value << 8) | static_cast<uint8_t>(data_[pos_ + i]);
        pos_ += N;
        return value;
    }

    const char* data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
    bool overrun_ = false;
};

} // namespace glimmora::metafile

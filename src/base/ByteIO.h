#pragma once
// Bounds-checked reading and plain writing of little- and big-endian binary records.
// File records are read and written field by field through these, never by copying
// structs, so that their byte layout is exactly the file layout.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kantor {

inline uint16_t loadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t loadLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint16_t loadBE16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t loadBE32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline void storeLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void storeLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Reads fields from a byte range. A read past the end sets the failure flag, returns
// zeros and leaves the position at the end; callers check ok() after a group of reads.
class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    explicit ByteReader(std::span<const uint8_t> bytes) : data_(bytes.data()), size_(bytes.size()) {}

    bool ok() const { return ok_; }
    std::size_t position() const { return pos_; }
    std::size_t size() const { return size_; }
    std::size_t remaining() const { return size_ - pos_; }
    const uint8_t* data() const { return data_; }
    const uint8_t* current() const { return data_ + pos_; }

    // Moves to an absolute offset; an offset past the end fails.
    bool seek(std::size_t offset) {
        if (offset > size_) return setFailed();
        pos_ = offset;
        return true;
    }
    bool skip(std::size_t n) {
        if (n > remaining()) return setFailed();
        pos_ += n;
        return true;
    }
    bool has(std::size_t n) const { return ok_ && n <= remaining(); }

    uint8_t u8() {
        if (!has(1)) return setFailed(), 0;
        return data_[pos_++];
    }
    uint16_t u16le() { return take<uint16_t>(2, loadLE16); }
    uint32_t u32le() { return take<uint32_t>(4, loadLE32); }
    uint16_t u16be() { return take<uint16_t>(2, loadBE16); }
    uint32_t u32be() { return take<uint32_t>(4, loadBE32); }
    int16_t i16le() { return static_cast<int16_t>(u16le()); }
    int32_t i32le() { return static_cast<int32_t>(u32le()); }

    // Copies n bytes into out; fails (leaving out zeroed) if fewer remain.
    bool bytes(void* out, std::size_t n);
    // Returns a view of the next n bytes and moves past them; empty on failure.
    std::span<const uint8_t> view(std::size_t n);
    // Reads a fixed-size text field: the bytes up to the first zero.
    std::string fixedText(std::size_t fieldSize);
    // Reads a MIDI variable-length quantity (7 bits per byte, high group first).
    // Stops after 5 bytes at most; fails at the end of the data.
    uint32_t varLen();

private:
    template <typename T, typename F>
    T take(std::size_t n, F load) {
        if (!has(n)) return setFailed(), T{0};
        T v = load(data_ + pos_);
        pos_ += n;
        return v;
    }
    bool setFailed() {
        ok_ = false;
        pos_ = size_;
        return false;
    }

    const uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

// Appends little-endian fields to a growing byte vector.
class ByteWriter {
public:
    std::vector<uint8_t>& buffer() { return buf_; }
    const std::vector<uint8_t>& buffer() const { return buf_; }
    std::size_t size() const { return buf_.size(); }

    void u8(uint8_t v) { buf_.push_back(v); }
    void u16le(uint16_t v) {
        u8(static_cast<uint8_t>(v));
        u8(static_cast<uint8_t>(v >> 8));
    }
    void u32le(uint32_t v) {
        for (int i = 0; i < 4; ++i) u8(static_cast<uint8_t>(v >> (8 * i)));
    }
    void i16le(int16_t v) { u16le(static_cast<uint16_t>(v)); }
    void i32le(int32_t v) { u32le(static_cast<uint32_t>(v)); }
    void bytes(const void* p, std::size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        buf_.insert(buf_.end(), b, b + n);
    }
    void bytes(std::span<const uint8_t> b) { buf_.insert(buf_.end(), b.begin(), b.end()); }
    void zeros(std::size_t n) { buf_.insert(buf_.end(), n, 0); }
    // Writes a text into a fixed-size field, cut to fieldSize - 1 bytes and zero-filled.
    void fixedText(std::string_view text, std::size_t fieldSize);
    // Overwrites a 32-bit field already written (for offsets known only later).
    void patchU32le(std::size_t offset, uint32_t v) { storeLE32(buf_.data() + offset, v); }

private:
    std::vector<uint8_t> buf_;
};

}  // namespace kantor

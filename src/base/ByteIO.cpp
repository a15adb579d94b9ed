#include "base/ByteIO.h"

#include <algorithm>
#include <cstring>

namespace kantor {

bool ByteReader::bytes(void* out, std::size_t n) {
    if (!has(n)) {
        if (n) std::memset(out, 0, n);
        return setFailed();
    }
    if (n) std::memcpy(out, data_ + pos_, n);
    pos_ += n;
    return true;
}

std::span<const uint8_t> ByteReader::view(std::size_t n) {
    if (!has(n)) {
        setFailed();
        return {};
    }
    std::span<const uint8_t> v(data_ + pos_, n);
    pos_ += n;
    return v;
}

std::string ByteReader::fixedText(std::size_t fieldSize) {
    std::span<const uint8_t> v = view(fieldSize);
    std::size_t n = 0;
    while (n < v.size() && v[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(v.data()), n);
}

uint32_t ByteReader::varLen() {
    uint32_t value = 0;
    for (int i = 0; i < 5; ++i) {
        if (!has(1)) {
            setFailed();
            return 0;
        }
        uint8_t b = data_[pos_++];
        value = (value << 7) | (b & 0x7F);
        if (!(b & 0x80)) return value;
    }
    return value;
}

void ByteWriter::fixedText(std::string_view text, std::size_t fieldSize) {
    if (fieldSize == 0) return;
    std::size_t n = std::min(text.size(), fieldSize - 1);
    bytes(text.data(), n);
    zeros(fieldSize - n);
}

}  // namespace kantor

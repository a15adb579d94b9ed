#include "base/Codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace kantor {
namespace {

// One converter per direction, opened once; iconv descriptors are not thread-safe,
// so every use holds the mutex.
struct Converter {
    iconv_t cd;
    std::mutex mutex;
    Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~Converter() {
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
};

Converter& toUtf8() {
    static Converter c("UTF-8", "CP932");
    return c;
}
Converter& toCp932() {
    static Converter c("CP932", "UTF-8");
    return c;
}

// Converts `in` with `c`; on an unconvertible or invalid sequence, writes `replacement`
// and skips `skipBytes(in)` input bytes.
template <typename Skip>
std::string convert(Converter& c, std::string_view in, std::string_view replacement, Skip skipBytes,
                    bool* exact) {
    std::string out;
    if (exact) *exact = true;
    if (c.cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter on this system: keep the bytes as they are.
        if (exact) *exact = false;
        return std::string(in);
    }
    std::lock_guard<std::mutex> lock(c.mutex);
    iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
    out.resize(in.size() * 3 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    while (srcLeft > 0) {
        size_t r = iconv(c.cd, &src, &srcLeft, &dst, &dstLeft);
        if (r != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            size_t used = static_cast<size_t>(dst - out.data());
            out.resize(out.size() * 2);
            dst = out.data() + used;
            dstLeft = out.size() - used;
            continue;
        }
        // EILSEQ or EINVAL: replace one character and go on.
        if (exact) *exact = false;
        if (dstLeft < replacement.size()) {
            size_t used = static_cast<size_t>(dst - out.data());
            out.resize(out.size() * 2 + replacement.size());
            dst = out.data() + used;
            dstLeft = out.size() - used;
        }
        std::memcpy(dst, replacement.data(), replacement.size());
        dst += replacement.size();
        dstLeft -= replacement.size();
        size_t skip = skipBytes(std::string_view(src, srcLeft));
        src += skip;
        srcLeft -= skip;
        iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(static_cast<size_t>(dst - out.data()));
    return out;
}

size_t utf8SequenceLength(std::string_view s) {
    unsigned char b = static_cast<unsigned char>(s[0]);
    size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
    if (n > s.size()) n = s.size();
    for (size_t i = 1; i < n; ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return i;
    }
    return n;
}

// A lead byte takes the byte after it only when that byte can be a trail byte (0x40-0x7E,
// 0x80-0xFC); a line break, a space, a digit or a quote after a stray lead byte is a
// character of its own and is kept.
size_t cp932SequenceLength(std::string_view s) {
    unsigned char b = static_cast<unsigned char>(s[0]);
    bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    if (!lead || s.size() < 2) return 1;
    unsigned char t = static_cast<unsigned char>(s[1]);
    bool trail = (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC);
    return trail ? 2 : 1;
}

}  // namespace

std::string cp932ToUtf8(std::string_view cp932) {
    return convert(toUtf8(), cp932, "\xEF\xBF\xBD", cp932SequenceLength, nullptr);
}

std::string utf8ToCp932(std::string_view utf8, bool* exact) {
    return convert(toCp932(), utf8, "?", utf8SequenceLength, exact);
}

std::string cp932FieldToUtf8(const unsigned char* field, std::size_t size) {
    std::size_t n = 0;
    while (n < size && field[n] != 0) ++n;
    return cp932ToUtf8(std::string_view(reinterpret_cast<const char*>(field), n));
}

std::size_t cp932Length(std::string_view utf8) { return utf8ToCp932(utf8).size(); }

}  // namespace kantor

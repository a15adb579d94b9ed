#include "song/TextField.h"

#include "base/Codepage.h"

namespace kantor {

static bool isCp932Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::string cp932Cut(const std::string& utf8, std::size_t maxBytes) {
    std::string s = utf8ToCp932(utf8);
    std::size_t n = 0;
    while (n < s.size()) {
        std::size_t step = isCp932Lead(static_cast<unsigned char>(s[n])) ? 2 : 1;
        if (n + step > maxBytes || n + step > s.size()) break;
        n += step;
    }
    s.resize(n);
    return s;
}

void writeTextField(ByteWriter& w, const std::string& utf8, std::size_t fieldSize) {
    if (fieldSize == 0) return;
    w.fixedText(cp932Cut(utf8, fieldSize - 1), fieldSize);
}

std::string readTextField(ByteReader& r, std::size_t fieldSize) { return cp932ToUtf8(r.fixedText(fieldSize)); }

std::string withoutTrailingBlanks(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

}  // namespace kantor

#include "base/PrintableText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace kantor {
namespace {

// The length of the well-formed UTF-8 character at the start of `s` and its code point;
// 0 when the first byte does not begin one (overlong forms and surrogates included).
std::size_t utf8Character(std::string_view s, uint32_t& cp) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(0);
    std::size_t n = 0;
    uint32_t min = 0;
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    if ((c & 0xE0) == 0xC0) n = 2, cp = c & 0x1Fu, min = 0x80;
    else if ((c & 0xF0) == 0xE0) n = 3, cp = c & 0x0Fu, min = 0x800;
    else if ((c & 0xF8) == 0xF0) n = 4, cp = c & 0x07u, min = 0x10000;
    else return 0;
    if (s.size() < n) return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((b(i) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(i) & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

// Characters that are printed as \uNNNN: C1 controls, line and paragraph separators, and the
// marks that change the direction of the text after them.
bool escapedCharacter(uint32_t cp) {
    return (cp >= 0x80 && cp <= 0x9F) || cp == 0x200E || cp == 0x200F || (cp >= 0x2028 && cp <= 0x202E) ||
           (cp >= 0x2066 && cp <= 0x2069);
}

void appendByte(std::string& out, unsigned char c) {
    char b[8];
    std::snprintf(b, sizeof b, "\\x%02x", c);
    out += b;
}

}  // namespace

std::string printableText(std::string_view text, std::size_t limit) {
    std::string out;
    out.reserve(std::min(text.size(), limit) + 16);
    std::size_t i = 0;
    while (i < text.size()) {
        uint32_t cp = 0;
        std::size_t n = utf8Character(text.substr(i), cp);
        if (i + std::max<std::size_t>(n, 1) > limit) break;
        if (n == 0) {
            appendByte(out, static_cast<unsigned char>(text[i]));
            n = 1;
        } else if (cp < 0x20 || cp == 0x7F) {
            appendByte(out, static_cast<unsigned char>(cp));
        } else if (escapedCharacter(cp)) {
            char b[12];
            std::snprintf(b, sizeof b, "\\u%04x", static_cast<unsigned>(cp));
            out += b;
        } else {
            out.append(text.substr(i, n));
        }
        i += n;
    }
    if (i < text.size()) out += "…(" + std::to_string(text.size()) + " bytes)";
    return out;
}

std::string printableLines(std::string_view text, std::size_t lineLimit) {
    std::string out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t end = text.find('\n', from);
        std::string_view line = text.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from);
        if (end != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        out += printableText(line, lineLimit);
        if (end == std::string_view::npos) return out;
        out += '\n';
        from = end + 1;
    }
}

bool hasUnprintable(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        uint32_t cp = 0;
        const std::size_t n = utf8Character(text.substr(i), cp);
        if (n == 0 || cp < 0x20 || cp == 0x7F || escapedCharacter(cp)) return true;
        i += n;
    }
    return false;
}

}  // namespace kantor

#include "plugins/ProfileFile.h"

#include <algorithm>

#include "base/Codepage.h"
#include "base/FileIO.h"

namespace kantor {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

// Length of the UTF-8 sequence starting with b, or 0 when b cannot start one.
std::size_t utf8SequenceLength(unsigned char b) {
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b <= 0xDF) return 2;
    if (b >= 0xE0 && b <= 0xEF) return 3;
    if (b >= 0xF0 && b <= 0xF4) return 4;
    return 0;
}

bool isValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t n = utf8SequenceLength(static_cast<unsigned char>(s[i]));
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

bool isCp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The longest prefix of at most `max` bytes that does not end inside a character.
std::size_t cutLength(std::string_view s, std::size_t max, bool cp932) {
    std::size_t n = 0;
    while (n < s.size()) {
        const unsigned char b = static_cast<unsigned char>(s[n]);
        std::size_t len = cp932 ? (isCp932Lead(b) ? 2 : 1) : std::max<std::size_t>(utf8SequenceLength(b), 1);
        if (n + len > max) break;
        n += len;
    }
    return std::min(n, s.size());
}

}  // namespace

std::string trimRightSpace(std::string_view s) {
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return std::string(s);
}

bool ProfileFile::NoCaseLess::operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return lowerAscii(x) < lowerAscii(y); });
}

bool ProfileFile::load(const std::string& path) {
    clearError();
    sections_.clear();
    std::vector<uint8_t> bytes;
    switch (readWholeFile(path, bytes, kMaxFileSize)) {
    case ReadStatus::Ok:
        loadFromBytes(bytes);
        return true;
    case ReadStatus::NotFound: return fail("file not found: " + path);
    case ReadStatus::ReadError: return fail("cannot read " + path);
    case ReadStatus::TooLarge: return fail("the file is too large: " + path);
    case ReadStatus::NoAccess: return fail("no permission to read " + path);
    case ReadStatus::NotRegular: return fail("not a regular file: " + path);
    }
    return false;
}

void ProfileFile::loadFromBytes(std::span<const uint8_t> bytes) {
    sections_.clear();
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    cp932_ = !isValidUtf8(text);

    Section* current = nullptr;
    bool currentIsFirst = false;
    while (!text.empty()) {
        std::size_t eol = text.find_first_of("\r\n");
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        line = trim(line);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            if (close == std::string_view::npos) continue;
            std::string name(trim(line.substr(1, close - 1)));
            auto [it, inserted] = sections_.try_emplace(std::move(name));
            current = &it->second;
            currentIsFirst = inserted;  // a repeated section adds nothing
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!current || !currentIsFirst || eq == std::string_view::npos) continue;
        std::string key(trim(line.substr(0, eq)));
        if (key.empty()) continue;
        current->try_emplace(std::move(key), std::string(line.substr(eq + 1)));  // first key wins
    }
}

bool ProfileFile::has(std::string_view section, std::string_view key) const {
    auto s = sections_.find(std::string(section));
    return s != sections_.end() && s->second.count(std::string(key)) != 0;
}

std::string ProfileFile::get(std::string_view section, std::string_view key, std::string_view fallback,
                             std::size_t size) const {
    std::string_view raw = fallback;
    bool fromFile = false;
    auto s = sections_.find(std::string(section));
    if (s != sections_.end()) {
        auto k = s->second.find(std::string(key));
        if (k != s->second.end()) {
            raw = k->second;
            fromFile = true;
        }
    }
    while (!raw.empty() && isSpace(raw.front())) raw.remove_prefix(1);
    const bool cp932 = fromFile && cp932_;
    const std::size_t max = size > 0 ? size - 1 : 0;
    std::string value = trimRightSpace(raw.substr(0, cutLength(raw, max, cp932)));
    return cp932 ? cp932ToUtf8(value) : value;
}

}  // namespace kantor

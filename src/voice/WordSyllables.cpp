#include "voice/WordSyllables.h"

#include <map>
#include <set>

#include "voice/RomajiSpelling.h"
#include "voice/SyllableTable.h"

namespace kantor {
namespace {

struct Char {
    char32_t cp = 0;        // after katakana -> hiragana and full-width -> ASCII letters
    std::size_t byte = 0;   // where it starts in the word
    std::size_t bytes = 1;  // its length in the word
};

constexpr char32_t kSmallTsu = 0x3063;      // っ
constexpr char32_t kLongMark = 0x30FC;      // ー
constexpr char32_t kWaveDash = 0x301C;      // 〜
constexpr char32_t kFullTilde = 0xFF5E;     // ～
constexpr char32_t kInvalid = 0xFFFFFFFF;

std::vector<Char> decode(std::string_view s) {
    std::vector<Char> out;
    for (std::size_t i = 0; i < s.size();) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        std::size_t n = b0 < 0x80 ? 1 : (b0 >> 5) == 6 ? 2 : (b0 >> 4) == 14 ? 3 : (b0 >> 3) == 30 ? 4 : 0;
        char32_t cp = n == 1 ? b0 : n == 2 ? (b0 & 0x1F) : n == 3 ? (b0 & 0x0F) : (b0 & 0x07);
        bool ok = n != 0 && i + n <= s.size();
        for (std::size_t k = 1; ok && k < n; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            ok = (b & 0xC0) == 0x80;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (!ok) {
            out.push_back(Char{kInvalid, i, 1});
            ++i;
            continue;
        }
        if (cp >= 0x30A1 && cp <= 0x30F6) cp -= 0x60;                          // katakana -> hiragana
        if ((cp >= 0xFF21 && cp <= 0xFF3A) || (cp >= 0xFF41 && cp <= 0xFF5A)) cp -= 0xFEE0;  // full-width letters
        if (cp == 0xFF07) cp = '\'';
        out.push_back(Char{cp, i, n});
        i += n;
    }
    return out;
}

void appendUtf8(std::string& s, char32_t cp) {
    if (cp < 0x80) {
        s.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        s.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        s.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        s.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool isLetter(char32_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char upper(char32_t c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); }
bool isVowel(char c) { return c == 'A' || c == 'I' || c == 'U' || c == 'E' || c == 'O'; }
bool isKana(char32_t c) { return c >= 0x3041 && c <= 0x3096; }
bool isSmallJoiner(char32_t c) {
    return c == 0x3041 || c == 0x3043 || c == 0x3045 || c == 0x3047 || c == 0x3049 || c == 0x3083 ||
           c == 0x3085 || c == 0x3087 || c == 0x308E;
}
bool isPunctuation(char32_t c) {
    return (c < 0x80 && !isLetter(c)) || (c >= 0x2000 && c <= 0x206F) || (c >= 0x3000 && c <= 0x303F && c != kWaveDash) ||
           (c >= 0xFF00 && c <= 0xFF65 && c != kFullTilde) || c == 0x30FB;
}

struct Tables {
    std::map<std::string, std::string, std::less<>> kanaCode;  // hiragana -> the table's first code for it
    std::set<std::string, std::less<>> codes;
};

const Tables& tables() {
    static const Tables t = [] {
        Tables r;
        for (const SyllableRow& row : syllableTable()) {
            r.kanaCode.emplace(std::string(row.kana), std::string(row.code));
            r.codes.emplace(row.code);
        }
        return r;
    }();
    return t;
}

// A typed romaji spelling (upper case) that names a syllable of the table.
bool knownRomaji(const std::string& s) {
    const Tables& t = tables();
    return t.codes.count(s) != 0 || t.codes.count(tableSpelling(s)) != 0;
}

// The vowel a syllable ends on, as hiragana (ん for N), for a following ー.
std::string vowelOf(const std::string& syllable) {
    std::string code = syllable;
    if (!syllable.empty() && static_cast<unsigned char>(syllable[0]) >= 0x80) {
        auto it = tables().kanaCode.find(syllable);
        if (it == tables().kanaCode.end()) return {};
        code = it->second;
    } else {
        code = tableSpelling(syllable);
    }
    if (code.empty()) return {};
    switch (code.back()) {
        case 'A': return "あ";
        case 'I': return "い";
        case 'U': return "う";
        case 'E': return "え";
        case 'O': return "お";
        case 'N': return "ん";
        default: return {};
    }
}

}  // namespace

std::size_t characterCount(std::string_view text, std::size_t bytes) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < bytes && i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++n;
    return n;
}

bool splitWord(std::string_view word, std::vector<WordSyllable>& out, WordSplitError& error,
               const WordSplitOptions& options) {
    out.clear();
    const std::vector<Char> cs = decode(word);
    auto fail = [&](std::size_t from, std::size_t to) {
        error.column = from;
        const std::size_t b0 = cs[from].byte;
        const std::size_t b1 = to < cs.size() ? cs[to].byte : word.size();
        error.piece = std::string(word.substr(b0, b1 - b0));
        return false;
    };
    std::size_t i = 0;
    while (i < cs.size()) {
        const char32_t c = cs[i].cp;
        if (c == kSmallTsu) {  // a stop before the next mora: no note of its own
            ++i;
            continue;
        }
        if (c == kLongMark || c == kWaveDash || c == kFullTilde) {
            const std::string v = vowelOf(out.empty() ? options.previous : out.back().text);
            if (v.empty()) return fail(i, i + 1);
            out.push_back(WordSyllable{v, i});
            ++i;
            continue;
        }
        if (isKana(c)) {
            std::string mora;
            appendUtf8(mora, c);
            std::size_t j = i + 1;
            if (j < cs.size() && isSmallJoiner(cs[j].cp)) appendUtf8(mora, cs[j++].cp);
            if (tables().kanaCode.count(mora) == 0) return fail(i, j);
            out.push_back(WordSyllable{std::move(mora), i});
            i = j;
            continue;
        }
        if (isLetter(c)) {
            const char u = upper(c);
            auto letterAt = [&](std::size_t k) -> char {
                return k < cs.size() && isLetter(cs[k].cp) ? upper(cs[k].cp) : (k < cs.size() && cs[k].cp == '\'' ? '\'' : 0);
            };
            const char n1 = letterAt(i + 1), n2 = letterAt(i + 2);
            if (u == 'N' || (u == 'M' && (n1 == 'B' || n1 == 'P' || n1 == 'M'))) {
                // ん, unless a vowel or Y follows (na, nya); nn and n' are ん too.
                if (u == 'N' && n1 == '\'') {
                    out.push_back(WordSyllable{"N", i});
                    i += 2;
                    continue;
                }
                if (u == 'N' && n1 == 'N' && !(isVowel(n2) || n2 == 'Y')) {
                    out.push_back(WordSyllable{"N", i});
                    i += 2;
                    continue;
                }
                if (!(u == 'N' && (isVowel(n1) || n1 == 'Y'))) {
                    out.push_back(WordSyllable{"N", i});
                    i += 1;
                    continue;
                }
            } else if (!isVowel(u) && (n1 == u || (u == 'T' && n1 == 'C' && n2 == 'H'))) {
                ++i;  // a doubled consonant is っ: no note of its own
                continue;
            }
            // The longest spelling of the table that starts here.
            bool found = false;
            for (std::size_t len = 3; len >= 1 && !found; --len) {
                if (i + len > cs.size()) continue;
                std::string s;
                bool letters = true;
                for (std::size_t k = 0; k < len; ++k) {
                    letters = letters && isLetter(cs[i + k].cp);
                    s.push_back(upper(cs[i + k].cp));
                }
                if (letters && knownRomaji(s)) {
                    out.push_back(WordSyllable{s, i});
                    i += len;
                    found = true;
                }
            }
            if (found) continue;
            // Unknown: the letters up to and with the next vowel.
            std::size_t j = i + 1;
            while (!isVowel(u) && j < cs.size() && isLetter(cs[j].cp) && !isVowel(upper(cs[j].cp))) ++j;
            if (!isVowel(u) && j < cs.size() && isLetter(cs[j].cp)) ++j;
            return fail(i, j);
        }
        if (options.skipPunctuation && c != kInvalid && isPunctuation(c)) {
            ++i;
            continue;
        }
        return fail(i, i + 1);
    }
    return true;
}

}  // namespace kantor

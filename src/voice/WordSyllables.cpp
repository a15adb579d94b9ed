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

// Half-width katakana (U+FF66..U+FF9D, cp932's single bytes 0xA6..0xDD) as full-width
// katakana; 0 where the half-width form is punctuation.
constexpr char32_t kHalfWidth[] = {
    0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5, 0x30E7, 0x30C3,  // ｦｧｨｩｪｫｬｭｮｯ
    0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB, 0x30AD, 0x30AF, 0x30B1,  // ｰｱｲｳｴｵｶｷｸｹ
    0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1, 0x30C4, 0x30C6,  // ｺｻｼｽｾｿﾀﾁﾂﾃ
    0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5, 0x30D8,  // ﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍ
    0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9,  // ﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗ
    0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3,                                  // ﾘﾙﾚﾛﾜﾝ
};

// A kana with a voiced mark (゛, ﾞ, U+3099) or a semi-voiced mark (゜, ﾟ, U+309A) after it;
// 0 when the kana takes none. Works on katakana.
char32_t withMark(char32_t kana, bool semi) {
    if (!semi && kana == 0x30A6) return 0x30F4;  // ウ゛ = ヴ
    const bool kaToTo = kana >= 0x30AB && kana <= 0x30C8;
    const bool ha = kana >= 0x30CF && kana <= 0x30DB && (kana - 0x30CF) % 3 == 0;
    if (semi) return ha ? kana + 2 : 0;
    if (ha) return kana + 1;
    if (!kaToTo) return 0;
    // カ..ト: the voiced kana follows its plain one, except around ッ.
    if (kana <= 0x30C2) return (kana - 0x30AB) % 2 == 0 ? kana + 1 : 0;
    return (kana - 0x30C4) % 2 == 0 ? kana + 1 : 0;
}

// ゐ, ゑ and ヴ.. are no rows of the syllable table: they are sung as its nearest syllables.
std::string_view nearestKana(char32_t hiragana, char32_t small) {
    switch (hiragana) {
        case 0x3090: return "うぃ";  // ゐ
        case 0x3091: return "うぇ";  // ゑ
        case 0x3094:                 // ゔ
            switch (small) {
                case 0x3041: return "ば";
                case 0x3043: return "び";
                case 0x3047: return "べ";
                case 0x3049: return "ぼ";
                case 0x3085: return "びゅ";
                default: return "ぶ";
            }
        default: return {};
    }
}

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
        if (cp >= 0xFF66 && cp <= 0xFF9D) cp = kHalfWidth[cp - 0xFF66];
        // A voiced or semi-voiced mark joins the kana before it (half-width ﾞﾟ, full-width ゛゜
        // and the combining marks).
        if ((cp == 0xFF9E || cp == 0xFF9F || cp == 0x3099 || cp == 0x309A || cp == 0x309B || cp == 0x309C) &&
            !out.empty()) {
            const bool semi = cp == 0xFF9F || cp == 0x309A || cp == 0x309C;
            char32_t base = out.back().cp;
            if (base >= 0x3041 && base <= 0x3096) base += 0x60;  // back to katakana
            if (const char32_t marked = withMark(base, semi)) {
                out.back().cp = marked - 0x60;
                out.back().bytes = i + n - out.back().byte;
                i += n;
                continue;
            }
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
            if (const std::string_view near = nearestKana(c, j > i + 1 ? cs[i + 1].cp : 0); !near.empty())
                mora = std::string(near);
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

#include "import/OtoIni.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "base/Codepage.h"
#include "voice/RomajiSpelling.h"
#include "voice/SyllableLookup.h"
#include "voice/SyllableTable.h"

namespace kantor {
namespace {

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool isAsciiSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isAsciiSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isAsciiSpace(s.back())) s.remove_suffix(1);
    // The ideographic space people type in Japanese text counts as a blank too.
    while (s.size() >= 3 && s.substr(0, 3) == "\xE3\x80\x80") s.remove_prefix(3);
    while (s.size() >= 3 && s.substr(s.size() - 3) == "\xE3\x80\x80") s.remove_suffix(3);
    return s;
}

bool startsWith(std::string_view s, std::string_view p) { return s.size() >= p.size() && s.substr(0, p.size()) == p; }
bool endsWith(std::string_view s, std::string_view p) {
    return s.size() >= p.size() && s.substr(s.size() - p.size()) == p;
}

// The code point of the UTF-8 character at s[i] and its length (1 and the byte for a
// broken sequence).
char32_t decodeAt(std::string_view s, std::size_t i, std::size_t& len) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char b0 = b(0);
    if (b0 < 0x80) {
        len = 1;
        return b0;
    }
    std::size_t n = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 1;
    if (n == 1 || i + n > s.size()) {
        len = 1;
        return b0;
    }
    char32_t cp = b0 & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) cp = (cp << 6) | (b(k) & 0x3Fu);
    len = n;
    return cp;
}

bool isHiragana(char32_t cp) { return cp >= 0x3041 && cp <= 0x3096; }

double parseNumber(std::string_view s, bool& ok) {
    s = trim(s);
    if (s.empty()) return 0;
    if (s.front() == '+') s.remove_prefix(1);
    double v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || !(v > -1e9 && v < 1e9)) ok = false;
    return v;
}

int rowOfKana(std::string_view kana) {
    const auto table = syllableTable();
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].kana == kana) return static_cast<int>(i);
    return -1;
}

// The last row with the code: where a code has two rows (WI, WE, WO), the later one is
// the kana people mean by it ("うぃ" rather than the "い" that fills the gojuon grid).
int rowOfCode(std::string_view code) {
    const auto table = syllableTable();
    int found = -1;
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].code == code) found = static_cast<int>(i);
    return found;
}

// The syllable at the start of a text and where the marks after it begin.
int leadingSyllable(const std::string& text, std::size_t& end) {
    end = 0;
    if (text.empty()) return -1;
    if (isAsciiLetter(text[0])) {
        // Romaji: a run of letters of one case ("ka", "KA"; "kaC4" stops before the C).
        const bool lower = text[0] >= 'a';
        while (end < text.size() && isAsciiLetter(text[end]) && ((text[end] >= 'a') == lower)) ++end;
        std::string spelled = tableSpelling(text.substr(0, end));
        return rowOfCode(spelled);
    }
    const std::string hira = katakanaToHiragana(text);
    std::size_t i = 0;
    while (i < hira.size()) {
        std::size_t len = 1;
        char32_t cp = decodeAt(hira, i, len);
        if (!isHiragana(cp)) break;
        i += len;
    }
    // Katakana and hiragana have the same UTF-8 length, so `i` is a position in `text` too.
    end = i;
    if (i == 0) return -1;
    return rowOfKana(std::string_view(hira).substr(0, i));
}

}  // namespace

bool isValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char b0 = static_cast<unsigned char>(s[i]);
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        std::size_t n;
        char32_t min;
        if ((b0 & 0xE0) == 0xC0) n = 2, min = 0x80;
        else if ((b0 & 0xF0) == 0xE0) n = 3, min = 0x800;
        else if ((b0 & 0xF8) == 0xF0) n = 4, min = 0x10000;
        else return false;
        if (i + n > s.size()) return false;
        char32_t cp = b0 & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            const unsigned char b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n;
    }
    return true;
}

std::string bankTextToUtf8(std::string_view bytes) {
    if (startsWith(bytes, "\xEF\xBB\xBF")) return std::string(bytes.substr(3));
    if (isValidUtf8(bytes)) return std::string(bytes);
    return cp932ToUtf8(bytes);
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

int noteFromName(std::string_view s) {
    s = trim(s);
    if (s.empty()) return -1;
    static constexpr int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    char letter = s[0];
    if (letter >= 'a' && letter <= 'g') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'G') return -1;
    int semitone = kSemitone[letter - 'A'];
    std::size_t i = 1;
    if (i < s.size() && s[i] == '#') semitone += 1, ++i;
    else if (startsWith(s.substr(i), "\xE2\x99\xAF")) semitone += 1, i += 3;  // ♯
    else if (i < s.size() && s[i] == 'b') semitone -= 1, ++i;
    else if (startsWith(s.substr(i), "\xE2\x99\xAD")) semitone -= 1, i += 3;  // ♭
    bool negative = false;
    if (i < s.size() && s[i] == '-') negative = true, ++i;
    if (i >= s.size() || i + 2 < s.size()) return -1;
    int octave = 0;
    for (; i < s.size(); ++i) {
        if (!isAsciiDigit(s[i])) return -1;
        octave = octave * 10 + (s[i] - '0');
    }
    if (negative) octave = -octave;
    const int note = (octave + 2) * 12 + semitone;
    return note >= 0 && note <= 127 ? note : -1;
}

int findNoteName(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!(c >= 'A' && c <= 'G')) continue;
        if (i > 0 && (isAsciiLetter(text[i - 1]) || isAsciiDigit(text[i - 1]))) continue;
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '#' || text[j] == 'b')) ++j;
        else if (startsWith(text.substr(j), "\xE2\x99\xAF") || startsWith(text.substr(j), "\xE2\x99\xAD")) j += 3;
        if (j < text.size() && text[j] == '-') ++j;
        std::size_t k = j;
        while (k < text.size() && isAsciiDigit(text[k])) ++k;
        if (k == j || k - j > 1) continue;
        if (k < text.size() && isAsciiLetter(text[k]) && text[k] >= 'A' && text[k] <= 'Z') continue;
        int note = noteFromName(text.substr(i, k - i));
        if (note >= 0) return note;
    }
    return -1;
}

bool parseOtoLine(std::string_view line, OtoLine& out, bool* blank) {
    out = OtoLine{};
    const std::string_view t = trim(line);
    if (blank) *blank = t.empty();
    if (t.empty()) return false;
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos || eq == 0) return false;
    out.file = std::string(trim(t.substr(0, eq)));
    if (out.file.empty()) return false;
    std::vector<std::string_view> fields;
    std::string_view rest = t.substr(eq + 1);
    for (;;) {
        std::size_t comma = rest.find(',');
        fields.push_back(rest.substr(0, comma));
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    if (fields.size() > 6) return false;
    out.alias = std::string(trim(fields[0]));
    bool ok = true;
    double* values[5] = {&out.offset, &out.consonant, &out.cutoff, &out.preutterance, &out.overlap};
    for (std::size_t k = 1; k < fields.size(); ++k) *values[k - 1] = parseNumber(fields[k], ok);
    if (!ok) return false;
    if (out.alias.empty()) {
        std::string name = out.file;
        const std::size_t slash = name.find_last_of("/\\");
        if (slash != std::string::npos) name = name.substr(slash + 1);
        if (name.size() > 4) {
            std::string ext = name.substr(name.size() - 4);
            std::transform(ext.begin(), ext.end(), ext.begin(), [](char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
            if (ext == ".wav") name.resize(name.size() - 4);
        }
        out.alias = name;
    }
    return true;
}

std::vector<std::pair<std::string, std::string>> PrefixMap::affixes() const {
    std::set<std::pair<std::string, std::string>> seen;
    for (const Entry& e : entries)
        if (!e.prefix.empty() || !e.suffix.empty()) seen.insert({e.prefix, e.suffix});
    std::vector<std::pair<std::string, std::string>> out(seen.begin(), seen.end());
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
        return a.first.size() + a.second.size() > b.first.size() + b.second.size();
    });
    return out;
}

std::vector<int> PrefixMap::notesOf(const std::string& prefix, const std::string& suffix) const {
    std::vector<int> notes;
    for (const Entry& e : entries)
        if (e.prefix == prefix && e.suffix == suffix) notes.push_back(e.note);
    std::sort(notes.begin(), notes.end());
    return notes;
}

PrefixMap parsePrefixMap(std::string_view utf8) {
    PrefixMap map;
    for (std::string_view line : splitLines(utf8)) {
        std::vector<std::string_view> fields;
        for (;;) {
            std::size_t tab = line.find('\t');
            fields.push_back(line.substr(0, tab));
            if (tab == std::string_view::npos) break;
            line.remove_prefix(tab + 1);
        }
        const int note = noteFromName(fields[0]);
        if (note < 0) continue;
        PrefixMap::Entry e;
        e.note = note;
        if (fields.size() > 1) e.prefix = std::string(trim(fields[1]));
        if (fields.size() > 2) e.suffix = std::string(trim(fields[2]));
        map.entries.push_back(std::move(e));
    }
    return map;
}

std::string characterName(std::string_view utf8) {
    for (std::string_view line : splitLines(utf8)) {
        line = trim(line);
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string key(trim(line.substr(0, eq)));
        std::transform(key.begin(), key.end(), key.begin(), [](char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
        if (key == "name") return std::string(trim(line.substr(eq + 1)));
    }
    return {};
}

std::string soundBefore(std::string_view text) {
    text = trim(text);
    if (text.size() == 1) {
        const char c = static_cast<char>(text[0] >= 'A' && text[0] <= 'Z' ? text[0] + 32 : text[0]);
        if (c == 'a' || c == 'i' || c == 'u' || c == 'e' || c == 'o' || c == 'n') return std::string(1, c);
        return {};
    }
    static constexpr std::pair<const char*, const char*> kKana[] = {
        {"あ", "a"}, {"い", "i"}, {"う", "u"}, {"え", "e"}, {"お", "o"}, {"ん", "n"},
        {"ア", "a"}, {"イ", "i"}, {"ウ", "u"}, {"エ", "e"}, {"オ", "o"}, {"ン", "n"}};
    for (const auto& [kana, sound] : kKana)
        if (text == kana) return sound;
    return {};
}

std::string endingConsonant(std::string_view text) {
    text = trim(text);
    if (text.empty() || text.size() > 3) return {};
    std::string letters;
    for (char c : text) {
        if (!isAsciiLetter(c)) return {};
        letters.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c));
        if (letters.back() == 'a' || letters.back() == 'i' || letters.back() == 'u' || letters.back() == 'e' ||
            letters.back() == 'o')
            return {};  // a syllable, not a consonant
    }
    // The consonant as the table spells a syllable that starts with it ("sh" + a -> SYA).
    for (const char* vowel : {"a", "u", "i", "o", "e"}) {
        const std::string code = tableSpelling(letters + vowel);
        if (rowOfCode(code) < 0) continue;
        std::string consonant;
        for (char c : code) {
            if (c == 'A' || c == 'I' || c == 'U' || c == 'E' || c == 'O') break;
            consonant.push_back(c);
        }
        if (!consonant.empty()) return consonant;
    }
    return {};
}

bool mapAlias(const std::string& alias, const PrefixMap& map, AliasSyllable& out) {
    out = AliasSyllable{};
    std::string_view text = trim(alias);
    for (const auto& [prefix, suffix] : map.affixes()) {
        if (text.size() > prefix.size() + suffix.size() && startsWith(text, prefix) && endsWith(text, suffix)) {
            text = text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
            out.prefix = prefix;
            out.suffix = suffix;
            out.affixNote = findNoteName(suffix);
            if (out.affixNote < 0) out.affixNote = findNoteName(prefix);
            if (out.affixNote < 0) {
                std::vector<int> notes = map.notesOf(prefix, suffix);
                if (!notes.empty()) out.affixNote = notes[notes.size() / 2];
            }
            break;
        }
    }
    text = trim(text);
    out.head = true;
    if (startsWith(text, "-")) {
        text = trim(text.substr(1));
        out.dash = true;
    } else {
        const std::size_t space = text.find_last_of(" \t");
        if (space != std::string_view::npos) {
            out.head = false;
            out.after = soundBefore(text.substr(0, space));
            text = trim(text.substr(space + 1));
            if (!out.after.empty()) {
                out.kind = AliasSyllable::Kind::After;
                std::size_t end = 0;
                // "a n" is ん after a; other consonants alone are endings ("a k").
                // "R" is the rest after a vowel (a breath), no consonant.
                if (text != "R" && (leadingSyllable(std::string(text), end) < 0 || end != text.size())) {
                    out.consonant = endingConsonant(text);
                    if (!out.consonant.empty()) {
                        out.kind = AliasSyllable::Kind::Ending;
                        return false;  // no syllable of its own
                    }
                }
            }
        }
    }
    std::size_t end = 0;
    const std::string syllable(text);
    out.row = leadingSyllable(syllable, end);
    // A pitch named after the syllable ("かC4", "kaG#3") when prefix.map names none.
    if (out.row >= 0 && out.affixNote < 0) out.affixNote = findNoteName(std::string_view(syllable).substr(end));
    return out.row >= 0;
}

}  // namespace kantor

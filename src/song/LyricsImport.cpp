#include "song/LyricsImport.h"

#include <cstdint>

#include "base/Translation.h"
#include "song/Song.h"
#include "voice/WordSyllables.h"

namespace kantor {
namespace {

struct Word {
    std::string text;
    std::size_t byte = 0;  // where it starts in the line
};

// Splits on ASCII blanks, tabs and the ideographic space.
std::vector<Word> splitBlanks(const std::string& line) {
    std::vector<Word> out;
    Word cur;
    for (std::size_t i = 0; i < line.size();) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
        } else if (line.compare(i, 3, "\xE3\x80\x80") == 0) {  // U+3000
            i += 3;
        } else {
            if (cur.text.empty()) cur.byte = i;
            cur.text.push_back(line[i++]);
            continue;
        }
        if (!cur.text.empty()) out.push_back(std::move(cur)), cur = Word{};
    }
    if (!cur.text.empty()) out.push_back(std::move(cur));
    return out;
}

std::string where(int line, int column) {
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::vector<std::string> splitSyllables(const std::string& word) {
    std::vector<std::string> out(1);
    for (std::size_t i = 0; i < word.size();) {
        if (word[i] == ',') {
            out.emplace_back();
            ++i;
        } else if (word.compare(i, 3, "\xE3\x80\x81") == 0) {  // 、
            out.emplace_back();
            i += 3;
        } else {
            out.back().push_back(word[i++]);
        }
    }
    for (std::string& s : out) {
        if (s == "-") s.clear();
    }
    return out;
}

// Length of the well-formed UTF-8 sequence at text[i] (a printable character), or 0 for a
// byte that starts none, a control character or a zero byte.
std::size_t utf8Character(const std::string& text, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = b(i);
    if (lead < 0x80) return (lead >= 0x20 && lead != 0x7F) || lead == '\t' || lead == '\r' ? 1 : 0;
    const std::size_t n = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
    if (n == 0 || text.size() - i < n) return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((b(i + k) & 0xC0) != 0x80) return 0;
    const uint32_t second = b(i + 1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second >= 0x90))
        return 0;  // overlong, a surrogate, or past U+10FFFF
    return n;
}

}  // namespace

std::string printableText(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = utf8Character(text, i);
        if (n > 0) {
            out.append(text, i, n);
            i += n;
        } else {
            const unsigned char c = static_cast<unsigned char>(text[i++]);
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string shownText(const std::string& text, std::size_t maxCharacters) {
    std::size_t cut = 0, characters = 0;
    while (cut < text.size() && characters < maxCharacters) {
        const std::size_t n = utf8Character(text, cut);
        cut += n > 0 ? n : 1;
        ++characters;
    }
    if (cut >= text.size()) return printableText(text);
    return printableText(text.substr(0, cut)) + "\xE2\x80\xA6 (" + std::to_string(text.size()) + " bytes)";
}

const char* lyricsMustBeKanaText() {
    return KANTOR_TEXT("歌詞はかなかローマ字で書いてください。");
}

void UnknownPieces::add(const std::string& where, const std::string& piece, const std::string& lyric) {
    ++count_;
    if (shown_.size() >= kShown) return;
    std::string line = where + ": \"" + shownText(piece, 16) + "\"";
    if (lyric != piece) line += " in \"" + shownText(lyric) + "\"";
    shown_.push_back(std::move(line));
}

std::string UnknownPieces::message() const {
    std::string s = count_ == 1 ? std::string("1 piece of the lyrics is no syllable:")
                                : std::to_string(count_) + " pieces of the lyrics are no syllables:";
    for (const std::string& line : shown_) s += "\n  " + line;
    if (count_ > shown_.size()) s += "\n  (" + std::to_string(count_ - shown_.size()) + " more)";
    s += "\n";
    s += lyricsMustBeKanaText();
    return s;
}

bool parseLyrics(const std::string& text, std::vector<LyricPhrase>& phrases, std::string& error) {
    phrases.clear();
    int lineNo = 0;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        std::string line = text.substr(pos, nl - pos);
        pos = nl + 1;
        ++lineNo;
        if (lineNo == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);  // byte order mark
        // A lyrics file is UTF-8 text: anything else (a binary file given by mistake) is
        // refused at its first odd byte, shown as \xNN rather than sent to the terminal.
        for (std::size_t i = 0; i < line.size();) {
            const std::size_t n = utf8Character(line, i);
            if (n == 0) {
                error = "line " + std::to_string(lineNo) + ": not UTF-8 text (byte " +
                        printableText(line.substr(i, 1)) + " at byte " + std::to_string(i + 1) + ")";
                return false;
            }
            i += n;
        }
        std::vector<Word> words = splitBlanks(line);
        if (words.empty() || words[0].text[0] == '#') continue;
        LyricPhrase p;
        p.line = lineNo;
        std::string previous;  // the syllable before, which a word "ー" holds
        for (const Word& word : words) {
            const std::string& w = word.text;
            const int column = static_cast<int>(characterCount(line, word.byte)) + 1;
            LyricNote n;
            n.column = column;
            n.syllables = splitSyllables(w);
            if (n.syllables.size() > 4) {
                error = where(lineNo, column) + ": more than four syllables on one note: " + w;
                return false;
            }
            if (n.syllables.size() == 1 && !n.syllables[0].empty()) {
                // A word: one syllable a note.
                std::vector<WordSyllable> parts;
                WordSplitError bad;
                WordSplitOptions options;
                options.previous = previous;
                const bool split = splitWord(w, parts, bad, options);
                previous = split && !parts.empty() ? parts.back().text : n.syllables.back();
                // A held vowel on a note of its own sings the vowel it holds.
                if (split && parts.size() == 1 && (w.rfind("ー", 0) == 0 || w.rfind("〜", 0) == 0 || w.rfind("～", 0) == 0))
                    n.syllables[0] = parts[0].text;
                if (!split) {
                    n.badColumn = column + static_cast<int>(bad.column);
                    n.badPiece = bad.piece;
                } else if (parts.size() > 1) {
                    for (const WordSyllable& part : parts) {
                        LyricNote one;
                        one.syllables = {part.text};
                        one.column = column + static_cast<int>(part.column);
                        p.notes.push_back(std::move(one));
                    }
                    continue;
                }
            }
            p.notes.push_back(std::move(n));
        }
        phrases.push_back(std::move(p));
    }
    return true;
}

bool applyLyrics(Song& song, int c, const std::vector<LyricPhrase>& phrases, const SyllableResolver& resolve,
                 std::string& error) {
    // Resolve everything and find the notes before changing anything.
    struct Planned {
        std::size_t event;
        bool head;
        std::array<std::string, 4> codes;
        int count;
    };
    std::vector<Planned> plan;
    auto& events = song.channel(c).events;
    std::size_t next = 0;
    for (const LyricPhrase& p : phrases) {
        for (std::size_t i = 0; i < p.notes.size(); ++i) {
            while (next < events.size() && !events[next]) ++next;
            if (next >= events.size()) {
                error = where(p.line, p.notes[i].column) + ": more notes than channel " + std::to_string(c + 1) +
                        " has";
                return false;
            }
            Planned pl{next++, i == 0, {}, static_cast<int>(p.notes[i].syllables.size())};
            for (std::size_t k = 0; k < p.notes[i].syllables.size(); ++k) {
                const std::string& typed = p.notes[i].syllables[k];
                if (typed.empty()) continue;
                if (!resolve(typed, pl.codes[k])) {
                    const LyricNote& n = p.notes[i];
                    if (n.badColumn > 0)
                        error = where(p.line, n.badColumn) + ": unknown piece \"" + printableText(n.badPiece) +
                                "\" in \"" + printableText(typed) + "\"";
                    else
                        error = where(p.line, n.column) + ": unknown syllable \"" + printableText(typed) + "\"";
                    return false;
                }
            }
            plan.push_back(std::move(pl));
        }
    }
    for (const Planned& pl : plan) {
        VoxEvent& e = *events[pl.event];
        for (int k = 0; k < VoxEvent::kSlots; ++k) {
            const std::string& code = pl.codes[static_cast<std::size_t>(k)];
            e.setCode(k, code);
            e.syllableLength[static_cast<std::size_t>(k)] = code.empty() ? 0 : 1;
            e.syllableVolume[static_cast<std::size_t>(k)] = 100;
        }
        e.hasLyric = e.hasSyllable() ? 1 : 0;
        if (pl.head && !song.makePhraseHead(c, pl.event)) {
            error = song.lastError();
            return false;
        }
    }
    song.setModified(true);
    return true;
}

bool applyNoteLyrics(Song& song, int c, const std::vector<NoteLyric>& notes, const SyllableResolver& resolve,
                     std::string& error) {
    auto& events = song.channel(c).events;
    std::vector<std::size_t> index;  // the channel's events in list order, empty slots skipped
    for (std::size_t i = 0; i < events.size(); ++i)
        if (events[i]) index.push_back(i);
    std::vector<std::array<std::string, 4>> codes(notes.size());
    for (std::size_t n = 0; n < notes.size(); ++n) {
        const NoteLyric& nl = notes[n];
        if (nl.note >= index.size()) {
            error = nl.where + ": channel " + std::to_string(c + 1) + " has no note " + std::to_string(nl.note + 1);
            return false;
        }
        if (nl.syllables.size() > static_cast<std::size_t>(VoxEvent::kSlots)) {
            error = nl.where + ": more than four syllables on one note";
            return false;
        }
        for (std::size_t k = 0; k < nl.syllables.size(); ++k) {
            if (!resolve(nl.syllables[k], codes[n][k])) {
                error = nl.where + ": the voice has no syllable \"" + nl.syllables[k] + "\"";
                return false;
            }
        }
    }
    for (std::size_t n = 0; n < notes.size(); ++n) {
        const std::size_t at = index[notes[n].note];
        VoxEvent& e = *events[at];
        for (int k = 0; k < VoxEvent::kSlots; ++k) {
            const std::string& code = codes[n][static_cast<std::size_t>(k)];
            e.setCode(k, code);
            e.syllableLength[static_cast<std::size_t>(k)] = code.empty() ? 0 : 1;
            e.syllableVolume[static_cast<std::size_t>(k)] = 100;
        }
        e.hasLyric = e.hasSyllable() ? 1 : 0;
        if (notes[n].phraseHead && e.phraseIndex == 0 && !song.makePhraseHead(c, at)) {
            error = song.lastError();
            return false;
        }
    }
    song.setModified(true);
    return true;
}

}  // namespace kantor

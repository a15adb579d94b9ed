#pragma once
// Puts lyrics from a plain text onto a Vox channel: one phrase per line (its first note
// becomes a phrase head), notes separated by blanks, up to four syllables of a note
// separated by "," or "、", and "-" for an empty slot.
#include <functional>
#include <string>
#include <vector>

namespace kantor {

class Song;

struct LyricNote {
    std::vector<std::string> syllables;  // 1..4 entries; "" for an empty slot
};

struct LyricPhrase {
    int line = 0;  // 1-based line of the text
    std::vector<LyricNote> notes;
};

// Splits the text (UTF-8) into phrases. Blank lines and lines starting with '#' are passed
// over. False with `error` naming the line when a note has more than four syllables, or
// when the line is not UTF-8 text (a control character, a zero byte, a malformed sequence:
// a binary file given by mistake); the error shows the byte as \xNN, never raw.
bool parseLyrics(const std::string& text, std::vector<LyricPhrase>& phrases, std::string& error);

// The text with every byte that is not part of a printable UTF-8 character (control
// characters, malformed sequences) written as \xNN: safe to show on a terminal.
std::string printableText(const std::string& text);

// Finds the code the voice stores for a typed syllable (a romaji code or its kana);
// false when the voice has no such syllable.
using SyllableResolver = std::function<bool(const std::string& typed, std::string& code)>;

// Puts the phrases on the notes of channel c (0-based) in list order from its first note.
// Every syllable is resolved first: an unknown one, or more notes than the channel has,
// fails with `error` naming the line and the syllable, and the song is left unchanged.
bool applyLyrics(Song& song, int c, const std::vector<LyricPhrase>& phrases, const SyllableResolver& resolve,
                 std::string& error);

}  // namespace kantor

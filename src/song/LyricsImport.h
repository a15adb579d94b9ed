#pragma once
// Puts lyrics from a plain text onto a Vox channel: one phrase per line (its first note
// becomes a phrase head), notes separated by blanks, up to four syllables of a note
// separated by "," or "、", and "-" for an empty slot. A word of several syllables
// ("さくら", "sakura", "KYOU") is split into them (voice/WordSyllables.h), one a note.
#include <functional>
#include <string>
#include <vector>

namespace kantor {

class Song;

struct LyricNote {
    std::vector<std::string> syllables;  // 1..4 entries; "" for an empty slot
    int column = 0;                      // 1-based character column of the note's text
    // A word that could not be split into syllables stays one syllable here; when the voice
    // has no such syllable either, this is the column and the piece to report.
    int badColumn = 0;
    std::string badPiece;
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

// A text taken from a file as it is shown in a message: printable (printableText), cut after
// `maxCharacters` characters with its size given ("さくら… (1048576 bytes)").
std::string shownText(const std::string& text, std::size_t maxCharacters = 40);

// Pieces of lyrics that are no syllable, gathered so that a file's lyrics are refused with
// all of them at once: how many, the first few with where they are, and what lyrics must be.
class UnknownPieces {
public:
    static constexpr std::size_t kShown = 5;
    // `where` says where the lyric is ("tick 960, measure 3"); `piece` is the unknown part
    // of `lyric`. Both are cut and made printable here.
    void add(const std::string& where, const std::string& piece, const std::string& lyric);
    std::size_t count() const { return count_; }
    bool empty() const { return count_ == 0; }
    // Several lines; the last one is the sentence saying that lyrics are kana or romaji.
    std::string message() const;

private:
    std::size_t count_ = 0;
    std::vector<std::string> shown_;
};

// The sentence that ends a refusal of lyrics that are neither kana nor romaji.
const char* lyricsMustBeKanaText();

// Finds the code the voice stores for a typed syllable (a romaji code or its kana);
// false when the voice has no such syllable.
using SyllableResolver = std::function<bool(const std::string& typed, std::string& code)>;

// Puts the phrases on the notes of channel c (0-based) in list order from its first note.
// Every syllable is resolved first: an unknown one, or more notes than the channel has,
// fails with `error` naming the line and the syllable, and the song is left unchanged.
bool applyLyrics(Song& song, int c, const std::vector<LyricPhrase>& phrases, const SyllableResolver& resolve,
                 std::string& error);

// Lyrics already placed on notes (by tick, as lyrics read from a MIDI file are).
struct NoteLyric {
    std::size_t note = 0;                // index among the channel's notes (its VoxEvents)
    std::vector<std::string> syllables;  // 1..4, typed romaji or kana
    bool phraseHead = false;
    std::string where;                   // for messages: where the syllables came from
};

// Puts the syllables on the notes of channel c; every syllable is resolved first, and an
// unknown one or a note the channel does not have fails with `error` and leaves the song
// unchanged. Notes not named keep what they had.
bool applyNoteLyrics(Song& song, int c, const std::vector<NoteLyric>& notes, const SyllableResolver& resolve,
                     std::string& error);

}  // namespace kantor

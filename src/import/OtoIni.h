#pragma once
// The text files of a voice bank in the widely shared oto.ini form:
//   oto.ini      FILE=ALIAS,OFFSET,CONSONANT,CUTOFF,PREUTTERANCE,OVERLAP per line, times in
//                milliseconds: OFFSET where the usable sound starts, CONSONANT the fixed part
//                after it, CUTOFF negative = the end measured from the offset, positive = from
//                the end of the file (0 = the end of the file), PREUTTERANCE the point that
//                lands on the note's start, OVERLAP how far the sound reaches into the note
//                before (kept with VCV and CVVC samples, whose crossfade over the note before
//                it sets; plain samples do not use it). An empty alias means the file name without ".wav".
//   prefix.map   NOTE<TAB>PREFIX<TAB>SUFFIX per line: the affix that marks the aliases
//                recorded for singing at that note.
//   character.txt  name=VOICE NAME (and other key=value lines).
// The files are cp932 or UTF-8; everything here works on UTF-8 text.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kantor {

// The bytes of a bank text file as UTF-8: a UTF-8 byte-order mark is dropped; text that is
// valid UTF-8 is taken as it is, anything else is read as cp932.
std::string bankTextToUtf8(std::string_view bytes);
bool isValidUtf8(std::string_view bytes);

// The lines of a text (LF, CRLF or CR endings; the ending is not part of the line).
std::vector<std::string_view> splitLines(std::string_view text);

// The note number of a note name in the usual notation ("C4" is middle C, 261.6 Hz; "C#4",
// "Db4", "A3", "C-1"), in this system's numbering, where middle C is note 72 ("C4" in the
// maker's own pitch names as well). -1 when the text is not exactly a note name or the
// note lies outside 0..127.
int noteFromName(std::string_view name);
// The first note name inside a text that is not part of a longer word of letters or
// digits ("C4", "強_G#3" and "A3soft" hold one; "ABC" and "C45" do not). -1 when none.
int findNoteName(std::string_view text);

// One line of an oto.ini.
struct OtoLine {
    std::string file;   // as written (UTF-8), separators as written
    std::string alias;  // UTF-8; the file name without ".wav" when the line leaves it empty
    double offset = 0, consonant = 0, cutoff = 0, preutterance = 0, overlap = 0;  // ms
};
// Reads one line. False for a line without "=" or with a field that is not a number;
// missing trailing fields and empty fields count as 0. A blank line gives false and
// `blank` true.
bool parseOtoLine(std::string_view line, OtoLine& out, bool* blank = nullptr);

// prefix.map: the affix for each note that has one.
struct PrefixMap {
    struct Entry {
        int note = -1;
        std::string prefix, suffix;
    };
    std::vector<Entry> entries;

    bool empty() const { return entries.empty(); }
    // The distinct non-empty affixes (prefix, suffix), longest first.
    std::vector<std::pair<std::string, std::string>> affixes() const;
    // The notes mapped to an affix, ascending.
    std::vector<int> notesOf(const std::string& prefix, const std::string& suffix) const;
};
PrefixMap parsePrefixMap(std::string_view utf8);

// The voice name a character.txt gives ("name=..."), "" when none.
std::string characterName(std::string_view utf8);

// What an alias names.
struct AliasSyllable {
    int row = -1;        // the syllable table's row, -1 when the alias names none
    bool head = false;   // a syllable's own head entry ("か", "- か"), not one after a vowel ("a か")
    // The affix of prefix.map the alias carries, and the pitch that affix stands for (a
    // note name inside the affix, else the middle of the notes mapped to it); -1 when the
    // alias carries none or the affix names no pitch.
    std::string prefix, suffix;
    int affixNote = -1;
    // What kind of sample the line is: a plain or head entry ("か", "- か"), the syllable
    // reached from a sound ("a か", "n か"), or an ending into a consonant ("a k", CVVC).
    enum class Kind { Plain, After, Ending } kind = Kind::Plain;
    bool dash = false;    // written as a head entry with "-" ("- か")
    std::string after;    // After and Ending: the sound before, "a", "i", "u", "e", "o" or "n"
    std::string consonant;  // Ending: the consonant letters as the table's codes start ("K", "SY")
};
// CV aliases ("か", "- か", "か↑", katakana too), romaji aliases ("ka", "- ka", "shi"),
// VCV aliases ("a か", "a ka", "n か") and CVVC endings ("a k", "o sh"; row -1, kind Ending): the affix of prefix.map is taken off first, then a
// leading "-" (a head entry) or the vowel before the last space (an entry after a vowel),
// then marks after the syllable (↑, digits, letters after kana). False (row -1) when what
// is left names no syllable of the table ("a R", "息", "てぃ").
bool mapAlias(const std::string& alias, const PrefixMap& map, AliasSyllable& out);
// The sound before in a VCV or CVVC alias ("a", "A", "あ" -> "a"; "n", "N", "ん" -> "n"),
// "" when the text names none.
std::string soundBefore(std::string_view text);
// The consonant of a CVVC ending ("k" -> "K", "sh" -> "SY", "ch" -> "CY", "ts" -> "T"),
// "" when the text is not one.
std::string endingConsonant(std::string_view text);

}  // namespace kantor

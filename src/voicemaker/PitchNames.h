#pragma once
// The maker's pitch names: the letter, the octave (note / 12 - 2, so that note 60 is
// "C3" and note 0 "C-2"), "#" for a sharp, padded with spaces to six characters, then
// the solfege syllable in half-width katakana in parentheses: "C4    (ﾄﾞ)" for note 72,
// "C4#   (ﾄﾞ#)" for note 73.
#include <string>

namespace kantor {

inline constexpr int kMakerPitchListTop = 127;  // the pitch list runs from 127 down to 0
inline constexpr int kMakerPitchListStart = 72; // and opens scrolled to this note

// The pitch name of a note 0..127 (any other number gives an empty text).
std::string makerPitchName(int note);
// A line of the pitch list: a space and the pitch name.
std::string makerPitchListLine(int note);
// The note of a pitch name or pitch list line (leading blanks ignored; the octave part
// alone, "C4#", is enough), or -1.
int makerPitchNumber(const std::string& name);

// A line of the code-notation list for syllable table row 0..118: a space, the code
// padded to five characters (lower case when asked), "- " and the kana. Empty for a
// row outside the table.
std::string codeListLine(int row, bool lowerCaseCodes);

// A text holding pitch names (a pitch list line, an item's list line) as the chosen language
// shows it: with English, each solfege syllable in brackets ("(ﾄﾞ#)") becomes blanks of the
// same width, leaving the English note name ("C4#") alone in its column. The stored names
// keep their katakana.
std::string shownPitchText(const std::string& text);

// Pads a text with spaces to `columns` display columns, counted as the cp932 bytes the
// text takes (a half-width character one column, a full-width one two).
std::string padColumns(const std::string& utf8, std::size_t columns);

}  // namespace kantor

#pragma once
// Words as people write lyrics ("さくら", "サクラ", "sakura", "kyou") split into the syllables
// of the syllable table, one syllable a note: kana by mora, with a small ゃゅょぁぃぅぇぉ joined
// to the kana before it; っ takes no note of its own (the mora before it is cut short, as
// singers sing it) and ー sings the vowel of the mora before it again; romaji by the table's
// codes and the spellings people type (tableSpelling: SHI, CHA, TSU, …), with a doubled
// consonant for っ and n, nn or n' for ん.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kantor {

struct WordSyllable {
    std::string text;        // hiragana (UTF-8) for kana, upper-case romaji as typed otherwise
    std::size_t column = 0;  // 0-based character (code point) where it starts in the word
};

struct WordSplitError {
    std::size_t column = 0;  // 0-based character where the unknown piece starts
    std::string piece;       // the piece as written
};

struct WordSplitOptions {
    // Punctuation, symbols and blanks (!?。「」…) are passed over instead of refused, as
    // lyrics taken from files carry them.
    bool skipPunctuation = false;
    // The syllable sung before the word, which a ー at its start holds ("ら" then "ー").
    std::string previous;
};

// Splits one word (no blanks). False with `error` at the first piece that is no syllable
// of the table; `out` then holds the syllables before it.
bool splitWord(std::string_view word, std::vector<WordSyllable>& out, WordSplitError& error,
               const WordSplitOptions& options = {});

// The number of characters (UTF-8 code points) in the first `bytes` bytes of a text.
std::size_t characterCount(std::string_view text, std::size_t bytes);

}  // namespace kantor

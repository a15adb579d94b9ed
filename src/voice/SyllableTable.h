#pragma once
// The built-in table of the 119 syllables a voice bank can hold. The voice data maker
// labels each of its items with one row; everything else translates codes through the
// loaded voice (VoiceBank), never through this table.
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace kantor {

// One row: kana text (UTF-8 here; cp932 in files, at most 11 bytes there) and code
// (one to three upper-case ASCII letters).
struct SyllableRow {
    std::string_view kana;
    std::string_view code;
};

inline constexpr std::size_t kSyllableCount = 119;
// Sizes of the two text fields of a row, as files store them.
inline constexpr std::size_t kSyllableKanaFieldSize = 12;
inline constexpr std::size_t kSyllableCodeFieldSize = 12;

// All rows in row order (0..118).
std::span<const SyllableRow, kSyllableCount> syllableTable();

// Row by number; a number outside 0..118 gives nullptr.
const SyllableRow* syllableRow(int row);

}  // namespace kantor

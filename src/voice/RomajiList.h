#pragma once
// The romaji code list of a voice: every code it can sing with its kana, in the order of its
// samples. A code the voice holds several times (at two rows of the syllable table, or at
// several pitches) is listed once, with the kana of its first sample; it counts as usable as
// soon as one of its samples is. A placeholder sample (no code) keeps its place as a blank entry.
#include <string>
#include <vector>

namespace kantor {

class VoiceBank;
struct Voice;

struct RomajiEntry {
    std::string kana;
    std::string code;  // empty for a blank entry
    bool usable = false;
};

std::vector<RomajiEntry> romajiEntries(const Voice& voice);

// The list laid out five entries a row.
inline constexpr int kRomajiPerRow = 5;
inline int romajiRows(std::size_t entries) { return static_cast<int>((entries + kRomajiPerRow - 1) / kRomajiPerRow); }

// "入力ｺｰﾄﾞ（ﾛｰﾏ字）一覧　「name」"
std::string romajiListTitle(const std::string& voiceName);

}  // namespace kantor

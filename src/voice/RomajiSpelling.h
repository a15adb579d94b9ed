#pragma once
// Romaji as people write it: the Hepburn spellings (SHI, CHI, TSU, FU, JI, SHA, CHA, JA, …)
// and a few other common ones (TYA, JYA, DZU, NN, N') turned into the spelling of the
// syllable code table (SI, TI, TU, HU, ZI, SYA, CYA, ZYA, …).
#include <string>
#include <string_view>

namespace kantor {

// The syllable table's spelling of one typed romaji syllable, ignoring letter case; the
// answer is in upper case. A spelling that is itself a code of the table (SI, TI, DI, WO,
// O, …) keeps meaning that code and only changes case; text that is neither (kana,
// unknown letters) comes back as typed. Alternatives are mapped only where they name one
// row without doubt: JI is じ (ZI), not ぢ; Hepburn's O for を stays お (O).
//
// The voice, not this table, decides what a code means: lookups try the typed text in the
// voice first and use this spelling only when the voice has no such code
// (findTypedSyllable in voice/SyllableLookup.h).
std::string tableSpelling(std::string_view typed);

}  // namespace kantor

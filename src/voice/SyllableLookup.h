#pragma once
// Finding the code of a syllable the user typed, as romaji or as kana.
#include <string>

namespace kantor {

class VoiceBank;
struct Voice;
struct SyllableMatch;

// A typed romaji syllable through the voice: first as typed (VoiceBank::findSyllableByCode,
// ignoring case), so that every code the voice holds means what the voice says; only when
// the voice has no such code, its table spelling (tableSpelling: SHI -> SI, CHA -> CYA, …).
// `match` receives the code as the voice stores it, never the typed spelling. An empty
// text is found as empty, as in findSyllableByCode.
bool findTypedSyllable(const VoiceBank& bank, const std::string& voiceName, const std::string& typed,
                       SyllableMatch& match);

// A romaji code (ASCII) is looked up as findTypedSyllable does; kana (hiragana, or katakana,
// which is read as the matching hiragana) is looked up by the voice's kana text, the first
// sample in file order that has it and has sound. `code` receives the code as the voice
// stores it.
bool resolveSyllable(const VoiceBank& bank, const Voice& voice, const std::string& typed, std::string& code);

// Katakana in a UTF-8 text turned into hiragana; everything else kept.
std::string katakanaToHiragana(const std::string& utf8);

}  // namespace kantor

#pragma once
// Choosing a note's sample from the sound before it: a voice with context samples (VCV
// "a か", CVVC endings "a k") sings a syllable that follows a touching note from the sample
// recorded after that note's final sound. Pure functions of codes and the voice.
#include <cstdint>
#include <string>

#include "voice/Voice.h"

namespace kantor {

// The sound a syllable ends in, as context samples name it: "a", "i", "u", "e", "o" for a
// code ending in that vowel, "n" for ん (N); "" for anything else.
std::string finalSound(const std::string& code);
// The consonant letters a syllable starts with, upper case ("KA" -> "K", "SYA" -> "SY",
// "A" -> "", "N" -> "").
std::string leadingConsonant(const std::string& code);

// Among the voice's context samples of `kind` whose code equals `code` ignoring case and
// whose sound before is `after`, the one nearest in pitch (first on a tie; distances of
// 1000 or more never chosen), as plain samples are chosen. nullptr when none.
const VoiceSample* findContextSample(const Voice& voice, SampleKind kind, const std::string& code,
                                     const std::string& after, uint32_t pitch);

}  // namespace kantor

#pragma once
// How each syllable of the table is spoken by the diphone voices: a short pause, the
// consonant phones with their lengths, and a held vowel. The voices' phone set has no
// "h"; those syllables are voiced without it and get a breath added afterwards.
#include <string>
#include <vector>

namespace kantor::voicegen {

struct Phone {
    std::string name;
    double seconds = 0.0;
};

struct SyllablePlan {
    std::vector<Phone> onset;  // consonant phones, in order (may be empty)
    std::string vowel;         // held phone (a vowel, or "n" for the syllabic nasal)
    bool breath = false;       // add an "h" breath before the voiced part
};

inline constexpr double kLeadSilence = 0.05;    // seconds of pause before the syllable
inline constexpr double kBreathSilence = 0.10;  // pause before a syllable that gets a breath
inline constexpr double kVowelSeconds = 0.70;   // length of the vowel the voice speaks
inline constexpr double kTailSilence = 0.05;

// The plan of table row 0..118.
SyllablePlan planSyllable(int row);

// Seconds from the start of the spoken sound to the start of the vowel.
double vowelStartSeconds(const SyllablePlan& plan);

}  // namespace kantor::voicegen

#pragma once
// The demo song: "Sakura Sakura", a traditional Japanese song in the public domain.
// The melody is written in the system's note numbers for a male voice (note 69 sounds
// at 220 Hz), one syllable per note; a vowel alone continues the previous syllable.
#include <cstdint>
#include <vector>

namespace kantor::demo {

constexpr uint16_t kDivision = 480;
constexpr uint32_t kUsPerQuarter = 923077;  // 65 quarter notes a minute
constexpr uint32_t kQuarter = kDivision;

struct MelodyNote {
    int note;           // system note number; 0 is a rest
    uint32_t length;    // ticks
    const char* code;   // romaji syllable code
    bool phraseHead;    // the first note of a sung phrase
};

inline std::vector<MelodyNote> melody() {
    const uint32_t q = kQuarter, e = q / 2, h = 2 * q, w = 4 * q;
    const int B2 = 59, E3 = 64, F3 = 65, A3 = 69, B3 = 71, C4 = 72;
    return {
        {A3, q, "SA", true}, {A3, q, "KU", false}, {B3, h, "RA", false},
        {A3, q, "SA", true}, {A3, q, "KU", false}, {B3, h, "RA", false},
        {A3, q, "YA", true}, {B3, q, "YO", false}, {C4, q, "I", false}, {B3, q, "NO", false},
        {A3, q, "SO", false}, {B3, e, "RA", false}, {A3, e, "A", false}, {F3, h, "WA", false},
        {E3, q, "MI", true}, {C4 - 12, q, "WA", false}, {E3, q, "TA", false}, {F3, q, "SU", false},
        {E3, q, "KA", false}, {E3, e, "GI", false}, {C4 - 12, e, "I", false}, {B2, h, "RI", false},
        {A3, q, "KA", true}, {B3, q, "SU", false}, {C4, q, "MI", false}, {B3, q, "KA", false},
        {A3, q, "KU", false}, {B3, e, "MO", false}, {A3, e, "O", false}, {F3, h, "KA", false},
        {E3, q, "NI", true}, {C4 - 12, q, "O", false}, {E3, q, "I", false}, {F3, q, "ZO", false},
        {E3, q, "I", false}, {E3, e, "ZU", false}, {C4 - 12, e, "U", false}, {B2, h, "RU", false},
        {A3, q, "I", true}, {A3, q, "ZA", false}, {B3, h, "YA", false},
        {A3, q, "I", true}, {A3, q, "ZA", false}, {B3, h, "YA", false},
        {E3, q, "MI", true}, {F3, q, "NI", false}, {B3, e, "YU", false}, {A3, e, "U", false}, {F3, q, "KA", false},
        {E3, w, "N", false},
    };
}

}  // namespace kantor::demo

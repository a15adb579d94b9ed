#pragma once
// Japanese vowels from a voice that speaks other ones: the spectral envelope of the vowel
// is warped along the frequency axis so that its first two formants land where a Japanese
// speaker has them (u unrounded with its second formant near 1,300 Hz for a man, e and o
// more open). The fine structure (the harmonics) stays; only the envelope moves.
#include <cstddef>
#include <span>

#include "Signal.h"

namespace kantor::voicegen {

struct FormantPair {
    double f1 = 0.0;
    double f2 = 0.0;
    bool valid() const { return f1 > 0.0 && f2 > f1; }
};

// The first two formants of the vowel in x[begin, end): linear prediction (order 18) on
// 30 ms frames with pre-emphasis, the two lowest envelope peaks above 200 Hz, medians
// over the frames. Frames whose second peak lies above maxF2 do not count (a back
// vowel's second formant can be too weak to show, and the third then passes for it).
// Invalid when no frame shows two peaks.
FormantPair measureFormants(std::span<const float> x, std::size_t begin, std::size_t end, double rate,
                            double maxF2 = 4000.0);

// Where a vowel's formants should lie for a voice whose plain vowel has `spoken`
// formants: a and i stay; u, e and o move. `female` picks the female targets.
FormantPair japaneseTarget(char vowel, const FormantPair& spoken, bool female);

// Warps the envelope of x (rate hertz, spoken near f0) so that formants at `from` go to
// `to`, fully from sample rampEnd on, not at all before rampStart, and in between in
// proportion (short-time Fourier frames of 32 ms, a cepstral envelope).
void warpVowel(Signal& x, double rate, double f0, const FormantPair& from, const FormantPair& to,
               std::size_t rampStart, std::size_t rampEnd);

}  // namespace kantor::voicegen

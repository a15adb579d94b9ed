#pragma once
// Turns one spoken syllable (16 kHz, at roughly the wanted pitch) into a sung sample:
// 44.1 kHz, the consonant as spoken, then the vowel held for the rest of the sample at
// exactly the wanted fundamental and a steady level, with markers A to D placed.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "Phonetics.h"
#include "PitchTracker.h"
#include "Signal.h"

namespace kantor::voicegen {

inline constexpr uint32_t kRate = 44100;
inline constexpr double kSampleSeconds = 1.5;  // length of every sample
inline constexpr double kSteadyRms = 5000.0;   // level of the held vowel
inline constexpr double kBreathSeconds = 0.06;  // the breath of an "h" before the voice

struct MadeSample {
    std::vector<int16_t> pcm;  // 16-bit mono, kRate
    // Marker sample positions: A data start, B vowel start, C..D a stretch to loop.
    uint32_t a = 0, b = 0, c = 0, d = 0;
};

// spoken: what the voice said for `plan` (any rate), asked for at spokenF0 hertz.
// targetF0: the pitch the sample must hold. breathSeed makes the breath of an "h".
bool makeSample(std::span<const float> spoken, uint32_t spokenRate, const SyllablePlan& plan, double spokenF0,
                double targetF0, uint32_t breathSeed, MadeSample& out, std::string& error);

// Adds an "h" before the vowel that starts at vowelStart (samples): noise coloured by
// the spectral envelope of the first voiced stretch, fading in before the vowel and out
// over its first moments.
void addBreath(Signal& x, uint32_t rate, std::size_t vowelStart, uint32_t seed);

// Where a vowel expected in [from, to] starts sounding: the first voiced frame at or
// after `from` with at least 30% of the vowel's median level.
double vowelOnset(const std::vector<PitchFrame>& frames, double from, double to);

// The stretch of `length` samples inside [from, to) whose frames are the
// most periodic and the most even in level.
struct HoldWindow {
    double from = 0.0;
    double to = 0.0;
};
HoldWindow steadiestStretch(const std::vector<PitchFrame>& frames, double from, double to, double length);

// Loop markers C and D inside [from, to) cut at rising zero crossings whole periods
// apart where the waveform at D best matches the one at C, the loop as long as the seam
// allows, and passing the seam rule (the jump from the sample before D to the one at C
// no larger than any jump inside the loop). False when no such pair exists.
bool placeSeamlessLoop(std::span<const int16_t> x, double period, uint32_t from, uint32_t to, uint32_t minSpan,
                       uint32_t& c, uint32_t& d);

// Loop markers C and D inside [from, to): D - C is the whole number of periods that
// lies closest to a whole number of samples, among spans of at least minSpan samples.
void placeLoop(double period, uint32_t from, uint32_t to, uint32_t minSpan, uint32_t& c, uint32_t& d);

}  // namespace kantor::voicegen

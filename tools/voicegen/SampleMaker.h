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
#include "VowelWarp.h"

namespace kantor::voicegen {

inline constexpr uint32_t kRate = 44100;
inline constexpr double kSampleSeconds = 1.0;  // length of every sample
inline constexpr double kLoopSeconds = 0.3;    // the held stretch C..D, about
inline constexpr double kSteadyRms = 5000.0;   // level of the held vowel
inline constexpr double kBreathSeconds = 0.06;  // the breath of an "h" before the voice

struct MadeSample {
    std::vector<int16_t> pcm;  // 16-bit mono, kRate
    // Marker sample positions: A data start, B vowel start, C..D a stretch to loop.
    uint32_t a = 0, b = 0, c = 0, d = 0;
};

// How the vowel's colour is moved (nothing when `from` is not valid).
struct VowelColour {
    FormantPair from;
    FormantPair to;
};

// spoken: what the voice said for `plan` (any rate), asked for at spokenF0 hertz.
// targetF0: the pitch the sample must hold. breathSeed makes the noise of a breath, an
// aspiration or a burst.
//
// The sample: silence, the consonant as spoken (made stronger where the voices say it
// weakly: the release of k, t and p, the breath of h, the burst of b, d and g), then
// the vowel, recoloured toward the Japanese one, held as one steady period repeated at
// exactly the target pitch. Nothing below about 50 Hz. Syllables that start soft (a
// vowel, a nasal, a glide, r) have no gap or dip before the vowel, so that they join a
// note before them; a vowel alone swells in just before B.
bool makeSample(std::span<const float> spoken, uint32_t spokenRate, const SyllablePlan& plan, double spokenF0,
                double targetF0, uint32_t breathSeed, MadeSample& out, std::string& error,
                const VowelColour& colour = {});

// x through a fourth-order Butterworth high-pass at `hz`, run forward and backward
// (no phase change, eighth order in effect).
void highPassZeroPhase(Signal& x, double rate, double hz);

// Adds noise before the vowel that starts at vowelStart: `before` seconds of it rising,
// `into` seconds fading under the vowel, coloured by the vowel's spectral envelope and
// then high-passed at highPassHz, at `gain` times the vowel's level; with a burst of
// 5 ms at its start at burstGain (0: none).
struct NoiseOnset {
    double before = 0.06;
    double into = 0.03;
    double gain = 0.22;
    double highPassHz = 0.0;
    double burstGain = 0.0;
};
void addNoiseOnset(Signal& x, uint32_t rate, std::size_t vowelStart, uint32_t seed, const NoiseOnset& shape);

// What kind of start a syllable has.
enum class Onset { Vowel, Soft, VoicelessStop, VoicedStop, Breath, Other };
Onset onsetOf(const SyllablePlan& plan);
// True when the syllable has one voiceless consonant (or a breath) alone before its vowel.
bool voiceless(const SyllablePlan& plan);

// Where a vowel expected in [from, to] starts sounding: the first voiced frame at or
// after `from` with at least `fraction` of the vowel's median level.
double vowelOnset(const std::vector<PitchFrame>& frames, double from, double to, double fraction = 0.3);

// The stretch of `length` samples inside [from, to) whose frames are the
// most periodic and the most even in level.
struct HoldWindow {
    double from = 0.0;
    double to = 0.0;
};
HoldWindow steadiestStretch(const std::vector<PitchFrame>& frames, double from, double to, double length);

// A loop of whole periods that is also a whole number of samples, near `seconds` long:
// the sample is sung at the period length / periods (within a tenth of a cent of
// rate / f0), so that it repeats exactly.
struct WholeLoop {
    int periods = 1;
    long length = 1;  // samples
    double period() const { return static_cast<double>(length) / periods; }
};
WholeLoop wholeLoop(double rate, double f0, double seconds);

}  // namespace kantor::voicegen

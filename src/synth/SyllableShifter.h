#pragma once
// The per-syllable core of singing: a recorded sample (at 44100 Hz) is pitch-shifted to
// the note's frequency by resampling, its steady part between markers C and D repeats to
// last as long as the syllable, and the level moves smoothly across the repetitions.
#include <cstdint>
#include <functional>

#include "sound/SoundBuffer.h"

namespace kantor {

struct SyllableShiftInput {
    uint32_t targetFrequency = 0;  // ft, thousandths of a hertz
    uint32_t sampleFrequency = 0;  // fs, the frequency the sample was sung at
    uint32_t neededBytes = 0;      // N: the syllable's own length after its lead-in
    const SoundBuffer* sample = nullptr;  // 16-bit mono at 44100 Hz
    uint32_t markerB = 0;  // end of the consonant, bytes
    uint32_t markerC = 0;  // loop start
    uint32_t markerD = 0;  // loop end
};

struct SyllableShiftOutput {
    SoundBuffer sound;          // lead-in + N bytes, 1000 spare bytes
    uint32_t leadInBytes = 0;   // Lb: the consonant, which sounds before the note starts
};

// Resamples `x` by fs/ft into at most `maxBytes` bytes: sung lower, samples are added by
// linear interpolation between neighbours; sung higher (or equal), input samples are
// dropped (or all copied). Returns the bytes written.
uint32_t pitchShift(const SoundBuffer& x, uint32_t fs, uint32_t ft, SoundBuffer& y, uint32_t maxBytes);

// Scales a marker by fs/ft: truncated, then rounded down to an even byte count.
uint32_t scaleMarker(uint32_t bytes, uint32_t fs, uint32_t ft);

// Moves the level of the samples [first, last) in a straight line, period by period, from
// the level of its first three periods to that of its last three (a period being
// 44100000 / ft samples). Regions shorter than three periods are left alone.
void levelGlide(SoundBuffer& y, std::size_t firstSample, std::size_t lastSample, uint32_t ft);

// The whole core. Fails only when memory runs out or ft is 0.
bool shiftSyllable(const SyllableShiftInput& in, SyllableShiftOutput& out);

// A pitch that moves over the note: the ratio of the sung frequency to ft at a time in
// milliseconds from the note's start (negative before it, in the lead-in).
using PitchBend = std::function<double(double ms)>;

// The core with a moving pitch: the syllable is shifted to ft as above (with enough sound
// for the highest ratio), then read again with a step that follows the bend, so that the
// pitch follows it and the syllable keeps its length. maxRatio bounds bend().
bool shiftSyllableBent(const SyllableShiftInput& in, const PitchBend& bend, double maxRatio,
                       SyllableShiftOutput& out);

// Sings the lead-in (the part before marker B) `speed` times as fast (read between samples).
bool retimeLeadIn(SyllableShiftOutput& io, double speed);

// Multiplies sample n by level(n) (clamped and rounded to the nearest).
void applyLevel(SoundBuffer& y, const std::function<double(std::size_t)>& level);

// Falsetto: a lighter, breathier tone: the harmonics above about 1 kHz are damped and
// aspiration noise that follows the level is added.
void falsettoTimbre(SoundBuffer& y);

}  // namespace kantor

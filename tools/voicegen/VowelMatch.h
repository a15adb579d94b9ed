#pragma once
// One colour per vowel across a voice's pitches. The diphone voices say a vowel a little
// differently at each pitch they are asked for, so neighbouring samples of one vowel can
// differ enough that a scale audibly changes vowel at the step between them. Every held
// vowel is measured at its own harmonics and filtered toward the vowel's shared envelope.
#include <cstddef>
#include <span>
#include <vector>

#include "Signal.h"

namespace kantor::voicegen {

// A spectral envelope read at the harmonics of f0: db[k] is the level of harmonic k + 1.
struct HarmonicEnvelope {
    double f0 = 0.0;
    std::vector<double> db;
    bool empty() const { return db.empty() || f0 <= 0.0; }
    // The level at hz, read linearly between harmonics (the end values beyond them).
    double at(double hz) const;
};

// The harmonics up to maxHz of the exactly periodic stretch y[begin, end), which holds
// `periods` whole periods.
HarmonicEnvelope loopEnvelope(std::span<const float> y, std::size_t begin, std::size_t end, int periods, double rate,
                              double maxHz = 6000.0);

// The most typical of several envelopes: the one (of f0 at most maxF0, whose harmonics
// lie close enough to show the envelope) whose shape lies nearest the others' in all,
// levels apart. A real vowel, not a mean, which would blur formants that move a little
// from pitch to pitch. Null when there is none.
const HarmonicEnvelope* typicalEnvelope(const std::vector<HarmonicEnvelope>& envelopes, double maxF0);

// Makes sure the envelope has a formant near hz: when it shows no peak within 15% of it
// that stands 4 dB above the envelope 300 Hz either side (a formant moved there may show
// only as a shoulder), a resonance of gainDb, about 250 Hz wide, is added there.
void ensureFormant(HarmonicEnvelope& envelope, double hz, double gainDb = 10.0);

// The gain (dB) at each harmonic of `own` that puts it on `target`'s shape, at most
// maxDb either way, keeping the stretch's power.
std::vector<double> matchingGainsDb(const HarmonicEnvelope& own, const HarmonicEnvelope& target, double maxDb = 30.0);

// Filters y with the zero-phase gain through the harmonics of f0 (gainsDb[k] at harmonic
// k + 1, linear between them, the end values beyond, but no lift below half of f0), fully from rampEnd on, not at all
// before rampStart, crossfading in between.
void applyHarmonicGains(Signal& y, double rate, double f0, const std::vector<double>& gainsDb, std::size_t rampStart,
                        std::size_t rampEnd);

}  // namespace kantor::voicegen

#pragma once
// Fundamental frequency by normalised cross-correlation, within a period range the
// caller gives (the generator always knows roughly what was sung), refined between
// lags by a parabola through the peak.
#include <cstddef>
#include <span>
#include <vector>

namespace kantor::voicegen {

struct PeriodEstimate {
    double period = 0.0;   // samples; 0 when no peak was found
    double clarity = 0.0;  // correlation at the peak, up to 1 for a periodic signal
};

// Period of the window x[begin, begin + window) compared with x shifted by each lag in
// [minPeriod, maxPeriod]. The signal must hold window + maxPeriod + 1 samples from
// begin; otherwise the result is empty. Keep the range within an octave: the highest
// correlation in it wins.
PeriodEstimate estimatePeriod(std::span<const float> x, std::size_t begin, std::size_t window,
                              double minPeriod, double maxPeriod);

struct PitchFrame {
    std::size_t center = 0;  // sample at the frame's middle
    double period = 0.0;     // samples; 0 = unvoiced
    double clarity = 0.0;
    double rms = 0.0;
};

// Frames every `hop` samples. A frame is voiced when its clarity reaches
// voicedClarity and its level reaches minRms.
std::vector<PitchFrame> trackPitch(std::span<const float> x, std::size_t hop, double minPeriod,
                                   double maxPeriod, double voicedClarity = 0.75, double minRms = 100.0);

// 1200 * log2(f / ref).
double cents(double f, double ref);

// Pitch marks, one per period on the voiced frames: the first at the largest peak of
// the first period, every further one a period on, moved (within a fifth of a period)
// to where the new period best matches the one before. Up to maxGapFrames unvoiced
// frames inside a voiced stretch (a join of two recordings, a moment of roughness) are
// bridged. Sample positions, ascending.
std::vector<long long> placePitchMarks(std::span<const float> x, const std::vector<PitchFrame>& frames,
                                       std::size_t maxGapFrames = 0);

}  // namespace kantor::voicegen

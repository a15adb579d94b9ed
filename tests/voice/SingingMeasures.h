#pragma once
// Measures that stand in for a listener of sung sound: a pitch tracker of its own, levels
// below 45 Hz, the steadiness of harmonics, dips between notes, consonant strength,
// formant positions and how far a spectral envelope has moved. All work on float
// signals in 16-bit units (full scale 32768).
#include <cstddef>
#include <span>
#include <vector>

namespace kantor::measure {

using Signal = std::vector<float>;

// The fundamental of x[begin, begin + length) searched between fmin and fmax hertz by
// normalised autocorrelation with a parabolic refinement; 0 when the stretch is not
// clearly periodic (correlation below `clarity`) or is too quiet.
double fundamental(std::span<const float> x, std::size_t begin, std::size_t length, double fs, double fmin,
                   double fmax, double clarity = 0.85);

// Root mean square level of x[begin, end) in dB relative to full scale (-200 for silence).
double levelDb(std::span<const float> x, std::size_t begin, std::size_t end);

// x through an eighth-order Butterworth low-pass at `hz` (four biquads, forward only):
// steep enough that a 98 Hz fundamental does not pass for sound below 45 Hz.
Signal lowPass(std::span<const float> x, double fs, double hz);

// The loudest 50 ms (hop 10 ms) of x below 45 Hz, in dBFS.
double loudestBelow45HzDb(std::span<const float> x, double fs);

// Levels in dB of the harmonics of f0 up to maxHz in x[begin, begin + length) (Hann window).
std::vector<double> harmonicLevelsDb(std::span<const float> x, std::size_t begin, std::size_t length, double fs,
                                     double f0, double maxHz);

// The largest change of any harmonic level between consecutive 40 ms windows of
// x[begin, end), counting the harmonics below 5 kHz within 30 dB of the strongest.
double largestHarmonicStepDb(std::span<const float> x, std::size_t begin, std::size_t end, double fs, double f0);

// Mean power per sample of x[begin, begin + length) between fromHz and toHz (a Hann
// window DFT, scaled so that the bands of the whole spectrum add up to the power).
double bandPower(std::span<const float> x, std::size_t begin, std::size_t length, double fs, double fromHz,
                 double toHz);

// The depth in dB of a dip at sample `at`: the lower of the median levels over
// [at - 60 ms, at - 20 ms] and [at + 20 ms, at + 60 ms], less the lowest level within
// 15 ms of `at`. Levels are taken over 5 ms or one `period` (samples), whichever is
// longer, so that a low voice's own waveform does not pass for a dip. 0 or less when
// there is no dip.
double dipDepthDb(std::span<const float> x, std::size_t at, double fs, double period = 0.0);

// The first two formants of a vowel in x[begin, end): LPC of order 12 on the sound
// brought to 11,025 Hz with pre-emphasis, peaks of its envelope above 200 Hz.
struct Formants {
    double f1 = 0.0;
    double f2 = 0.0;
};
Formants vowelFormants(std::span<const float> x, std::size_t begin, std::size_t end, double fs);

// The spectral envelope of a held note, sampled at its harmonics: frequency and level
// pairs averaged over x[begin, end) in 40 ms windows.
struct Envelope {
    std::vector<double> hz;
    std::vector<double> db;
    double at(double f) const;  // linear between harmonics, in dB
};
Envelope harmonicEnvelope(std::span<const float> x, std::size_t begin, std::size_t end, double fs, double f0);

// The factor a by which the formants of `moved` lie above those of `reference`
// (moved(f) ~ reference(f / a)), searched from 0.7 to 1.4 over 300..4000 Hz.
double envelopeScale(const Envelope& reference, const Envelope& moved);

}  // namespace kantor::measure

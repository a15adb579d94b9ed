// Formant-keeping synthesis (PitchMode::KeepFormants), measured on synthetic vowels: a pulse
// train through formant resonators, made by adding its harmonics below a band limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <vector>

#include "base/Fft.h"
#include "support/BuiltinVoiceFolder.h"
#include "synth/FormantShifter.h"
#include "synth/NoteFrequency.h"
#include "synth/PitchMarks.h"
#include "synth/SyllableShifter.h"
#include "voice/VoiceFile.h"

namespace kantor {
namespace {

using cd = std::complex<double>;
constexpr double kPi = std::numbers::pi;
constexpr double kRate = 44100.0;

struct Formant {
    double frequency, bandwidth;
};
const std::vector<Formant> kVowelA = {{700, 110}, {1220, 120}, {2600, 160}};

// The resonators' response at f (Hz), a second-order low-pass each.
cd response(const std::vector<Formant>& formants, double f) {
    cd h = 1.0;
    const cd s(0.0, 2 * kPi * f);
    for (const Formant& F : formants) {
        const double w = 2 * kPi * F.frequency, b = 2 * kPi * F.bandwidth;
        h *= w * w / (s * s + b * s + w * w);
    }
    return h;
}

// A vowel at f0 (optionally with vibrato of `depth` cents at 5.5 Hz), its harmonics below
// `bandLimit`, peak about `peak`.
std::vector<float> vowel(double f0, double seconds, double bandLimit, const std::vector<Formant>& formants = kVowelA,
                         double depth = 0.0, double peak = 12000.0) {
    const std::size_t n = static_cast<std::size_t>(seconds * kRate);
    std::vector<double> y(n, 0.0);
    std::vector<double> phase(n);
    double ph = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        phase[i] = ph;
        const double f = f0 * std::pow(2.0, depth / 1200.0 * std::sin(2 * kPi * 5.5 * double(i) / kRate));
        ph += 2 * kPi * f / kRate;
    }
    for (int k = 1; k * f0 * 1.06 < bandLimit; ++k) {
        const cd h = response(formants, k * f0);
        const double a = std::abs(h), p = std::arg(h);
        for (std::size_t i = 0; i < n; ++i) y[i] += a * std::cos(k * phase[i] + p);
    }
    double top = 0.0;
    for (double v : y) top = std::max(top, std::abs(v));
    std::vector<float> out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<float>(y[i] / top * peak);
    return out;
}

std::vector<float> noise(std::size_t n, double level, uint32_t seed = 7) {
    std::vector<float> out(n);
    uint32_t r = seed;
    for (float& v : out) {
        r = r * 1664525u + 1013904223u;
        v = static_cast<float>((double(r >> 8) / double(1u << 24) - 0.5) * 2 * level);
    }
    return out;
}

SoundBuffer toBuffer(const std::vector<float>& s) {
    std::vector<int16_t> v(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) v[i] = static_cast<int16_t>(std::lround(std::clamp(s[i], -32768.0f, 32767.0f)));
    return SoundBuffer::fromSamples(v);
}

std::vector<double> toDoubles(const SoundBuffer& b, std::size_t from = 0, std::size_t to = SIZE_MAX) {
    std::vector<double> v;
    to = std::min(to, b.sampleCount());
    for (std::size_t i = from; i < to; ++i) v.push_back(b.sample(i));
    return v;
}

// Frequency in thousandths of a hertz, `semitones` (equal-tempered) from f0.
uint32_t milli(double f, double semitones = 0.0) {
    return static_cast<uint32_t>(std::lround(f * 1000.0 * std::pow(2.0, semitones / 12.0)));
}

// Power spectrum of 2^k samples from `from` under a Blackman-Harris window.
std::vector<double> powerSpectrum(const std::vector<double>& x, std::size_t from, std::size_t size) {
    std::vector<cd> a(size);
    for (std::size_t i = 0; i < size; ++i) {
        const double u = 2 * kPi * double(i) / double(size);
        const double w = 0.35875 - 0.48829 * std::cos(u) + 0.14128 * std::cos(2 * u) - 0.01168 * std::cos(3 * u);
        a[i] = (from + i < x.size() ? x[from + i] : 0.0) * w;
    }
    fft(a);
    std::vector<double> p(size / 2);
    for (std::size_t i = 0; i < size / 2; ++i) p[i] = std::norm(a[i]);
    return p;
}

// Energy above `hz` relative to the total, in dB.
double energyAboveDb(const std::vector<double>& x, std::size_t from, std::size_t size, double hz) {
    const std::vector<double> p = powerSpectrum(x, from, size);
    double all = 0, above = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        all += p[i];
        if (double(i) * kRate / double(size) > hz) above += p[i];
    }
    return 10 * std::log10(std::max(above, 1e-30) / all);
}

// Fundamental by the autocorrelation at about `periods` periods near `expected` Hz,
// refined by a parabola: precise to a fraction of a cent.
double measurePitch(const std::vector<double>& x, std::size_t from, std::size_t window, double expected,
                    int periods = 8) {
    const double lag0 = periods * kRate / expected;
    const long lo = std::lround(lag0 * 0.97), hi = std::lround(lag0 * 1.03);
    std::vector<double> r;
    for (long lag = lo - 1; lag <= hi + 1; ++lag) {
        double c = 0, e0 = 0, e1 = 0;
        for (std::size_t i = from; i < from + window; ++i) {
            c += x[i] * x[i + std::size_t(lag)];
            e0 += x[i] * x[i];
            e1 += x[i + std::size_t(lag)] * x[i + std::size_t(lag)];
        }
        r.push_back(c / std::sqrt(e0 * e1));
    }
    std::size_t best = 1;
    for (std::size_t i = 1; i + 1 < r.size(); ++i)
        if (r[i] > r[best]) best = i;
    const double den = r[best - 1] - 2 * r[best] + r[best + 1];
    const double shift = den < 0 ? 0.5 * (r[best - 1] - r[best + 1]) / den : 0.0;
    const double lag = double(lo - 1) + double(best) + shift;
    return periods * kRate / lag;
}

double cents(double f, double ref) { return 1200.0 * std::log2(f / ref); }

// Amplitudes (dB) of the harmonics of f0 up to `top` Hz in x[from, from + size), by
// projection under a Hann window; the first entry is the fundamental.
std::vector<double> harmonicLevels(const std::vector<double>& x, std::size_t from, std::size_t size, double f0,
                                   double top) {
    std::vector<double> out;
    for (int k = 1; k * f0 <= top; ++k) {
        cd sum = 0.0;
        const double w = 2 * kPi * k * f0 / kRate;
        for (std::size_t i = 0; i < size; ++i) {
            const double hann = 0.5 - 0.5 * std::cos(2 * kPi * double(i) / double(size));
            sum += x[from + i] * hann * std::polar(1.0, -w * double(i));
        }
        out.push_back(20 * std::log10(std::abs(sum) + 1e-9));
    }
    return out;
}

// The peak frequency of formant i as the levels of the harmonics of f0 show it: the
// resonance (its frequency and bandwidth free, the other formants as made) that fits best
// (least squares in dB, any offset) the harmonics within 35% of it, or 2.5 harmonics.
double formantPeak(const std::vector<double>& levels, double f0, std::size_t i) {
    const Formant made = kVowelA[i];
    double best = 0, bestErr = 1e300;
    for (double F = made.frequency * 0.8; F <= made.frequency * 1.2; F += 0.25) {
        for (double B = made.bandwidth; B <= made.bandwidth * 4; B *= 1.1) {
            std::vector<Formant> model = kVowelA;
            model[i] = {F, B};
            std::vector<double> diff;
            for (std::size_t k = 0; k < levels.size(); ++k) {
                const double f = double(k + 1) * f0;
                if (std::abs(f - made.frequency) > std::max(0.35 * made.frequency, 2.5 * f0)) continue;
                diff.push_back(levels[k] - 20 * std::log10(std::abs(response(model, f))));
            }
            if (diff.size() < 3) continue;
            double mean = 0;
            for (double d : diff) mean += d;
            mean /= double(diff.size());
            double err = 0;
            for (double d : diff) err += (d - mean) * (d - mean);
            if (err < bestErr) {
                bestErr = err;
                best = F;
            }
        }
    }
    return best;
}

struct Sung {
    SoundBuffer sample;
    SamplePitchMarks marks;
    SyllableShiftOutput out;
};

// Sings `x` (at f0) at ft with the formants kept: markers B, C, D in samples; N in samples.
Sung sing(const std::vector<float>& x, double f0, uint32_t ft, std::size_t needed, std::size_t b, std::size_t c,
          std::size_t d) {
    Sung s;
    s.sample = toBuffer(x);
    s.marks = findPitchMarks(s.sample, milli(f0));
    SyllableShiftInput in;
    in.sample = &s.sample;
    in.sampleFrequency = milli(f0);
    in.targetFrequency = ft;
    in.neededBytes = static_cast<uint32_t>(2 * needed);
    in.markerB = static_cast<uint32_t>(2 * b);
    in.markerC = static_cast<uint32_t>(2 * c);
    in.markerD = static_cast<uint32_t>(2 * d);
    EXPECT_TRUE(shiftSyllableKeepingFormants(in, s.marks, s.out));
    return s;
}

TEST(PitchMarks, OneMarkPerPeriodOnTheVoicedPartOnly) {
    // 0.1 s of noise (a consonant), then 0.5 s of vowel at 150 Hz, then 0.1 s of silence.
    std::vector<float> x = noise(4410, 2000);
    const std::vector<float> v = vowel(150, 0.5, 8000);
    x.insert(x.end(), v.begin(), v.end());
    x.resize(x.size() + 4410, 0.0f);
    const SamplePitchMarks m = findPitchMarks(toBuffer(x), milli(150));
    ASSERT_GE(m.positions.size(), 70u);
    EXPECT_EQ(m.runStarts, std::vector<uint32_t>{0});
    EXPECT_GE(m.positions.front(), 4410u);
    EXPECT_LT(m.positions.front(), 4410u + 2 * 294u);
    EXPECT_LT(m.positions.back(), 4410u + 22050u);
    EXPECT_GT(m.positions.back(), 4410u + 22050u - 2 * 294u);
    for (std::size_t i = 1; i < m.positions.size(); ++i) {
        const double step = double(m.positions[i]) - double(m.positions[i - 1]);
        EXPECT_NEAR(step, 294.0, 1.0) << i;
    }
    // Each mark sits on its period's strongest peak (this vowel's are negative).
    for (uint32_t p : m.positions) {
        float top = 0;
        for (long k = long(p) - 147; k < long(p) + 147; ++k) top = std::max(top, std::abs(x[std::size_t(k)]));
        EXPECT_GE(std::abs(x[p]), top - 1.0f);
    }
}

TEST(PitchMarks, FollowVibratoAndFindNothingInNoiseOrSilence) {
    const std::vector<float> v = vowel(200, 0.6, 8000, kVowelA, 60.0);
    const SamplePitchMarks m = findPitchMarks(toBuffer(v), milli(200));
    ASSERT_GE(m.positions.size(), 100u);
    EXPECT_EQ(m.runStarts.size(), 1u);
    for (std::size_t i = 1; i < m.positions.size(); ++i) {
        const double step = double(m.positions[i]) - double(m.positions[i - 1]);
        EXPECT_GT(step, 220.5 * 0.95);
        EXPECT_LT(step, 220.5 * 1.05);
    }
    EXPECT_TRUE(findPitchMarks(toBuffer(noise(22050, 3000)), milli(150)).positions.empty());
    EXPECT_TRUE(findPitchMarks(toBuffer(std::vector<float>(22050, 0.0f)), milli(150)).positions.empty());
    EXPECT_TRUE(findPitchMarks(toBuffer(std::vector<float>(10, 100.0f)), milli(150)).positions.empty());
    EXPECT_TRUE(findPitchMarks(toBuffer(v), 0).positions.empty());
    // Sung a semitone off its nominal pitch: the marks follow what was sung.
    const SamplePitchMarks off = findPitchMarks(toBuffer(vowel(150, 0.5, 8000)), milli(150, 1));
    ASSERT_GE(off.positions.size(), 70u);
    for (std::size_t i = 1; i < off.positions.size(); ++i)
        EXPECT_NEAR(double(off.positions[i]) - double(off.positions[i - 1]), 294.0, 1.0);
}

TEST(PitchMarks, AreFoundOnceAndKeptWithTheSample) {
    VoiceSample sample;
    const SoundBuffer x = toBuffer(vowel(150, 0.3, 8000));
    EXPECT_EQ(sample.pitchMarks, nullptr);
    const SamplePitchMarks& a = samplePitchMarks(sample, x, milli(150));
    ASSERT_NE(sample.pitchMarks, nullptr);
    EXPECT_FALSE(a.positions.empty());
    const SamplePitchMarks& b = samplePitchMarks(sample, x, milli(150));
    EXPECT_EQ(&a, &b);
    // Asked for another pitch (another tuning), they are found anew.
    const SamplePitchMarks& c = samplePitchMarks(sample, x, milli(151));
    EXPECT_EQ(c.nominalFrequency, milli(151));
}

TEST(FormantShifter, KeepsTheFormantsWhereResamplingMovesThem) {
    // The formant peaks are read off the levels of the harmonics of the sung note (an LPC
    // envelope would not do: at 212 Hz its first peak lies 7% off even for a vowel made
    // there). Sung at its own pitch the measure finds the formants as made.
    const std::vector<float> x = vowel(150, 1.0, 8000);
    const std::vector<double> source(x.begin(), x.end());
    const std::vector<double> own = harmonicLevels(source, 6000, 16384, 150, 4000);
    for (std::size_t i = 0; i < kVowelA.size(); ++i)
        ASSERT_NEAR(formantPeak(own, 150, i), kVowelA[i].frequency, 0.5);
    for (double semitones : {-6.0, -3.0, 3.0, 6.0}) {
        const uint32_t ft = milli(150, semitones);
        const double f0 = ft / 1000.0;
        const Sung s = sing(x, 150, ft, 30000, 0, 20000, 40000);
        const std::vector<double> kept = harmonicLevels(toDoubles(s.out.sound), 6000, 16384, f0, 4000);
        // The designed synthesis, for comparison, moves them with the pitch.
        SyllableShiftInput in;
        in.sample = &s.sample;
        in.sampleFrequency = milli(150);
        in.targetFrequency = ft;
        in.neededBytes = 60000;
        in.markerC = 40000;
        in.markerD = 80000;
        SyllableShiftOutput resampled;
        ASSERT_TRUE(shiftSyllable(in, resampled));
        const std::vector<double> moved = harmonicLevels(toDoubles(resampled.sound), 6000, 16384, f0, 4000);
        for (std::size_t i = 0; i < kVowelA.size(); ++i) {
            const double F = kVowelA[i].frequency;
            EXPECT_NEAR(formantPeak(kept, f0, i) / F, 1.0, 0.03) << semitones << " semitones, formant " << F;
            EXPECT_GT(std::abs(formantPeak(moved, f0, i) / F - 1.0), 0.1) << semitones << " semitones, formant " << F;
        }
    }
}

TEST(FormantShifter, SingsAtTheNoteFrequency) {
    const std::vector<float> x = vowel(150, 1.0, 8000);
    for (double semitones : {-12.0, -6.0, -1.0, 0.0, 2.0, 6.0, 12.0}) {
        const uint32_t ft = milli(150, semitones);
        const Sung s = sing(x, 150, ft, 40000, 0, 10000, 30000);
        const std::vector<double> y = toDoubles(s.out.sound);
        const double f = measurePitch(y, 4000, 8192, ft / 1000.0);
        EXPECT_NEAR(cents(f, ft / 1000.0), 0.0, 3.0) << semitones << " semitones";
        // As loud as the sample, within 1.5 dB.
        double e0 = 0, e1 = 0;
        for (std::size_t i = 4000; i < 36000; ++i) {
            e0 += double(x[i]) * x[i];
            e1 += y[i] * y[i];
        }
        EXPECT_NEAR(10 * std::log10(e1 / e0), 0.0, 1.5) << semitones << " semitones";
    }
}

TEST(FormantShifter, PutsNothingAboveTheSourceBand) {
    const std::vector<float> x = vowel(150, 1.0, 8000);
    const std::vector<double> source(x.begin(), x.end());
    EXPECT_LT(energyAboveDb(source, 4096, 32768, 9000), -90.0);
    for (double semitones : {-6.0, -2.0, 4.0, 6.0}) {
        // Long enough to loop: the seams are measured too.
        const Sung s = sing(x, 150, milli(150, semitones), 88200, 0, 15000, 35000);
        const std::vector<double> y = toDoubles(s.out.sound);
        for (std::size_t from : {2048u, 30000u, 50000u}) {
            EXPECT_LT(energyAboveDb(y, from, 32768, 9000), -60.0) << semitones << " semitones from " << from;
        }
    }
}

TEST(FormantShifter, SustainsWithoutClicksOrJumps) {
    // A vowel with vibrato and a loop that ends mid-period: the seams must not show.
    const std::vector<float> x = vowel(180, 0.8, 8000, kVowelA, 30.0);
    const double ft = 180 * std::pow(2.0, -4.0 / 12);
    const Sung s = sing(x, 180, milli(ft / 1.0), 3 * 44100, 2000, 12345, 27777);
    const std::vector<double> y = toDoubles(s.out.sound);
    ASSERT_EQ(y.size(), std::size_t(2000 + 3 * 44100));
    // Level period by period (of the output): no jumps.
    const std::size_t p = static_cast<std::size_t>(kRate / ft);
    std::vector<double> rms;
    for (std::size_t i = 4000; i + 2 * p < y.size(); i += p) {
        double e = 0;
        for (std::size_t k = i; k < i + 2 * p; ++k) e += y[k] * y[k];
        rms.push_back(std::sqrt(e / double(2 * p)));
    }
    for (std::size_t i = 1; i < rms.size(); ++i) EXPECT_NEAR(rms[i] / rms[i - 1], 1.0, 0.08) << i;
    // Broadband energy from a click would show above the band.
    for (std::size_t from = 2048; from + 16384 < y.size(); from += 8192)
        EXPECT_LT(energyAboveDb(y, from, 16384, 9000), -60.0) << from;
}

TEST(FormantShifter, CopiesTheUnvoicedLeadInAsItIs) {
    std::vector<float> x = noise(6000, 1500);
    const std::vector<float> v = vowel(150, 0.6, 8000);
    x.insert(x.end(), v.begin(), v.end());
    for (double semitones : {-5.0, 5.0}) {
        const Sung s = sing(x, 150, milli(150, semitones), 20000, 6000, 12000, 24000);
        EXPECT_EQ(s.out.leadInBytes, 12000u);
        ASSERT_EQ(s.out.sound.byteLength(), 12000u + 40000u);
        // The consonant, a hop short of where the vowel starts, is the sample itself.
        for (std::size_t i = 0; i < 5700; ++i) ASSERT_EQ(s.out.sound.sample(i), s.sample.sample(i)) << i;
        const std::vector<double> y = toDoubles(s.out.sound);
        EXPECT_NEAR(cents(measurePitch(y, 9000, 8192, 150 * std::pow(2.0, semitones / 12)),
                          150 * std::pow(2.0, semitones / 12)),
                    0.0, 3.0);
    }
}

TEST(FormantShifter, UnvoicedSamplesAreResampledAsDesigned) {
    const SoundBuffer x = toBuffer(noise(20000, 3000));
    const SamplePitchMarks marks = findPitchMarks(x, milli(150));
    ASSERT_TRUE(marks.positions.empty());
    SyllableShiftInput in;
    in.sample = &x;
    in.sampleFrequency = milli(150);
    in.targetFrequency = milli(150, 3);
    in.neededBytes = 50000;
    in.markerB = 1000;
    in.markerC = 10000;
    in.markerD = 30000;
    SyllableShiftOutput a, b;
    ASSERT_TRUE(shiftSyllableKeepingFormants(in, marks, a));
    ASSERT_TRUE(shiftSyllable(in, b));
    EXPECT_EQ(a.leadInBytes, b.leadInBytes);
    EXPECT_EQ(a.sound.samples(), b.sound.samples());
}

TEST(FormantShifter, OddSamplesAndNotesDoNotFail) {
    const std::vector<float> v = vowel(150, 0.3, 8000);
    const SoundBuffer full = toBuffer(v);
    const SamplePitchMarks marks = findPitchMarks(full, milli(150));
    ASSERT_FALSE(marks.positions.empty());
    struct Case {
        uint32_t b, c, d, needed, ft;
    };
    const uint32_t L = static_cast<uint32_t>(full.byteLength());
    const std::vector<Case> cases = {
        {0, 0, 0, 100000, milli(150)},              // every marker at 0
        {L + 10, L + 20, L + 30, 100000, milli(150)},  // past the end
        {2000, 9000, 9000, 100000, milli(200)},     // C == D
        {2000, 9001, 9003, 100000, milli(120)},     // a loop shorter than a period, odd bytes
        {2000, 20000, 9000, 100000, milli(120)},    // C after D
        {0, 1000, 20000, 0, milli(150)},            // nothing needed
        {0, 1000, 20000, 100001, milli(150)},       // an odd length
        {0, 1000, 20000, 100000, 1},                // far too low
        {0, 1000, 20000, 100000, 5000},             // very low
        {0, 1000, 20000, 100000, 20000000},         // very high
        {0, 1000, 20000, 100000, 0xFFFFFFFFu},      // far too high
    };
    for (const Case& k : cases) {
        SyllableShiftInput in;
        in.sample = &full;
        in.sampleFrequency = milli(150);
        in.targetFrequency = k.ft;
        in.neededBytes = k.needed;
        in.markerB = k.b;
        in.markerC = k.c;
        in.markerD = k.d;
        SyllableShiftOutput out;
        ASSERT_TRUE(shiftSyllableKeepingFormants(in, marks, out)) << k.c << " " << k.ft;
        EXPECT_EQ(out.sound.byteLength(), std::min(k.b, L) / 2 * 2 + k.needed);
    }
    // Marks that do not fit the sound (another sample's) are read safely.
    const SoundBuffer tiny = toBuffer(std::vector<float>(7, 1000.0f));
    SyllableShiftInput in;
    in.sample = &tiny;
    in.sampleFrequency = milli(150);
    in.targetFrequency = milli(170);
    in.neededBytes = 5000;
    in.markerD = 14;
    SyllableShiftOutput out;
    ASSERT_TRUE(shiftSyllableKeepingFormants(in, marks, out));
    EXPECT_EQ(out.sound.byteLength(), 5000u);
    in.targetFrequency = 0;
    EXPECT_FALSE(shiftSyllableKeepingFormants(in, marks, out));
}

// The built-in voices, where the build made them: every sample's vowel gets marks a
// period apart, and sung six semitones away from its pitch it sounds at the note.
// Skipped when the voices are not there.
TEST(FormantShifter, BuiltInVoicesAreMarkedAndSungAtTheNote) {
    const std::string folder = test::builtinVoiceFolder();
    if (folder.empty() || !std::filesystem::exists(folder + "/MaleVox.vxb")) GTEST_SKIP() << "no built-in voices";
    for (const char* name : {"MaleVox", "FemaleVox"}) {
        VoiceFileReader reader;
        const std::unique_ptr<Voice> voice = reader.readFile(folder + "/" + name + ".vxb", name);
        ASSERT_NE(voice, nullptr) << reader.lastError();
        int samples = 0, covered = 0, sung = 0;
        for (std::size_t k = 0; k < voice->samples.size(); ++k) {
            const VoiceSample& sample = *voice->samples[k];
            if (!sample.usable()) continue;
            ++samples;
            SoundBuffer x;
            ASSERT_TRUE(x.assign(sample.sound()));
            const uint32_t fs = noteFrequency(sample.pitch, voice->tuning);
            const SamplePitchMarks& marks = samplePitchMarks(sample, x, fs);
            // The loop C..D is the steady vowel: a mark every period.
            const double period = 44100000.0 / fs;
            const uint32_t c = sample.markerC / 2, d = sample.markerD / 2;
            int inLoop = 0;
            for (std::size_t i = 1; i < marks.positions.size(); ++i) {
                const uint32_t p = marks.positions[i];
                if (p < c || p >= d || marks.positions[i - 1] < c) continue;
                ++inLoop;
                EXPECT_NEAR((double(p) - double(marks.positions[i - 1])) / period, 1.0, 0.1)
                    << name << " " << sample.code << " at " << sample.pitch << ", mark " << p;
            }
            covered += double(inLoop) >= double(d - c) / period - 3;
            if (k % 25 != 0) continue;
            // Sung six semitones down and up, held twice as long as the sample: at the note.
            for (int semitones : {-6, 6}) {
                const uint32_t ft = noteFrequency(sample.pitch + semitones, voice->tuning);
                SyllableShiftInput in;
                in.sample = &x;
                in.sampleFrequency = fs;
                in.targetFrequency = ft;
                in.neededBytes = static_cast<uint32_t>(2 * x.sampleCount()) / 2 * 2;
                in.markerB = sample.markerB;
                in.markerC = sample.markerC;
                in.markerD = sample.markerD;
                SyllableShiftOutput out;
                ASSERT_TRUE(shiftSyllableKeepingFormants(in, marks, out));
                const std::vector<double> y = toDoubles(out.sound);
                const double f = ft / 1000.0;
                const std::size_t from = sample.markerB / 2 + x.sampleCount() / 2;
                EXPECT_NEAR(cents(measurePitch(y, from, 4096, f, 4), f), 0.0, 5.0)
                    << name << " " << sample.code << " at " << sample.pitch << ", " << semitones << " semitones";
                ++sung;
            }
        }
        EXPECT_GT(samples, 100) << name;
        EXPECT_EQ(covered, samples) << name;
        EXPECT_GT(sung, 40) << name;
    }
}

}  // namespace
}  // namespace kantor

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "voicegen/PitchTracker.h"
#include "voicegen/Psola.h"
#include "voicegen/Quality.h"
#include "voicegen/Signal.h"

namespace kantor::voicegen {
namespace {

constexpr double kFs = 44100.0;

// A pulse train through a resonance, with its fundamental gliding with f0(t).
Signal glottalVowel(std::size_t n, const std::function<double(double)>& f0) {
    Signal src(n, 0.0f);
    double phase = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double prev = phase;
        phase += f0(i / kFs) / kFs;
        if (std::floor(phase) != std::floor(prev)) src[i] = 8000.0f;
    }
    // Two resonances (700 Hz and 1200 Hz) give the pulses a vowel colour.
    Signal y(n, 0.0f);
    const double r = 0.97;
    double a1 = 2 * r * std::cos(2 * std::numbers::pi * 700 / kFs), b1 = 2 * r * std::cos(2 * std::numbers::pi * 1200 / kFs);
    double y1 = 0, y2 = 0, z1 = 0, z2 = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double v = src[i] + a1 * y1 - r * r * y2;
        y2 = y1;
        y1 = v;
        const double w = v + b1 * z1 - r * r * z2;
        z2 = z1;
        z1 = w;
        y[i] = static_cast<float>(0.05 * w);
    }
    return y;
}

std::vector<long long> marksOf(const Signal& x, double f0) {
    const double p = kFs / f0;
    return placePitchMarks(x, trackPitch(x, 220, p / 1.35, p * 1.35, 0.7, 50.0), 10);
}

TEST(VoicegenPsola, HoldsAnExactPitchWhatTheInputDoes) {
    // The input wobbles by half a semitone; the output must not.
    const Signal x = glottalVowel(44100, [](double t) { return 200.0 * std::pow(2.0, 0.5 / 12 * std::sin(2 * std::numbers::pi * 5 * t)); });
    const std::vector<long long> marks = marksOf(x, 200.0);
    ASSERT_GT(marks.size(), 150u);
    const double target = 207.3;
    const Signal y = psolaConstantPitch(x, marks, kFs / target, x.size(), [](double t) { return GrainSource{t, t, 0.0}; });
    ASSERT_EQ(y.size(), x.size());
    const StretchQuality q = measureStretch(y, kFs, 4410, 39690, target);
    EXPECT_LT(q.worstCents, 1.5);
    EXPECT_GT(q.minClarity, 0.95);
    // Without the overlap-add the input itself strays well beyond that.
    EXPECT_GT(measureStretch(x, kFs, 4410, 39690, 200.0).worstCents, 20.0);
}

TEST(VoicegenPsola, ReproducesUnvoicedSoundUnchanged) {
    // Without pitch marks every grain is cut where it is put back: the raised-cosine
    // windows add up to one, so the noise comes out as it went in.
    Noise noise(11);
    Signal x(8000);
    for (float& v : x) v = 4000.0f * noise.next();
    const Signal y = psolaConstantPitch(x, {}, 123.4, x.size(), [](double t) { return GrainSource{t, t, 0.0}; });
    double worst = 0.0;
    for (std::size_t i = 200; i < 7800; ++i) worst = std::max(worst, double(std::abs(y[i] - x[i])));
    EXPECT_LT(worst, 0.05);
}

TEST(VoicegenPsola, HoldsAVowelLongerThanItWasSpoken) {
    const Signal x = glottalVowel(13230, [](double) { return 180.0; });  // 0.3 s
    const std::vector<long long> marks = marksOf(x, 180.0);
    const double target = 180.0;
    const TimeMap map = holdVowelMap(2205, 441, 4410, 8820, 0.2);
    const Signal y = psolaConstantPitch(x, marks, kFs / target, 66150, map);  // 1.5 s
    const StretchQuality q = measureStretch(y, kFs, 6000, 64000, target);
    EXPECT_LT(q.worstCents, 1.0);
    EXPECT_LT(q.levelSpreadDb, 1.0);
}

TEST(VoicegenPsola, GrainsLandOnTheExactFractionalPeriod) {
    // Every period of the held vowel matches the one a (fractional) period later: grains
    // are placed between samples, not rounded to them (which would roughen the voice).
    const Signal x = glottalVowel(13230, [](double) { return 180.0; });
    const std::vector<long long> marks = marksOf(x, 180.0);
    const double period = kFs / 191.7;
    const Signal y = psolaConstantPitch(x, marks, period, 44100, holdVowelMap(0, 0, 6615, 6620, 0.0));
    double err = 0.0, sum = 0.0;
    for (std::size_t n = 10000; n < 40000; ++n) {
        const double d = y[n] - readAt(y, static_cast<double>(n) + period);
        err += d * d;
        sum += static_cast<double>(y[n]) * y[n];
    }
    ASSERT_GT(sum, 0.0);
    EXPECT_LT(std::sqrt(err / sum), 0.01);
}

TEST(VoicegenPsola, HoldMapFollowsThenWalksToAndFro) {
    const TimeMap map = holdVowelMap(100.0, 50.0, 1000.0, 1100.0, 0.5);
    EXPECT_DOUBLE_EQ(map(40.0).from, 40.0);
    EXPECT_DOUBLE_EQ(map(40.0).mix, 0.0);
    const GrainSource mid = map(125.0);  // half way through the blend
    EXPECT_NEAR(mid.mix, 0.5, 1e-9);
    EXPECT_DOUBLE_EQ(mid.from, 125.0);
    EXPECT_DOUBLE_EQ(mid.to, 1012.5);
    EXPECT_DOUBLE_EQ(map(300.0).mix, 1.0);
    EXPECT_DOUBLE_EQ(map(300.0).to, 1100.0);  // reached the end of the stretch
    EXPECT_DOUBLE_EQ(map(340.0).to, 1080.0);  // and turned back
    EXPECT_DOUBLE_EQ(map(500.0).to, 1000.0);
    for (double t = 150.0; t < 5000.0; t += 7.0) {
        EXPECT_GE(map(t).to, 1000.0);
        EXPECT_LE(map(t).to, 1100.0);
    }
}

}  // namespace
}  // namespace kantor::voicegen

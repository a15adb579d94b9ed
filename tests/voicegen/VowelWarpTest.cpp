#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "voicegen/SampleMaker.h"
#include "voicegen/Signal.h"
#include "voicegen/VowelWarp.h"

namespace kantor::voicegen {
namespace {

// A pulse train at f0 through two resonances (a vowel's first two formants), 16 kHz.
Signal vowel(double f0, double f1, double f2, double seconds, double fs = 16000.0) {
    Signal x(static_cast<std::size_t>(seconds * fs), 0.0f);
    const double period = fs / f0;
    for (double t = 0.0; t < static_cast<double>(x.size()); t += period) x[static_cast<std::size_t>(t)] = 20000.0f;
    for (double f : {f1, f2}) {
        const double r = std::exp(-std::numbers::pi * 150.0 / fs), w = 2.0 * std::numbers::pi * f / fs;
        const double a1 = -2.0 * r * std::cos(w), a2 = r * r;
        double y1 = 0.0, y2 = 0.0;
        for (float& v : x) {
            const double y = v - a1 * y1 - a2 * y2;
            y2 = y1;
            y1 = y;
            v = static_cast<float>(y * (1.0 - r));
        }
    }
    return x;
}

TEST(VoicegenVowelWarp, MovesTheFormantsAndOnlyAfterTheRamp) {
    Signal x = vowel(120.0, 300.0, 700.0, 1.0);
    const FormantPair spoken = measureFormants(x, 4000, 12000, 16000.0);
    ASSERT_TRUE(spoken.valid());
    EXPECT_NEAR(spoken.f1, 300.0, 90.0);  // a harmonic pulls it a little
    EXPECT_NEAR(spoken.f2, 700.0, 60.0);
    const Signal before = x;
    const FormantPair target{340.0, 1300.0};
    warpVowel(x, 16000.0, 120.0, spoken, target, 6000, 7000);
    const FormantPair moved = measureFormants(x, 8000, 15000, 16000.0);
    // The second formant moves most of the way up (the gain is limited, so a sharp peak
    // leaves some of itself behind), the first stays below it.
    EXPECT_GT(moved.f2, 850.0);
    EXPECT_LT(moved.f1, 600.0);
    // Well before the ramp the sound is as it was (the short-time transform puts it back).
    for (std::size_t i = 1000; i < 5000; ++i) ASSERT_NEAR(x[i], before[i], 2.0f) << i;
    // The Japanese targets: u unrounded, e and o opened, a and i left.
    EXPECT_GT(japaneseTarget('U', {300.0, 700.0}, false).f2, 1100.0);
    EXPECT_GT(japaneseTarget('O', {390.0, 735.0}, false).f1, 450.0);
    EXPECT_GT(japaneseTarget('E', {380.0, 2030.0}, true).f1, 500.0);
    EXPECT_EQ(japaneseTarget('A', {790.0, 1255.0}, false).f2, 1255.0);
}

TEST(VoicegenVowelWarp, HighPassRemovesOffsetAndKeepsTheVoice) {
    Signal x(32000);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(-500.0 + 3000.0 * std::sin(2.0 * std::numbers::pi * 200.0 * static_cast<double>(i) / 16000.0));
    highPassZeroPhase(x, 16000.0, 60.0);
    double mean = 0.0;
    for (std::size_t i = 4000; i < 28000; ++i) mean += x[i];
    EXPECT_NEAR(mean / 24000.0, 0.0, 5.0);
    EXPECT_NEAR(rms(x, 4000, 28000), 3000.0 / std::sqrt(2.0), 60.0);
}

}  // namespace
}  // namespace kantor::voicegen

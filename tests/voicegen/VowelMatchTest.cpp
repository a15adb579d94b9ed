#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "voicegen/Signal.h"
#include "voicegen/VowelMatch.h"

namespace kantor::voicegen {
namespace {

constexpr double kFs = 44100.0;

// Whole periods of f0 (a whole number of samples for `periods` periods) with the given
// harmonic levels in dB, from sample `from` on; silence before.
Signal harmonics(int periods, long length, const std::vector<double>& db, std::size_t from = 0) {
    Signal x(from + 3 * static_cast<std::size_t>(length), 0.0f);
    const double f0 = kFs * periods / static_cast<double>(length);
    for (std::size_t n = from; n < x.size(); ++n) {
        double v = 0.0;
        for (std::size_t k = 0; k < db.size(); ++k)
            v += std::pow(10.0, db[k] / 20.0) * std::sin(2.0 * std::numbers::pi * f0 * static_cast<double>(k + 1) *
                                                         static_cast<double>(n - from) / kFs + 0.3 * static_cast<double>(k));
        x[n] = static_cast<float>(v);
    }
    return x;
}

TEST(VoicegenVowelMatch, ReadsTheHarmonicsOfAWholeLoopExactly) {
    // 59 periods in 13,230 samples: about 196.7 Hz, not a whole number of samples a period.
    const std::vector<double> db = {70.0, 64.0, 52.0, 61.0, 40.0};
    const Signal x = harmonics(59, 13230, db);
    const HarmonicEnvelope env = loopEnvelope(x, 13230, 2 * 13230, 59, kFs, 1000.0);
    ASSERT_EQ(env.db.size(), 5u);
    EXPECT_NEAR(env.f0, 44100.0 * 59 / 13230, 1e-9);
    for (std::size_t k = 0; k < db.size(); ++k) EXPECT_NEAR(env.db[k], db[k], 0.01) << k;
    // Between harmonics the level is read linearly, and held beyond the ends.
    EXPECT_NEAR(env.at(env.f0 * 1.5), 67.0, 0.01);
    EXPECT_NEAR(env.at(10.0), 70.0, 0.01);
    EXPECT_NEAR(env.at(20000.0), 40.0, 0.01);
}

TEST(VoicegenVowelMatch, FilteringPutsTheLoopOnTheTargetShapeAndKeepsItsPower) {
    const long length = 13230;
    const std::vector<double> own = {70.0, 60.0, 55.0, 50.0, 45.0, 45.0};
    HarmonicEnvelope target;
    target.f0 = 150.0;  // another pitch: read between its harmonics
    for (int k = 1; k <= 40; ++k) {
        const double hz = 150.0 * k;
        target.db.push_back(20.0 - 0.01 * hz + 15.0 * std::exp(-0.5 * std::pow((hz - 700.0) / 150.0, 2)));
    }
    const std::size_t start = 4000;
    Signal x = harmonics(59, length, own, start);
    const HarmonicEnvelope before = loopEnvelope(x, start + length, start + 2 * length, 59, kFs);
    const std::vector<double> gains = matchingGainsDb(before, target);
    ASSERT_EQ(gains.size(), before.db.size());
    applyHarmonicGains(x, kFs, before.f0, gains, start, start + 1000);
    const HarmonicEnvelope after = loopEnvelope(x, start + length, start + 2 * length, 59, kFs);
    double powerBefore = 0.0, powerAfter = 0.0;
    for (std::size_t k = 0; k < own.size(); ++k) {
        const double hz = after.f0 * static_cast<double>(k + 1);
        // The shape, relative to the first harmonic.
        EXPECT_NEAR(after.db[k] - after.db[0], target.at(hz) - target.at(after.f0), 0.05) << k;
        powerBefore += std::pow(10.0, before.db[k] / 10.0);
        powerAfter += std::pow(10.0, after.db[k] / 10.0);
    }
    EXPECT_NEAR(10.0 * std::log10(powerAfter / powerBefore), 0.0, 0.05);
    // Nothing changes before the ramp; the silence stays silent.
    for (std::size_t n = 0; n < start; ++n) ASSERT_EQ(x[n], 0.0f) << n;
}

TEST(VoicegenVowelMatch, GainsAreBoundedAndNothingBelowTheVoiceIsLifted) {
    HarmonicEnvelope own{200.0, {60.0, 0.0, 60.0}};
    HarmonicEnvelope target{200.0, {60.0, 60.0, 60.0}};
    const std::vector<double> gains = matchingGainsDb(own, target, 12.0);
    ASSERT_EQ(gains.size(), 3u);
    EXPECT_NEAR(gains[1] - gains[0], 12.0, 1e-3);  // 60 dB asked for
    // A rumble at 40 Hz under a voice at 200 Hz whose first harmonic is lifted stays as it was.
    Signal x(44100);
    for (std::size_t n = 0; n < x.size(); ++n) x[n] = static_cast<float>(1000.0 * std::sin(2.0 * std::numbers::pi * 40.0 * n / kFs));
    const Signal original = x;
    applyHarmonicGains(x, kFs, 200.0, {12.0, 12.0}, 0, 0);
    double diff = 0.0, ref = 0.0;
    for (std::size_t n = 4410; n + 4410 < x.size(); ++n) diff += std::pow(x[n] - original[n], 2), ref += std::pow(original[n], 2);
    EXPECT_LT(diff / ref, 1e-3);
}

TEST(VoicegenVowelMatch, TheMostTypicalEnvelopeComesFromTheLowPitchesAndAFormantIsAddedOnlyWhereMissing) {
    auto slope = [](double f0, double extra) {
        HarmonicEnvelope e{f0, {}};
        for (int k = 1; f0 * k <= 5000.0; ++k) e.db.push_back(60.0 - 0.01 * f0 * k + extra * (k == 3));
        return e;
    };
    const std::vector<HarmonicEnvelope> all = {slope(100.0, 8.0), slope(110.0, 0.0), slope(120.0, 0.5), slope(400.0, 0.0)};
    const HarmonicEnvelope* typical = typicalEnvelope(all, 150.0);
    ASSERT_NE(typical, nullptr);
    EXPECT_NE(typical->f0, 400.0);
    EXPECT_NE(typical->f0, 100.0);  // the odd one out
    EXPECT_EQ(typicalEnvelope(all, 50.0), nullptr);

    HarmonicEnvelope plain = slope(100.0, 0.0);
    ensureFormant(plain, 1400.0);
    EXPECT_GT(plain.at(1400.0) - plain.at(1100.0), 5.0);  // a peak was added
    HarmonicEnvelope peaked = plain;
    ensureFormant(peaked, 1450.0);  // within 15% of the one there: nothing changes
    EXPECT_EQ(peaked.db, plain.db);
}

}  // namespace
}  // namespace kantor::voicegen

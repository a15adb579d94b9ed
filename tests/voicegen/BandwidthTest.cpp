#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "voicegen/Bandwidth.h"
#include "voicegen/Signal.h"

namespace kantor::voicegen {
namespace {

constexpr double kFs = 44100.0;

Signal sine(double f, std::size_t n, double amp = 10000.0) {
    Signal x(n);
    for (std::size_t i = 0; i < n; ++i) x[i] = static_cast<float>(amp * std::sin(2 * std::numbers::pi * f * i / kFs));
    return x;
}

double gainAt(const std::vector<double>& h, double f) {
    const Signal x = sine(f, 8000);
    const Signal y = filterRange(x, 0, x.size(), h);
    return rms(y, 1000, 7000) / rms(x, 1000, 7000);
}

TEST(VoicegenBandwidth, BandPassKeepsItsBandOnly) {
    const std::vector<double> h = bandPassTaps(5000.0, 7800.0, kFs, 101);
    EXPECT_EQ(h.size(), 101u);
    EXPECT_NEAR(gainAt(h, 6400.0), 1.0, 0.02);
    EXPECT_LT(gainAt(h, 1000.0), 0.01);
    EXPECT_LT(gainAt(h, 11000.0), 0.01);
    EXPECT_EQ(bandPassTaps(100, 200, kFs, 4).size(), 5u);  // always odd
}

TEST(VoicegenBandwidth, FilterAddsNoDelay) {
    const Signal x = sine(6400.0, 4000);
    const Signal y = filterRange(x, 0, x.size(), bandPassTaps(5000.0, 7800.0, kFs, 101));
    double err = 0.0;
    for (std::size_t i = 500; i < 3500; ++i) err = std::max(err, double(std::abs(y[i] - x[i])));
    EXPECT_LT(err, 250.0);
    EXPECT_TRUE(filterRange(x, 10, 10, {1.0}).empty());
}

TEST(VoicegenBandwidth, HissFollowsTheTopOfTheSpokenBand) {
    // A hiss band-limited like the voices (up to 7.8 kHz) from 0.05 to 0.1 s, then a low
    // vowel-like tone.
    Noise noise(2);
    Signal white(8820);
    for (float& v : white) v = 8000.0f * noise.next();
    const Signal s = filterRange(white, 0, white.size(), bandPassTaps(3000.0, 7800.0, kFs, 101));
    Signal x(13230, 0.0f);
    for (std::size_t i = 2205; i < 4410; ++i) x[i] = s[i];
    const Signal tone = sine(200.0, 13230, 6000.0);
    for (std::size_t i = 4410; i < x.size(); ++i) x[i] = tone[i];
    Signal y = x;
    extendNoiseBand(y, x, 0, 8820, kFs, 5);
    const std::vector<double> high = bandPassTaps(8500.0, 11500.0, kFs, 101);
    const Signal before = filterRange(x, 0, x.size(), high);
    const Signal after = filterRange(y, 0, y.size(), high);
    // Above 8.5 kHz the hiss is several times louder than the spoken band's edge was.
    EXPECT_GT(rms(after, 2600, 4000), 3.0 * rms(before, 2600, 4000));
    EXPECT_GT(rms(after, 2600, 4000), 0.1 * rms(x, 2600, 4000));
    EXPECT_LT(rms(after, 5000, 8000), 20.0);                          // none on the low tone
    for (std::size_t i = 0; i < 1500; ++i) ASSERT_EQ(y[i], x[i]);    // silence stays silent
    for (std::size_t i = 8820; i < y.size(); ++i) ASSERT_EQ(y[i], x[i]);  // outside the range
}

}  // namespace
}  // namespace kantor::voicegen

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "voicegen/Lpc.h"
#include "voicegen/Signal.h"

namespace kantor::voicegen {
namespace {

Signal sine(double f, double fs, std::size_t n, double amp = 10000.0, double phase = 0.0) {
    Signal x(n);
    for (std::size_t i = 0; i < n; ++i) x[i] = static_cast<float>(amp * std::sin(2 * std::numbers::pi * f * i / fs + phase));
    return x;
}

TEST(VoicegenSignal, ResampleKeepsFrequencyAndLevel) {
    const Signal x = sine(1000.0, 16000.0, 16000);
    const Signal y = resample(x, 16000.0, 44100.0);
    ASSERT_EQ(y.size(), 44100u);
    // Away from the ends the result is the same sine sampled at 44.1 kHz.
    double worst = 0.0;
    for (std::size_t i = 2000; i < 42000; ++i) {
        const double want = 10000.0 * std::sin(2 * std::numbers::pi * 1000.0 * i / 44100.0);
        worst = std::max(worst, std::abs(y[i] - want));
    }
    EXPECT_LT(worst, 30.0);
}

TEST(VoicegenSignal, DownsamplingRemovesWhatCannotBeKept) {
    // 10 kHz cannot exist at 16 kHz: it must not fold back as 6 kHz.
    const Signal x = sine(10000.0, 44100.0, 44100);
    const Signal y = resample(x, 44100.0, 16000.0);
    EXPECT_LT(rms(y, 1000, y.size() - 1000), 100.0);
}

TEST(VoicegenSignal, ReadAtInterpolatesBetweenSamples) {
    const Signal x = sine(440.0, 44100.0, 4000);
    for (double pos : {100.25, 1234.5, 2999.875}) {
        const double want = 10000.0 * std::sin(2 * std::numbers::pi * 440.0 * pos / 44100.0);
        EXPECT_NEAR(readAt(x, pos), want, 5.0) << pos;
    }
    EXPECT_FLOAT_EQ(readAt(x, 17.0), x[17]);
    EXPECT_FLOAT_EQ(readAt(x, -3.0), 0.0f);
    EXPECT_FLOAT_EQ(readAt(x, 5000.0), 0.0f);
}

TEST(VoicegenSignal, Pcm16RoundsAndSaturates) {
    const Signal x = {0.4f, 0.6f, -0.6f, 40000.0f, -40000.0f, 32767.4f};
    const std::vector<int16_t> p = toPcm16(x);
    EXPECT_EQ(p, (std::vector<int16_t>{0, 1, -1, 32767, -32768, 32767}));
}

TEST(VoicegenSignal, NoiseIsDeterministicAndBounded) {
    Noise a(7), b(7), c(8);
    bool differs = false;
    for (int i = 0; i < 1000; ++i) {
        const float va = a.next();
        EXPECT_EQ(va, b.next());
        EXPECT_GE(va, -1.0f);
        EXPECT_LT(va, 1.0f);
        differs = differs || va != c.next();
    }
    EXPECT_TRUE(differs);
}

TEST(VoicegenSignal, WavRoundTrip) {
    const std::string path = ::testing::TempDir() + "voicegen_roundtrip.wav";
    const std::vector<int16_t> pcm = {0, 1, -1, 32767, -32768, 1234};
    std::string error;
    ASSERT_TRUE(writeWavMono16(path, pcm, 22050, error)) << error;
    Signal x;
    uint32_t rate = 0;
    ASSERT_TRUE(readWavMono16(path, x, rate, error)) << error;
    EXPECT_EQ(rate, 22050u);
    EXPECT_EQ(toPcm16(x), pcm);
    EXPECT_FALSE(readWavMono16(path + ".missing", x, rate, error));
}

TEST(VoicegenLpc, FindsTheCoefficientsOfAResonance) {
    // A two-pole resonance excited by noise: the predictor comes out close to its poles.
    const double r = 0.95, theta = 2 * std::numbers::pi * 700.0 / 16000.0;
    const std::vector<double> truth = {1.0, -2 * r * std::cos(theta), r * r};
    Noise noise(3);
    Signal e(16000);
    for (float& v : e) v = 1000.0f * noise.next();
    const Signal x = allPole(e, truth);
    const std::vector<double> a = lpcAnalyze(x, 4000, 4000, 2);
    ASSERT_EQ(a.size(), 3u);
    EXPECT_NEAR(a[1], truth[1], 0.03);
    EXPECT_NEAR(a[2], truth[2], 0.03);
    EXPECT_TRUE(lpcAnalyze(Signal(1000, 0.0f), 0, 500, 10).empty());  // silence
    EXPECT_TRUE(lpcAnalyze(x, 15000, 4000, 10).empty());             // past the end
}

}  // namespace
}  // namespace kantor::voicegen

namespace kantor::voicegen {
namespace {

TEST(VoicegenSignal, UnwrapsSixteenBitOverflow) {
    // A loud sine that went past full scale and wrapped around, as 16-bit storage does.
    Signal truth(2133), wrapped(2133);  // twenty whole periods
    for (std::size_t i = 0; i < truth.size(); ++i) {
        truth[i] = static_cast<float>(std::round(45000.0 * std::sin(2 * std::numbers::pi * 150.0 * i / 16000.0)));
        const int v = static_cast<int>(truth[i]);
        wrapped[i] = static_cast<float>(static_cast<int16_t>(static_cast<uint16_t>(v & 0xFFFF)));
    }
    Signal x = wrapped;
    EXPECT_GT(unwrapOverflow(x), 100u);
    EXPECT_EQ(x, truth);
    // Sound within range is left alone, and so is a lone big step (no jump back).
    Signal quiet = {0.0f, 30000.0f, 5000.0f, -25000.0f, 1000.0f, 20000.0f, -20000.0f, -19000.0f, -18000.0f};
    Signal copy = quiet;
    EXPECT_EQ(unwrapOverflow(copy), 0u);
    EXPECT_EQ(copy, quiet);
}

}  // namespace
}  // namespace kantor::voicegen

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "voicegen/PitchTracker.h"
#include "voicegen/Quality.h"
#include "voicegen/Signal.h"

namespace kantor::voicegen {
namespace {

// A voice-like tone: harmonics falling off, the second one strong.
Signal tone(double f0, double fs, std::size_t n, double amp = 6000.0) {
    Signal x(n, 0.0f);
    for (std::size_t i = 0; i < n; ++i) {
        double v = 0.0;
        for (int h = 1; h <= 8; ++h) {
            const double g = (h == 2 ? 1.3 : 1.0) / h;
            v += g * std::sin(2 * std::numbers::pi * f0 * h * i / fs + 0.3 * h);
        }
        x[i] = static_cast<float>(amp * v);
    }
    return x;
}

TEST(VoicegenPitch, EstimatesAFractionalPeriodWithinACent) {
    for (double f0 : {110.0, 146.86, 261.67, 392.0, 523.2}) {
        const Signal x = tone(f0, 44100.0, 8000);
        const double p = 44100.0 / f0;
        const PeriodEstimate e = estimatePeriod(x, 1000, 2048, p / 1.3, p * 1.3);
        ASSERT_GT(e.period, 0.0) << f0;
        EXPECT_LT(std::abs(cents(44100.0 / e.period, f0)), 1.0) << f0;
        EXPECT_GT(e.clarity, 0.99);
    }
}

TEST(VoicegenPitch, RefusesWindowsThatDoNotFit) {
    const Signal x = tone(200.0, 44100.0, 1000);
    EXPECT_EQ(estimatePeriod(x, 0, 2048, 150, 300).period, 0.0);
    EXPECT_EQ(estimatePeriod(x, 0, 512, 300, 150).period, 0.0);
}

TEST(VoicegenPitch, TrackSeparatesVoiceFromNoiseAndSilence) {
    const double fs = 44100.0;
    Signal x(3 * 4410, 0.0f);  // 0.1 s silence, 0.1 s tone, 0.1 s noise
    const Signal t = tone(200.0, fs, 4410);
    Noise noise(1);
    for (std::size_t i = 0; i < 4410; ++i) {
        x[4410 + i] = t[i];
        x[8820 + i] = 5000.0f * noise.next();
    }
    const std::vector<PitchFrame> frames = trackPitch(x, 441, 200.0, 300.0);
    ASSERT_FALSE(frames.empty());
    for (const PitchFrame& f : frames) {
        const double c = f.center / fs;
        if (c < 0.09) {
            EXPECT_EQ(f.period, 0.0) << c;
        } else if (c > 0.11 && c < 0.18) {
            EXPECT_NEAR(f.period, 220.5, 0.2) << c;
        } else if (c > 0.215) {
            EXPECT_EQ(f.period, 0.0) << c;
        }
    }
}

TEST(VoicegenPitch, MarksFollowEveryPeriodAndBridgeShortGaps) {
    const double fs = 44100.0;
    Signal x = tone(180.0, fs, 22050);
    const double p = fs / 180.0;
    std::vector<PitchFrame> frames = trackPitch(x, 220, p / 1.3, p * 1.3);
    // Pretend a few frames in the middle were judged unvoiced.
    for (std::size_t i = 40; i < 44; ++i) frames[i].period = 0.0;
    const std::vector<long long> bridged = placePitchMarks(x, frames, 10);
    ASSERT_GT(bridged.size(), 80u);
    for (std::size_t i = 1; i < bridged.size(); ++i) {
        EXPECT_NEAR(static_cast<double>(bridged[i] - bridged[i - 1]), p, 1.01) << i;
    }
    // Without bridging the gap splits the marks into two runs.
    const std::vector<long long> split = placePitchMarks(x, frames, 0);
    double widest = 0;
    for (std::size_t i = 1; i < split.size(); ++i) widest = std::max(widest, double(split[i] - split[i - 1]));
    EXPECT_GT(widest, 2 * p);
}

TEST(VoicegenPitch, NoMarksInSilence) {
    const Signal x(20000, 0.0f);
    EXPECT_TRUE(placePitchMarks(x, trackPitch(x, 220, 100, 200), 10).empty());
}

TEST(VoicegenQuality, MeasuresDeviationAndLevel) {
    const double fs = 44100.0;
    // Sung 10 cents sharp, with a level step of 2 dB half way.
    const double f = 220.0 * std::pow(2.0, 10.0 / 1200.0);
    Signal x = tone(f, fs, 44100);
    for (std::size_t i = 22050; i < x.size(); ++i) x[i] *= static_cast<float>(std::pow(10.0, 2.0 / 20.0));
    const StretchQuality q = measureStretch(x, fs, 0, x.size(), 220.0);
    EXPECT_NEAR(q.meanCents, 10.0, 0.5);
    EXPECT_NEAR(q.worstCents, 10.0, 0.7);
    EXPECT_NEAR(q.levelSpreadDb, 1.0, 0.2);
    EXPECT_GT(q.frames, 10);
    // A stretch that is not the tone at all counts as far off.
    Noise noise(5);
    Signal n(20000);
    for (float& v : n) v = 3000.0f * noise.next();
    EXPECT_GT(measureStretch(n, fs, 0, n.size(), 220.0).worstCents, 15.0);
}

}  // namespace
}  // namespace kantor::voicegen

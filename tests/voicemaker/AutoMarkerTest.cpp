// Automatic markers on synthetic recordings: where they land, the marker rules, the
// seam rule and a steady level in the loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <vector>

#include "SyntheticVowel.h"
#include "voicemaker/AutoMarker.h"
#include "voicemaker/MarkerRules.h"

namespace kantor {
namespace {

using test::SyntheticVowel;

std::unique_ptr<VoiceItem> itemOf(const std::vector<int16_t>& x, const char* code = "KA", int pitch = 60) {
    auto item = VoiceItem::make(code, "か", pitch);
    EXPECT_TRUE(setItemSound(*item, x));
    return item;
}

double rmsOf(std::span<const int16_t> x, std::size_t from, std::size_t n) {
    double s = 0;
    for (std::size_t i = from; i < from + n; ++i) s += double(x[i]) * x[i];
    return std::sqrt(s / double(n));
}

// Everything a good loop must satisfy, for a tone of period `period` samples.
void expectCleanLoop(const VoiceItem& item, double period) {
    const Markers m = item.markers();
    const std::vector<int16_t> x = item.data.samples();
    EXPECT_TRUE(markersFollowRules(m, item.sampleCount()));
    // Cut at rising zero crossings...
    ASSERT_GT(m.c, 0u);
    EXPECT_LT(x[m.c - 1], 0);
    EXPECT_GE(x[m.c], 0);
    EXPECT_LT(x[m.d - 1], 0);
    EXPECT_GE(x[m.d], 0);
    // ...whole periods apart...
    double periods = double(m.d - m.c) / period;
    EXPECT_NEAR(periods, std::round(periods), 3.0 / period) << "D - C = " << m.d - m.c;
    EXPECT_GE(std::round(periods), 2.0);
    // ...with no click at the seam...
    LoopSeam seam = loopSeam(x, m.c, m.d);
    EXPECT_FALSE(seam.clicks()) << seam.seamJump << " > " << seam.largestInnerJump;
    EXPECT_GT(seam.largestInnerJump, 0);
    // ...and a steady level inside.
    std::vector<double> levels;
    for (std::size_t f = m.c; f + 441 <= m.d; f += 441) levels.push_back(rmsOf(x, f, 441));
    ASSERT_FALSE(levels.empty());
    double mean = 0;
    for (double l : levels) mean += l;
    mean /= double(levels.size());
    for (double l : levels) EXPECT_NEAR(l / mean, 1.0, 0.1);
}

TEST(AutoMarkerTest, ConsonantBurstThenVowel) {
    SyntheticVowel v;  // 150 Hz, 60 ms of noise, 10 ms gap, 0.8 s vowel
    auto item = itemOf(v.render());
    std::string why;
    ASSERT_TRUE(autoMark(*item, &why)) << why;
    const Markers m = item->markers();
    // A just before the burst, B at the start of the vowel (the burst stays between them).
    EXPECT_LE(m.a, v.burstStart());
    EXPECT_GE(int64_t(m.a), int64_t(v.burstStart()) - 441 * 3);
    EXPECT_GE(int64_t(m.b), int64_t(v.vowelStart()) - 441);
    EXPECT_LE(m.b, v.vowelStart() + 441 * 2);
    // The loop lies in the steady part: after the attack, before the release.
    EXPECT_GE(m.c, v.vowelStart() + 882);
    EXPECT_LE(m.d, v.vowelEnd() - 4410);
    EXPECT_GE(m.d - m.c, 4410u) << "a loop of at least 100 ms";
    expectCleanLoop(*item, 44100.0 / 150.0);
    EXPECT_EQ(item->normalize, 1);
    EXPECT_EQ(item->volume, 100);
}

TEST(AutoMarkerTest, PlainVowelsAtSeveralPitches) {
    for (double f0 : {110.0, 150.0, 220.0, 392.0, 660.0}) {
        SCOPED_TRACE(f0);
        SyntheticVowel v;
        v.f0 = f0;
        v.burst = 0;
        v.gap = 0;
        auto item = itemOf(v.render());
        std::string why;
        ASSERT_TRUE(autoMark(*item, &why)) << why;
        EXPECT_LE(item->markerA, v.vowelStart());
        EXPECT_GE(int64_t(item->markerA), int64_t(v.vowelStart()) - 441 * 2);
        EXPECT_NEAR(double(item->markerB), double(v.vowelStart()), 441 * 2);
        expectCleanLoop(*item, 44100.0 / f0);
    }
}

TEST(AutoMarkerTest, LivelyVowelStillLoopsWithoutClick) {
    SyntheticVowel v;
    v.f0 = 196;
    v.vibrato = 0.01;
    v.tremolo = 0.03;
    v.vowel = 1.1;
    auto item = itemOf(v.render(2.0));
    std::string why;
    ASSERT_TRUE(autoMark(*item, &why)) << why;
    const Markers m = item->markers();
    EXPECT_TRUE(markersFollowRules(m, item->sampleCount()));
    EXPECT_FALSE(loopSeam(item->data.samples(), m.c, m.d).clicks());
}

TEST(AutoMarkerTest, RecordingsWithoutAVowelAreLeftAlone) {
    auto silent = itemOf(std::vector<int16_t>(66150, 0));
    auto noise = itemOf(SyntheticVowel{.vowel = 0}.render());
    SyntheticVowel late;
    late.leadSilence = 1.15;  // B could not be within the first second
    late.vowel = 0.3;
    auto lateItem = itemOf(late.render(1.8));
    for (VoiceItem* item : {silent.get(), noise.get(), lateItem.get()}) {
        item->setMarkers({1, 2, 3, 4});
        std::string why;
        EXPECT_FALSE(autoMark(*item, &why));
        EXPECT_FALSE(why.empty());
        EXPECT_EQ(item->markers(), (Markers{1, 2, 3, 4}));
    }
    VoiceItem empty;
    empty.code = "A";
    EXPECT_FALSE(autoMark(empty));
}

TEST(AutoMarkerTest, SeamMeasure) {
    std::vector<int16_t> x = {0, -5, 10, 20, -30, 40, 7};
    LoopSeam s = loopSeam(x, 2, 6);  // seam 40 -> 10, inner jumps 10, 50, 70
    EXPECT_EQ(s.seamJump, 30);
    EXPECT_EQ(s.largestInnerJump, 70);
    EXPECT_FALSE(s.clicks());
    EXPECT_FALSE(loopSeam(x, 3, 5).clicks());  // seam 50, inner 50: equal is no click
    std::vector<int16_t> ramp = {0, 1, 2, 3, 100};
    EXPECT_TRUE(loopSeam(ramp, 1, 4).clicks());  // seam 2 > inner 1
}

TEST(AutoMarkerTest, PeriodByAutocorrelation) {
    SyntheticVowel v;
    v.f0 = 147;
    std::vector<int16_t> x = v.render();
    EXPECT_NEAR(estimatePeriod(x, v.vowelStart() + 20000), 44100.0 / 147, 0.5);
    EXPECT_EQ(estimatePeriod(std::vector<int16_t>(20000, 0), 10000), 0.0);
}

TEST(AutoMarkerTest, MarkAllSkipsBlankAndEmptyItemsAndReportsFailures) {
    VoiceProject p;
    SyntheticVowel v;
    p.items.push_back(itemOf(v.render(), "KA", 60));
    p.items.push_back(VoiceItem::blank());
    p.items.push_back(VoiceItem::make("A", "あ", 62));  // no data
    p.items.push_back(itemOf(std::vector<int16_t>(44100, 0), "I", 60));
    p.items.push_back(nullptr);
    auto marked = itemOf(v.render(), "KI", 60);
    marked->setMarkers({10, 20, 900, 2000});
    p.items.push_back(std::move(marked));

    std::vector<std::string> problems;
    EXPECT_EQ(autoMarkAll(p, false, &problems), 1);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("I    - か"), std::string::npos) << problems[0];
    EXPECT_EQ(p.items[5]->markers(), (Markers{10, 20, 900, 2000}));
    EXPECT_TRUE(p.isChanged());
    EXPECT_EQ(autoMarkAll(p, true), 2);
    EXPECT_NE(p.items[5]->markers(), (Markers{10, 20, 900, 2000}));
}

}  // namespace
}  // namespace kantor

namespace kantor {
namespace {

// The period estimate as first written: a normalised correlation per lag, summed in doubles.
double plainPeriod(std::span<const int16_t> x, std::size_t centre) {
    constexpr std::size_t kMin = 44, kMax = 882;
    std::size_t window = 2048;
    if (x.size() < window + kMax + 1) {
        if (x.size() < 512 + kMax + 1) return 0;
        window = x.size() - kMax - 1;
    }
    std::size_t start = centre > window / 2 ? centre - window / 2 : 0;
    start = std::min(start, x.size() - window - kMax - 1);
    std::vector<double> r(kMax + 2, 0.0);
    double best = 0;
    for (std::size_t lag = kMin - 1; lag <= kMax + 1; ++lag) {
        double xy = 0, xx = 0, yy = 0;
        for (std::size_t i = 0; i < window; ++i) {
            const double a = x[start + i], b = x[start + lag + i];
            xy += a * b;
            xx += a * a;
            yy += b * b;
        }
        r[lag] = xx <= 0 || yy <= 0 ? 0 : xy / std::sqrt(xx * yy);
        if (lag >= kMin && lag <= kMax) best = std::max(best, r[lag]);
    }
    if (best < 0.5) return 0;
    for (std::size_t lag = kMin; lag <= kMax; ++lag) {
        if (r[lag] >= 0.85 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
            const double a = r[lag - 1], b = r[lag], c = r[lag + 1];
            const double denom = a - 2 * b + c;
            const double shift = denom < 0 ? 0.5 * (a - c) / denom : 0.0;
            return double(lag) + std::clamp(shift, -0.5, 0.5);
        }
    }
    return 0;
}

TEST(AutoMarker, TheFastPeriodEstimateIsExactlyThePlainOne) {
    // Sung vowels at several pitches, clipped ones (full-scale -32768 included), noisy ones,
    // and short recordings where the window shrinks.
    uint32_t seed = 99;
    auto noise = [&] {
        seed = seed * 1664525u + 1013904223u;
        return double(int(seed >> 16) - 32768) / 32768.0;
    };
    for (double hz : {82.0, 147.0, 261.6, 440.0, 700.0}) {
        for (double gain : {0.3, 1.0, 3.0}) {
            for (std::size_t n : {std::size_t(1500), std::size_t(2600), std::size_t(20000)}) {
                std::vector<int16_t> x(n);
                for (std::size_t i = 0; i < n; ++i) {
                    const double t = double(i) / 44100;
                    const double v = gain * (0.6 * std::sin(2 * M_PI * hz * t) + 0.3 * std::sin(6 * M_PI * hz * t)) +
                                     0.05 * noise();
                    x[i] = int16_t(std::clamp(std::lround(v * 32768), -32768L, 32767L));
                }
                for (std::size_t centre : {std::size_t(0), n / 3, n - 1}) {
                    const double fast = estimatePeriod(x, centre), plain = plainPeriod(x, centre);
                    EXPECT_EQ(std::memcmp(&fast, &plain, sizeof fast), 0) << hz << " " << gain << " " << n << " " << fast
                                                                          << " " << plain;
                }
            }
        }
    }
}

}  // namespace
}  // namespace kantor

#include <gtest/gtest.h>

#include <cmath>

#include "sound/SoundFormat.h"
#include "synth/VoxMixer.h"

namespace kantor {
namespace {

SoundEntry entry(std::size_t samples, int16_t value, uint32_t start, uint32_t duration) {
    SoundEntry e;
    e.data = SoundBuffer::fromSamples(std::vector<int16_t>(samples, value));
    e.startMs = start;
    e.durationMs = duration;
    e.kind = 0;
    return e;
}

int16_t mixed(long long sum, int n) {
    long double v = std::trunc(sum / std::sqrt(static_cast<long double>(n)));
    return static_cast<int16_t>(std::clamp<long double>(v, -32768, 32767));
}

// The first output sample whose time, rounded to the nearest millisecond, reaches ms:
// o * 1000 / 44100 + 0.5 >= ms.
std::size_t firstSampleAt(uint32_t ms) {
    return static_cast<std::size_t>(std::ceil((ms - 0.5) * 44.1));
}

TEST(VoxMixer, MixesTwoOverlappingEntries) {
    std::vector<SoundEntry> list;
    list.push_back(entry(882, 1000, 100, 20));   // 20 ms
    list.push_back(entry(882, -301, 110, 20));   // overlaps the last 10 ms
    CVoxMixer mixer;
    ASSERT_TRUE(mixer.mix(list, kMono16, 44100)) << mixer.lastError();
    ASSERT_TRUE(list[0].hasData());
    EXPECT_FALSE(list[1].hasData());
    EXPECT_EQ(list[0].durationMs, 30u);
    EXPECT_EQ(list[0].kind, 20);
    EXPECT_EQ(list[0].startMs, 100u);
    ASSERT_EQ(list[0].byteLength(), 2646u);
    EXPECT_EQ(list[0].data.capacity(), 2646u + 100u);
    const std::size_t bStart = firstSampleAt(10);
    ASSERT_EQ(bStart, 419u);
    for (std::size_t o = 0; o < 1323; ++o) {
        int16_t want = o < bStart ? 1000 : o < 882 ? mixed(1000 - 301, 2) : o < bStart + 882 ? -301 : 0;
        ASSERT_EQ(list[0].data.sample(o), want) << o;
    }
}

TEST(VoxMixer, GroupsByOverlapOnly) {
    std::vector<SoundEntry> list;
    list.push_back(entry(441, 1, 0, 10));
    list.push_back(SoundEntry{});            // no data: ignored
    list.push_back(entry(441, 2, 10, 10));   // starts exactly at the end: a new group
    list.push_back(entry(441, 3, 15, 10));
    list.push_back(entry(441, 4, 16, 10));
    list.push_back(entry(441, 5, 100, 10));  // alone: untouched
    CVoxMixer mixer;
    ASSERT_TRUE(mixer.mix(list, kMono16, 44100));
    EXPECT_EQ(list[0].byteLength(), 882u);
    EXPECT_EQ(list[0].kind, 0);  // never in a group
    EXPECT_EQ(list[0].data.sample(440), 1);
    ASSERT_TRUE(list[2].hasData());
    EXPECT_EQ(list[2].durationMs, 16u);
    EXPECT_FALSE(list[3].hasData());
    EXPECT_FALSE(list[4].hasData());
    EXPECT_EQ(list[5].kind, 0);
    // Three sound together from 6 ms on: (2 + 3 + 4) / sqrt(3).
    const SoundBuffer& g = list[2].data;
    EXPECT_EQ(g.sample(firstSampleAt(5) - 1), 2);
    EXPECT_EQ(g.sample(firstSampleAt(5)), mixed(5, 2));
    EXPECT_EQ(g.sample(firstSampleAt(6)), mixed(9, 3));
    EXPECT_EQ(g.sample(441), mixed(7, 2));  // the first one has run out
}

TEST(VoxMixer, KeepsAPieceThatStartsAfterASilentStretch) {
    // The first piece's data is shorter than its duration: nothing sounds for a while
    // before the second starts, and the second still gets mixed in.
    std::vector<SoundEntry> list;
    list.push_back(entry(100, 7, 0, 20));
    list.push_back(entry(441, 9, 15, 10));
    CVoxMixer mixer;
    ASSERT_TRUE(mixer.mix(list, kMono16, 44100));
    const SoundBuffer& g = list[0].data;
    EXPECT_EQ(g.sample(99), 7);
    EXPECT_EQ(g.sample(100), 0);
    EXPECT_EQ(g.sample(firstSampleAt(15)), 9);
    EXPECT_EQ(g.sample(firstSampleAt(15) + 440), 9);
    EXPECT_EQ(g.sample(firstSampleAt(15) + 441), 0);
}

TEST(VoxMixer, ClampsAndRefusesWhatItCannotMix) {
    std::vector<SoundEntry> list;
    list.push_back(entry(10, 32767, 0, 1));
    list.push_back(entry(10, 32767, 0, 1));
    list.push_back(entry(10, 32767, 0, 1));
    CVoxMixer mixer;
    ASSERT_TRUE(mixer.mix(list, kMono16, 44100));
    EXPECT_EQ(list[0].data.sample(0), 32767);  // 98301 / sqrt(3) = 56754: clamped
    EXPECT_FALSE(mixer.mix(list, packFormat(16, 2), 44100));
    EXPECT_EQ(mixer.lastError(), "Debug CVoxMixer::VoxMixerはモノラルデータしか扱いません。");
    EXPECT_FALSE(mixer.mix(list, packFormat(8, 1), 44100));
    EXPECT_EQ(mixer.lastError(), "8ﾋﾞｯﾄWaveはMy Kantorellionでは未対応です。");
}

}  // namespace
}  // namespace kantor

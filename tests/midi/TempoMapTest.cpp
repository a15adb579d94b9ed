#include <gtest/gtest.h>

#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "midi/TempoMap.h"

namespace kantor {
namespace {

struct Loaded {
    MidiFile midi;
    TempoMap map;
};

std::unique_ptr<Loaded> load(const SmfTrack& t, uint16_t division = 480) {
    auto l = std::make_unique<Loaded>();
    EXPECT_TRUE(l->midi.loadImage(buildSmf(0, division, {t}), "t.mid")) << l->midi.lastError();
    EXPECT_TRUE(l->map.build(l->midi)) << l->map.lastError();
    return l;
}

TEST(TempoMap, MeasuresWithoutSignatureAreFourFourAndReachPastTheEnd) {
    SmfTrack t;
    t.note(0, 480 * 4 * 3 + 10, 0, 60, 100);
    auto l = load(t);
    const auto& ms = l->map.measures();
    ASSERT_FALSE(ms.empty());
    for (std::size_t i = 0; i < ms.size(); ++i) {
        EXPECT_EQ(ms[i].start, i * 1920);
        EXPECT_EQ(ms[i].length, 1920u);
        EXPECT_EQ(ms[i].numerator, 4);
        EXPECT_EQ(ms[i].denominator, 4);
    }
    EXPECT_GE(ms.back().start, l->midi.songEndTick());
    EXPECT_LT(ms[ms.size() - 2].start, l->midi.songEndTick());
    EXPECT_EQ(l->map.positionText(1000), "001 : 3 : 040");
    EXPECT_EQ(l->map.positionText(0), "001 : 1 : 000");
    // A measure's first tick belongs to it, not to the measure before.
    EXPECT_EQ(l->map.positionText(1919), "001 : 4 : 479");
    EXPECT_EQ(l->map.positionText(1920), "002 : 1 : 000");
    EXPECT_EQ(l->map.positionText(1920 * 2 + 479), "003 : 1 : 479");
    EXPECT_EQ(l->map.positionText(4000000000u), "000 : 0 : 000");
}

TEST(TempoMap, SignaturesSetMeasureAndBeatLengths) {
    SmfTrack t;
    t.timeSignature(0, 3, 2).timeSignature(1440 * 2, 6, 3).note(0, 1440 * 4, 0, 60, 100);
    auto l = load(t);
    const auto& ms = l->map.measures();
    EXPECT_EQ(ms[0].length, 1440u);
    EXPECT_EQ(ms[2].start, 2880u);
    EXPECT_EQ(ms[2].length, 1440u);
    EXPECT_EQ(ms[2].numerator, 6);
    EXPECT_EQ(ms[2].denominator, 8);
    uint32_t beat = 0;
    EXPECT_EQ(l->map.positionText(480, &beat), "001 : 2 : 000");
    EXPECT_EQ(beat, 480u);
    EXPECT_EQ(l->map.positionText(2880 + 250, &beat), "003 : 2 : 010");
    EXPECT_EQ(beat, 240u);
}

TEST(TempoMap, SignatureInsideAMeasureStartsANewOneAndTheOldOneWins) {
    SmfTrack t;
    t.timeSignature(1000, 3, 2).note(0, 5000, 0, 60, 100);
    auto l = load(t);
    const auto& ms = l->map.measures();
    EXPECT_EQ(ms[0].start, 0u);
    EXPECT_EQ(ms[0].length, 1920u);  // keeps its full length
    EXPECT_EQ(ms[1].start, 1000u);
    EXPECT_EQ(ms[1].length, 1440u);
    EXPECT_EQ(l->map.positionText(1500), "001 : 4 : 060");  // in the overlap: the first measure
    EXPECT_EQ(l->map.positionText(2000), "002 : 3 : 040");
}

TEST(TempoMap, SignaturesOfNoLengthDoNotHang) {
    SmfTrack t;
    t.timeSignature(0, 0, 2).timeSignature(0, 4, 40).timeSignature(10, 4, 12).note(0, 5000, 0, 60, 100);
    auto l = load(t, 96);
    EXPECT_FALSE(l->map.measures().empty());
    EXPECT_EQ(l->map.measures()[0].length, 384u);

    SmfTrack u;
    u.note(0, 100, 0, 60, 100);
    auto z = load(u, 0);  // division 0: no grid, no position
    EXPECT_EQ(z->map.positionText(10), "000 : 0 : 000");
    EXPECT_EQ(z->map.millisecondsBetween(0, 100), 0u);
}

TEST(TempoMap, MillisecondsAndTickOffsets) {
    SmfTrack t;
    t.tempo(0, 500000).note(0, 4000, 0, 60, 100);
    auto l = load(t);
    EXPECT_EQ(l->map.millisecondsBetween(0, 960), 1000u);
    EXPECT_EQ(l->map.tickOffset(1000, 0), 960);
    EXPECT_EQ(l->map.tickOffset(-500, 960), -480);
    EXPECT_EQ(l->map.tickOffset(0, 960), 0);
    EXPECT_EQ(l->map.ticksForMilliseconds(1000, 500000), 960);
}

TEST(TempoMap, MillisecondsToTicksTruncate) {
    SmfTrack t;
    t.tempo(0, 500000).note(0, 4000, 0, 60, 100);
    auto l = load(t);
    // 1 ms at 480 ticks a quarter and 500 000 us a quarter is 0.96 ticks: 0, not 1.
    EXPECT_EQ(l->map.ticksForMilliseconds(1, 500000), 0);
    EXPECT_EQ(l->map.ticksForMilliseconds(1001, 500000), 960);  // 960.96
    EXPECT_EQ(l->map.ticksForMilliseconds(-1, 500000), 0);      // toward zero
    EXPECT_EQ(l->map.tickOffset(1, 0), 0);
    EXPECT_EQ(l->map.tickOffset(1001, 0), 960);
    EXPECT_EQ(l->map.tickOffset(-1001, 1920), -960);
}

TEST(TempoMap, TempoChangesSplitTheTime) {
    SmfTrack t;
    // 120 BPM from 480, 60 BPM from 1440.
    t.tempo(480, 500000).tempo(1440, 1000000).note(0, 4000, 0, 60, 100);
    auto l = load(t);
    // Before the first tempo event the file runs at the standard 120 bpm.
    EXPECT_TRUE(l->map.impliedTempo());
    EXPECT_EQ(l->map.millisecondsBetween(0, 480), 500u);
    EXPECT_EQ(l->map.millisecondsBetween(0, 1440), 1500u);
    EXPECT_EQ(l->map.millisecondsBetween(960, 1920), 500u + 1000u);
    // 1500 ms from 960: 500 ms to 1440, then 1000 ms at 60 BPM = 480 ticks.
    EXPECT_EQ(l->map.tickOffset(1500, 960), 480 + 480);
    // Back 1500 ms from 1920: 1000 ms to 1440 at 60 BPM, then 500 ms at 120 BPM.
    EXPECT_EQ(l->map.tickOffset(-1500, 1920), -(480 + 480));
    // Within one segment backwards.
    EXPECT_EQ(l->map.tickOffset(-500, 1920), -240);
}

TEST(TempoMap, AFileWithoutTempoRunsAtOneHundredTwenty) {
    SmfTrack t;
    t.note(0, 480, 0, 60, 100).note(4800, 5280, 0, 62, 100);
    auto l = load(t);
    ASSERT_EQ(l->map.tempos().size(), 1u);
    EXPECT_TRUE(l->map.impliedTempo());
    EXPECT_EQ(l->map.tempos()[0].tick, 0u);
    EXPECT_EQ(l->map.tempos()[0].usPerQuarter, 500000u);
    EXPECT_EQ(l->map.millisecondsBetween(0, 4800), 5000u);
    EXPECT_EQ(l->map.tickOffset(1000, 480), 960);
    EXPECT_EQ(l->map.tickOffset(-500, 4800), -480);

    // A tempo event at tick 0 is the file's own: nothing is added.
    SmfTrack u;
    u.tempo(0, 600000).note(0, 480, 0, 60, 100);
    auto m = load(u);
    ASSERT_EQ(m->map.tempos().size(), 1u);
    EXPECT_FALSE(m->map.impliedTempo());
    EXPECT_EQ(m->map.millisecondsBetween(0, 480), 600u);
}

TEST(TempoMap, NeedsALoadedFile) {
    MidiFile empty;
    TempoMap map;
    EXPECT_FALSE(map.buildMeasureTable(empty));
    EXPECT_EQ(map.lastError(), "Not Read Smf");
    EXPECT_FALSE(map.buildTempoList(empty));
    EXPECT_EQ(map.tickOffset(100, 0), 0);
}

}  // namespace
}  // namespace kantor

namespace kantor {
namespace {

TEST(TempoMap, AStrayHugeEndStillOpens) {
    SmfTrack t;
    t.note(0, 100, 0, 60, 100).endOfTrack(4000000000u);
    auto l = load(t, 24);
    EXPECT_EQ(l->map.measures().size(), TempoMap::kMaxMeasures);
    EXPECT_EQ(l->map.positionText(100), "002 : 1 : 004");
    EXPECT_EQ(l->map.positionText(3999999999u), "000 : 0 : 000");
}

}  // namespace
}  // namespace kantor

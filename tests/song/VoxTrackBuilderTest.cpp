#include <gtest/gtest.h>

#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "song/Song.h"
#include "song/VoxTrackBuilder.h"
#include "TestPrompt.h"

namespace kantor {
namespace {

// Channel 1 (list 0) carries a program change and a tempo besides its notes, so that
// MIDI entry indexes and note ordinals differ.
std::unique_ptr<MidiFile> midiWith(uint16_t division, const std::vector<std::pair<uint32_t, uint32_t>>& notes,
                                   int channel = 0) {
    SmfTrack t;
    t.tempo(0, 500000).programChange(0, channel, 3);
    int key = 60;
    for (auto [start, end] : notes) t.note(start, end, channel, key++, 100);
    auto m = std::make_unique<MidiFile>();
    EXPECT_TRUE(m->loadImage(buildSmf(0, division, {t}), "t.mid")) << m->lastError();
    return m;
}

TEST(VoxTrackBuilder, MakeVoxChannelFromNotes) {
    auto m = midiWith(480, {{0, 480}, {480, 960}});
    Song s;
    s.channel(0).phrases.push_back(std::make_unique<VoiceSettings>());
    s.channel(0).events.push_back(std::make_unique<VoxEvent>());
    ASSERT_TRUE(makeVoxChannel(s, m->channel(0), 0));
    const auto& ev = s.channel(0).events;
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0]->midiEventIndex, 2);  // after the tempo and program change entries
    EXPECT_EQ(ev[0]->noteNumber, 1);
    EXPECT_EQ(ev[1]->midiEventIndex, 3);
    EXPECT_EQ(ev[1]->noteNumber, 2);
    EXPECT_EQ(ev[1]->noteKey, 61u);
    EXPECT_EQ(ev[1]->startTick, 480u);
    EXPECT_EQ(ev[1]->endTick, 960u);
    EXPECT_EQ(ev[1]->noteVolume, 100);
    EXPECT_EQ(ev[1]->syllableVolume, (std::array<uint16_t, 4>{100, 100, 100, 100}));
    EXPECT_EQ(ev[1]->phraseIndex, 0);
    EXPECT_EQ(s.channel(0).phrases.size(), 1u);  // settings lists stay
}

TEST(VoxTrackBuilder, ReconcileRescalesEveryPositionWhenTheTimeBaseChanged) {
    auto m480 = midiWith(480, {{0, 480}, {480, 960}});
    Song s;
    ASSERT_TRUE(makeVoxChannel(s, m480->channel(0), 0));
    s.channel(0).events[1]->setCode(0, "KA");
    s.setStoredDivision(480);
    s.putLyricLine(960, "x");
    WaveInsert w;
    w.position = 240;
    s.putWaveInsert(w);

    auto m960 = midiWith(960, {{0, 960}, {960, 1920}});
    test::RecordingPrompt prompt;
    ASSERT_TRUE(reconcileWithMidi(s, *m960, prompt));
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(s.channel(0).events[1]->startTick, 960u);
    EXPECT_EQ(s.channel(0).events[1]->endTick, 1920u);
    EXPECT_EQ(s.channel(0).events[1]->codeText(0), "KA");
    EXPECT_EQ(s.lyricLines()[0]->position, 1920u);
    EXPECT_EQ(s.waveInserts()[0]->position, 480u);
}

TEST(VoxTrackBuilder, NoRescalingWithoutStoredTimeBase) {
    auto m480 = midiWith(480, {{100, 480}});
    Song s;
    ASSERT_TRUE(makeVoxChannel(s, m480->channel(0), 0));
    s.channel(0).events[0]->startTick = 123;  // a position the song keeps
    s.putLyricLine(50, "x");
    auto m960 = midiWith(960, {{200, 960}});
    test::RecordingPrompt prompt;
    ASSERT_TRUE(reconcileWithMidi(s, *m960, prompt));
    EXPECT_EQ(s.channel(0).events[0]->startTick, 123u);
    EXPECT_EQ(s.lyricLines()[0]->position, 50u);
}

TEST(VoxTrackBuilder, GainedNotesAddEventsWithOneWarning) {
    auto before = midiWith(480, {{0, 480}});
    Song s;
    ASSERT_TRUE(makeVoxChannel(s, before->channel(3), 3));  // channel 4 has no notes: stays empty
    EXPECT_FALSE(s.isVoxChannel(3));
    auto m1 = midiWith(480, {{0, 480}}, 4);
    ASSERT_TRUE(makeVoxChannel(s, m1->channel(4), 4));
    s.channel(4).events[0]->setCode(0, "A");
    s.setStoredDivision(240);

    auto after = midiWith(480, {{0, 480}, {480, 960}, {960, 1440}}, 4);
    test::RecordingPrompt prompt;
    ASSERT_TRUE(reconcileWithMidi(s, *after, prompt));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].caption, "Warning");
    EXPECT_EQ(prompt.shown[0].text, "Midiﾌｧｲﾙに変更があります。Voxｲﾍﾞﾝﾄを追加します。MidiCh=5");
    const auto& ev = s.channel(4).events;
    ASSERT_EQ(ev.size(), 3u);
    EXPECT_EQ(ev[0]->startTick, 0u);
    EXPECT_EQ(ev[0]->codeText(0), "A");
    EXPECT_EQ(ev[2]->startTick, 960u);  // new events take the MIDI positions as they are
    EXPECT_EQ(ev[2]->noteNumber, 3);
    EXPECT_FALSE(ev[2]->hasSyllable());
}

TEST(VoxTrackBuilder, LostNotesRemoveEventsAndOrderDecides) {
    auto before = midiWith(480, {{0, 100}, {100, 200}, {200, 300}});
    Song s;
    ASSERT_TRUE(makeVoxChannel(s, before->channel(0), 0));
    const char* codes[] = {"A", "I", "U"};
    for (int i = 0; i < 3; ++i) s.channel(0).events[static_cast<std::size_t>(i)]->setCode(0, codes[i]);
    auto after = midiWith(480, {{50, 150}, {150, 250}});
    test::RecordingPrompt prompt;
    ASSERT_TRUE(reconcileWithMidi(s, *after, prompt));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Midiﾌｧｲﾙに変更があります。Voxｲﾍﾞﾝﾄを削除します。MidiCh=1");
    const auto& ev = s.channel(0).events;
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[1]->codeText(0), "I");  // matched by order, not by time
    EXPECT_EQ(ev[1]->noteKey, 61u);
    EXPECT_EQ(ev[1]->startTick, 100u);  // the song's own position stays
}

TEST(VoxTrackBuilder, RescaleStaysWithin32Bits) {
    EXPECT_EQ(rescaleTick(1000, 480, 960), 2000u);
    EXPECT_EQ(rescaleTick(1001, 960, 480), 500u);
    EXPECT_EQ(rescaleTick(0x80000000u, 480, 960), 0xFFFFFFFFu);
    EXPECT_EQ(rescaleTick(5000000, 480, 960), 10000000u);  // 960 x 5000000 needs more than 32 bits
    EXPECT_EQ(rescaleTick(5000000, 1, 960), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace kantor

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <fstream>

#include "TransportFixture.h"
#include "audio/MarkerList.h"
#include "sound/WavFile.h"
#include "synth/PhraseWorkers.h"

namespace kantor {
namespace {

using test::SongNotes;
using test::TransportFixture;

std::vector<Measure> fourFour(uint32_t count, uint32_t division = 480) {
    std::vector<Measure> m;
    for (uint32_t i = 0; i < count; ++i) m.push_back({i * 4 * division, 4 * division, 4, 4});
    return m;
}

std::vector<uint32_t> ticksOf(const std::vector<Marker>& list) {
    std::vector<uint32_t> t;
    for (const Marker& m : list) t.push_back(m.tick);
    return t;
}

// ---- the marker list ------------------------------------------------------------------

TEST(MarkerList, PhraseOnALyricLineSharesItsMarkerAndTheGridFillsTheRest) {
    // One 4/4 measure: grid every 120 ticks, 60 ticks of tolerance.
    const auto list = buildMarkerList(0, 1920, {{480, 0}}, {{480, 7}, {890, 8}}, fourFour(1), 480);
    const std::vector<uint32_t> expected = {0, 120, 240, 360, 480, 600, 720, 890, 960, 1080, 1200, 1320,
                                            1440, 1560, 1680, 1800};
    EXPECT_EQ(ticksOf(list), expected);
    // The lyric line and the phrase at 480 are one marker.
    const Marker shared{480, 7, 0};
    EXPECT_EQ(list[4], shared);
    // 840 lies closer than 60 ticks to the phrase at 890 and is left out; 960 is not.
    EXPECT_EQ(list[7], (Marker{890, 8, Marker::kNone}));
    for (const Marker& m : list)
        if (m.tick != 480 && m.tick != 890) {
            EXPECT_EQ(m.phrase, Marker::kNone);
        }
}

TEST(MarkerList, RangeStartShowsTheLastLineBeforeItAndDropsEarlierPhrases) {
    // The line at 100 is remembered and shown from 1000; the phrase at 500 gets no marker.
    auto list = buildMarkerList(1000, 3840, {{100, 0}, {2000, 1}}, {{500, 3}, {2500, 4}}, {}, 480);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], (Marker{1000, Marker::kNone, 0}));
    EXPECT_EQ(list[1], (Marker{2000, Marker::kNone, 1}));
    EXPECT_EQ(list[2], (Marker{2500, 4, Marker::kNone}));
    // A line on the start tick itself takes the place of the remembered one.
    list = buildMarkerList(1000, 3840, {{100, 0}, {1000, 1}}, {}, {}, 480);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], (Marker{1000, Marker::kNone, 1}));
}

TEST(MarkerList, GridStartsAtTheRangeAndEndsOnTheRangeEnd) {
    // Range [250, 500]: grid ticks 360 and 480, then 600 is clamped to 500 and ends the list.
    const auto list = buildMarkerList(250, 500, {}, {}, fourFour(2), 480);
    EXPECT_EQ(ticksOf(list), (std::vector<uint32_t>{360, 480, 500}));
    // 3/4 at 96 ticks a quarter: sixteenths of 24 ticks; with no other marker the one at 0
    // lies on the reference tick 0 and is left out.
    const std::vector<Measure> threeFour = {{0, 288, 3, 4}};
    EXPECT_EQ(ticksOf(buildMarkerList(0, 100000, {}, {}, threeFour, 96)),
              (std::vector<uint32_t>{24, 48, 72, 96, 120, 144, 168, 192, 216, 240, 264}));
    // A measure shorter than a quarter note has no grid (and does not divide by zero).
    EXPECT_TRUE(buildMarkerList(0, 100000, {}, {}, {{0, 40, 1, 16}}, 96).empty());
}

TEST(MarkerList, GridMarkersExactlyOneToleranceAwayStay) {
    // 4/4 at 480: sixteenths of 120 ticks, 60 ticks of tolerance. The grid markers at 0 and
    // 120 lie exactly 60 ticks from the lyric line at 60 and are kept.
    const auto list = buildMarkerList(0, 1920, {{60, 0}}, {}, fourFour(1), 480);
    const std::vector<uint32_t> expected = {0,   60,  120,  240,  360,  480,  600,  720,  840,
                                            960, 1080, 1200, 1320, 1440, 1560, 1680, 1800};
    EXPECT_EQ(ticksOf(list), expected);
    EXPECT_EQ(list[1], (Marker{60, Marker::kNone, 0}));
    // A line at 61 lies one tick closer to 120, which goes; 0 is 61 ticks away and stays.
    EXPECT_EQ(ticksOf(buildMarkerList(0, 1920, {{61, 0}}, {}, fourFour(1), 480)).size(), expected.size() - 1);
}

TEST(MarkerList, NeverGrowsBeyondTheMarkerCap) {
    // 80 000 measures of sixteen sixteenths would make 1.28 million grid markers.
    const auto list = buildMarkerList(0, 0xFFFFFFF0u, {}, {}, fourFour(80000, 96), 96);
    EXPECT_EQ(list.size(), kMaxMarkers);
    EXPECT_EQ(kMaxMarkers, 0xFFFFEu);
    EXPECT_EQ(buildMarkerList(0, 1920, {{0, 0}, {10, 1}, {20, 2}}, {}, fourFour(1), 480, 2).size(), 2u);
}

// ---- playing --------------------------------------------------------------------------

TEST(Transport, EveryPhraseWaveStartsOnItsMarkersSample) {
    // One second apart, at ticks 960, 1920 and 2880 (1, 2 and 3 s).
    TransportFixture f({{0, 69, {{960, 1400}, {1920, 2300}, {2880, 3300}}}});
    f.engine.setCapture(true);
    ASSERT_TRUE(f.transport->playFromTop()) << f.transport->lastError();
    ASSERT_EQ(f.transport->state(), Transport::State::Playing);
    // A copy: the transport frees its phrases when the play ends.
    const std::vector<PlaybackPiece> phrases = f.transport->phrases();
    ASSERT_EQ(phrases.size(), 3u);
    f.runToEnd(6000);
    EXPECT_TRUE(f.transport->phrases().empty());
    const std::vector<int16_t> out = f.engine.takeCaptured();
    for (const PlaybackPiece& p : phrases) {
        // The first sounding sample of the phrase block, and where the mix must have it.
        std::size_t lead = 0;
        while (lead < p.data.sampleCount() && std::abs(p.data.sample(lead)) < 64) ++lead;
        const uint64_t expected = f.frameOf(p.startTick) + lead;
        // The output is the vocal alone: its first sample at or after the marker's frame.
        uint64_t first = f.frameOf(p.startTick);
        while (first < out.size() / 2 && std::abs(out[2 * first]) < 64) ++first;
        EXPECT_EQ(first, expected) << "phrase at tick " << p.startTick;
        // Nothing of it sounds before (the previous phrase has long ended).
        for (uint64_t k = f.frameOf(p.startTick) - 4410; k < f.frameOf(p.startTick); ++k) ASSERT_EQ(out[2 * k], 0);
    }
}

// The render before a play ends with its progress cleared: a progress bar that shows it is
// empty again once the play starts (and after a failed render). The phrases after the first
// seconds are rendered while the song plays, and report none.
TEST(Transport, TheRenderProgressEndsClearedBeforeThePlay) {
    TransportFixture f({{0, 69, {{960, 1400}, {1920, 2300}}}});
    std::vector<std::pair<int, int>> seen;
    f.transport->setProgress([&](int done, int total) { seen.emplace_back(done, total); });
    ASSERT_TRUE(f.transport->playFromTop()) << f.transport->lastError();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), std::make_pair(0, 0));
    f.runToEnd(6000);
    // A render that fails clears it too.
    seen.clear();
    f.song.songDefaults().voiceName = "Nobody";
    EXPECT_FALSE(f.transport->playFromTop());
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), std::make_pair(0, 0));
}

TEST(Transport, AVocalSoundingAfterTheLastMidiEventIsPlayedToItsEnd) {
    // The MIDI file ends with its note off at 900; the phrase is sung a second later.
    TransportFixture f({{0, 69, {{480, 900}}}});
    f.song.songDefaults().timingOffset = 1000;
    f.engine.setCapture(true);
    ASSERT_TRUE(f.transport->playFromTop()) << f.transport->lastError();
    const std::vector<PlaybackPiece> phrases = f.transport->phrases();
    ASSERT_EQ(phrases.size(), 1u);
    ASSERT_GT(phrases[0].startTick, 900u);
    f.runToEnd(6000);
    EXPECT_EQ(f.transport->state(), Transport::State::Idle);
    const std::vector<int16_t> out = f.engine.takeCaptured();
    // The whole phrase sounds: its last loud sample is in the output.
    const PlaybackPiece& p = phrases[0];
    std::size_t last = p.data.sampleCount();
    while (last > 0 && std::abs(p.data.sample(last - 1)) < 64) --last;
    ASSERT_GT(last, 0u);
    const uint64_t frame = f.frameOf(p.startTick) + last - 1;
    ASSERT_LT(2 * frame, out.size());
    EXPECT_EQ(out[2 * frame], p.data.sample(last - 1));
}

TEST(Transport, StopShowsTheSongPositionReachedAndPauseHoldsIt) {
    TransportFixture f({{0, 69, {{960, 1400}, {5760, 6000}}}});
    ASSERT_TRUE(f.transport->playFromTop());
    f.run(1000);
    ASSERT_TRUE(f.transport->pauseOrRestart());
    EXPECT_EQ(f.transport->state(), Transport::State::Paused);
    const uint32_t paused = f.transport->currentPosition();
    EXPECT_NEAR(static_cast<double>(paused), 960.0, 3.0);
    EXPECT_EQ(f.listener.notices.back().code, PositionCode::Position);
    EXPECT_EQ(f.listener.notices.back().tick, paused);
    EXPECT_FALSE(f.waveOut->isOpen() && f.transport->waveOut().isPlaying());  // the vocal is cut at once
    f.run(500);
    EXPECT_EQ(f.transport->songPosition(), paused);
    ASSERT_TRUE(f.transport->pauseOrRestart());
    EXPECT_EQ(f.transport->state(), Transport::State::Playing);
    f.run(500);
    ASSERT_TRUE(f.transport->stop());
    EXPECT_EQ(f.transport->state(), Transport::State::Idle);
    EXPECT_NEAR(static_cast<double>(f.transport->currentPosition()), 1440.0, 3.0);
    EXPECT_EQ(f.transport->lastPosition(), f.transport->currentPosition());
    EXPECT_FALSE(f.waveOut->isOpen());
    EXPECT_TRUE(f.transport->markers().empty());
    EXPECT_TRUE(f.transport->phrases().empty());
}

TEST(Transport, PlayFromLastPositionWhilePlayingGoesOnFromWhereTheStopLeftTheStream) {
    TransportFixture f({{0, 69, {{200, 400}, {5760, 6000}}}});
    ASSERT_TRUE(f.transport->playFromTop());
    f.run(1050);  // 1008 ticks; the last sixteenth-note marker shown was at 960
    ASSERT_EQ(f.transport->state(), Transport::State::Playing);
    ASSERT_TRUE(f.transport->playFromLastPosition()) << f.transport->lastError();
    EXPECT_NEAR(static_cast<double>(f.transport->playStart()), 1008.0, 3.0);
}

TEST(Transport, PositionsCountFromTheActualPlayStartWhenAPhraseWidensIt) {
    // Play from 1000: the phrase of the note at 1000 begins before it (the consonant is
    // placed ahead of the note), so the stream starts earlier.
    TransportFixture f({{0, 69, {{1000, 1400}, {3000, 3400}}}});
    f.transport->setBetween(1000, 3840);
    ASSERT_TRUE(f.transport->playBetween());
    const uint32_t start = f.transport->playStart();
    ASSERT_LT(start, 1000u);  // the consonant is placed ahead of the note
    ASSERT_TRUE(f.transport->markers().size() > 0);
    EXPECT_EQ(f.transport->markers().front().tick, start);
    f.run(1000);
    ASSERT_TRUE(f.transport->stop());
    EXPECT_NEAR(static_cast<double>(f.transport->currentPosition()), start + 960.0, 3.0);
}

TEST(Transport, PlayEndingByItselfLeavesThePositionAtTheEnd) {
    TransportFixture f({{0, 69, {{480, 900}}}});
    f.transport->setBetween(0, 1920);
    ASSERT_TRUE(f.transport->playBetween());
    f.runToEnd(5000);
    EXPECT_EQ(f.transport->state(), Transport::State::Idle);
    EXPECT_EQ(f.transport->currentPosition(), 1920u);
    EXPECT_FALSE(f.waveOut->isOpen());
    ASSERT_FALSE(f.listener.notices.empty());
    EXPECT_EQ(f.listener.notices.back().code, PositionCode::Position);
    EXPECT_EQ(f.listener.notices.back().tick, 1920u);
    // Markers were reported on the way: code 90 to the panel, 0 to the channel list.
    // (the MIDI data ends with the note off at 900: the grid up to there, 480 replaced by
    // the phrase marker just before it).
    std::vector<uint32_t> reached;
    for (const test::Notice& n : f.listener.notices)
        if (n.code == PositionCode::MarkerReached) reached.push_back(n.tick);
    ASSERT_EQ(reached.size(), 8u);
    EXPECT_EQ(reached[3], 360u);
    EXPECT_GT(reached[4], 400u);
    EXPECT_LT(reached[4], 480u);
    EXPECT_EQ(reached[7], 840u);
}

TEST(Transport, LoopRepeatsFromTheTopUntilStop) {
    TransportFixture f({{0, 69, {{480, 900}}}});
    ASSERT_TRUE(f.transport->loopPlay());
    EXPECT_TRUE(f.transport->looping());
    EXPECT_EQ(f.listener.count(PositionCode::LoopStart), 1);
    // The song is one measure (2 s) and a bit: three passes in 7 s.
    for (int i = 0; i < 700; ++i) f.run(10);
    EXPECT_GE(f.listener.count(PositionCode::LoopStart), 3);
    EXPECT_EQ(f.transport->state(), Transport::State::Playing);
    const int loops = f.listener.count(PositionCode::LoopStart);
    ASSERT_TRUE(f.transport->stop());
    EXPECT_FALSE(f.transport->looping());
    f.run(4000);
    EXPECT_EQ(f.transport->state(), Transport::State::Idle);
    EXPECT_EQ(f.listener.count(PositionCode::LoopStart), loops);
}

TEST(Transport, NewPlayWhileLoopingDoesNotRestartTheLoop) {
    TransportFixture f({{0, 69, {{480, 900}}}});
    ASSERT_TRUE(f.transport->loopPlay());
    f.run(300);
    ASSERT_TRUE(f.transport->playFromTop());  // stops the loop; its close must not restart it
    EXPECT_FALSE(f.transport->looping());
    f.runToEnd(6000);
    EXPECT_EQ(f.transport->state(), Transport::State::Idle);
    EXPECT_EQ(f.listener.count(PositionCode::LoopStart), 1);
}

TEST(Transport, ANewPlayDropsWhatThePreviousStreamLeftQueued) {
    // What a new play leaves queued by itself, played twice in a row.
    TransportFixture plain({{0, 69, {{480, 900}}}});
    ASSERT_TRUE(plain.transport->playFromTop());
    plain.run(100);
    ASSERT_TRUE(plain.transport->playFromTop());
    const std::size_t ownPending = plain.queue.pendingFor(plain.transport.get());

    // The same with notifications of the old stream still waiting to be pumped when the user
    // plays again: a marker read from a buffer the new play has filled again would start the
    // wrong phrase, so they go.
    TransportFixture f({{0, 69, {{480, 900}}}});
    ASSERT_TRUE(f.transport->playFromTop());
    f.run(100);
    Notification stale;
    stale.kind = NotificationKind::MidiMarker;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(f.queue.post(f.transport.get(), stale));
    ASSERT_TRUE(f.transport->playFromTop());
    EXPECT_EQ(f.queue.pendingFor(f.transport.get()), ownPending);
    f.runToEnd(6000);
    EXPECT_EQ(f.transport->state(), Transport::State::Idle);
}

TEST(Transport, SoloOnChannelThreeSilencesTheOthersInMidiAndVocal) {
    TransportFixture f({{0, 69, {{480, 900}}}, {2, 60, {{960, 1400}}}});
    f.song.channelFlags().set(ChannelFlags::MidiSolo, 2, true);
    f.song.channelFlags().set(ChannelFlags::VoxSolo, 2, true);
    ASSERT_TRUE(f.transport->playFromTop());
    for (int c = 0; c < 16; ++c) {
        EXPECT_EQ(f.transport->effectiveMidiMutes()[c], c != 2) << c;
        EXPECT_EQ(f.transport->effectiveVoxMutes()[c], c != 2) << c;
    }
    ASSERT_EQ(f.transport->phrases().size(), 1u);  // channel 1's vocal is not rendered
    EXPECT_LT(f.transport->phrases()[0].startTick, 960u);
    EXPECT_GT(f.transport->phrases()[0].startTick, 900u);
    f.runToEnd(5000);
    int notesOn3 = 0;
    for (const RecordedMidiEvent& e : f.stream->sink().events()) {
        if ((e.status & 0xE0) == 0x80) {
            EXPECT_EQ(e.status & 0x0F, 2);
            ++notesOn3;
        }
    }
    EXPECT_EQ(notesOn3, 2);  // note on and off of channel 3 only
    // Only a solo silences: without flags everything plays.
    f.song.channelFlags().clear();
    ASSERT_TRUE(f.transport->playFromTop());
    EXPECT_EQ(f.transport->phrases().size(), 2u);
}

TEST(Transport, AuditionSoundsOneNoteOfTheChannelAndRestoresTheFlags) {
    TransportFixture f({{0, 69, {{480, 900}}}, {2, 60, {{480, 900}, {960, 1400}}}});
    f.song.channelFlags().set(ChannelFlags::VoxMute, 5, true);
    const ChannelFlags before = f.song.channelFlags();
    const VoxEvent& note = *f.song.channel(2).events[1];
    ASSERT_TRUE(f.transport->auditionNote(3, note));
    EXPECT_EQ(f.song.channelFlags(), before);
    EXPECT_EQ(f.transport->noteFilter(), 255);
    EXPECT_TRUE(f.transport->markers().empty());
    EXPECT_FALSE(f.waveOut->isOpen());
    f.runToEnd(3000);
    std::vector<RecordedMidiEvent> notes;
    for (const RecordedMidiEvent& e : f.stream->sink().events())
        if ((e.status & 0xE0) == 0x80) notes.push_back(e);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].status, 0x92);
    EXPECT_EQ(notes[0].data1, 60);
    EXPECT_EQ(f.transport->currentPosition(), 1400u);
}

TEST(Transport, WithoutAMidiFileNothingPlays) {
    TransportFixture f({{0, 69, {{480, 900}}}});
    MidiFile none;
    TempoMap empty;
    Transport t(f.song, none, empty, f.synth, *f.stream, *f.waveOut, f.prompt);
    EXPECT_TRUE(t.playFromTop());
    EXPECT_EQ(t.state(), Transport::State::Idle);
    EXPECT_EQ(f.stream->calls(VirtualMidiStream::Op::Open), 0);
}

TEST(Transport, StreamFailureIsShownAndLeavesTheTransportIdle) {
    TransportFixture f({{0, 69, {{480, 900}}}});
    f.stream->failNext(VirtualMidiStream::Op::Open, kDeviceNoDriver);
    EXPECT_FALSE(f.transport->playFromTop());
    EXPECT_EQ(f.transport->state(), Transport::State::Idle);
    ASSERT_EQ(f.prompt.shown.size(), 1u);
    EXPECT_EQ(f.prompt.shown[0].caption, "Error");
    EXPECT_EQ(f.prompt.shown[0].text, deviceErrorText(kDeviceNoDriver));
    EXPECT_FALSE(f.waveOut->isOpen());
    EXPECT_TRUE(f.transport->phrases().empty());
}

// ---- the inserted wave check -----------------------------------------------------------

void writeWav(const std::string& path, uint16_t bits, uint32_t rate) {
    std::vector<uint8_t> bytes = wavHeader(packFormat(bits, 1), rate, 400);
    bytes.resize(bytes.size() + 400, 0);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void insertWave(Song& song, const std::string& path) {
    WaveInsert w;
    w.position = 480;
    w.setPath(path);
    w.waveValue1 = packFormat(16, 1);
    w.waveValue2 = 44100;
    ASSERT_TRUE(song.putWaveInsert(w));
}

TEST(TransportInsertedWaves, EachProblemAsksWhetherToPlayOnWithoutTheFile) {
    TransportFixture f({{0, 69, {{480, 900}}}});
    EXPECT_EQ(f.transport->checkInsertedWaves(), InsertedWaves::None);

    insertWave(f.song, f.dir.file("gone.wav"));
    f.prompt.answer = PromptAnswer::No;
    EXPECT_EQ(f.transport->checkInsertedWaves(), InsertedWaves::Cancel);
    ASSERT_EQ(f.prompt.shown.size(), 1u);
    EXPECT_EQ(f.prompt.shown[0].kind, "yesno");
    EXPECT_EQ(f.prompt.shown[0].caption, "Error");
    EXPECT_EQ(f.prompt.shown[0].text,
              "Midiﾌｧｲﾙと同じﾌｫﾙﾀﾞに gone.wav が見つかりません。\n挿入WaveFileを無視して再生しますか？");

    // Answering No plays nothing.
    ASSERT_TRUE(f.transport->playFromTop());
    EXPECT_EQ(f.transport->state(), Transport::State::Idle);
    EXPECT_EQ(f.stream->calls(VirtualMidiStream::Op::Open), 0);
    // Yes plays on.
    f.prompt.answer = PromptAnswer::Yes;
    ASSERT_TRUE(f.transport->playFromTop());
    EXPECT_EQ(f.transport->state(), Transport::State::Playing);
    ASSERT_TRUE(f.transport->stop());
}

TEST(TransportInsertedWaves, UnreadableAndUnsuitableFilesNameTheReason) {
    TransportFixture f({{0, 69, {{480, 900}}}});
    std::ofstream(f.dir.file("junk.wav")) << "not a wave";
    insertWave(f.song, f.dir.file("junk.wav"));
    f.prompt.answer = PromptAnswer::No;
    EXPECT_EQ(f.transport->checkInsertedWaves(), InsertedWaves::Cancel);
    WavReader reader;
    WaveFormatTriple format;
    ASSERT_FALSE(reader.readFormat(f.dir.file("junk.wav"), format));
    EXPECT_EQ(f.prompt.shown.back().text, "junk.wav : " + reader.lastError() + "\n挿入Waveﾌｧｲﾙを無視して再生しますか？");

    f.song.waveInserts().clear();
    writeWav(f.dir.file("odd.wav"), 16, 8000);
    insertWave(f.song, f.dir.file("odd.wav"));
    EXPECT_EQ(f.transport->checkInsertedWaves(), InsertedWaves::Cancel);
    EXPECT_EQ(f.prompt.shown.back().text,
              "odd.wav : 挿入Waveﾌｧｲﾙが対応してないWaveﾌｧｲﾙ形式です。\n現在選択できるのは 16bit, 11025kHz or 22050kHz "
              "or 44100kHz のWaveﾌｧｲﾙです。\n挿入Waveﾌｧｲﾙを無視して再生しますか？");

    // An 8-bit file in a 16-bit song is refused the same way; a good one passes silently.
    f.song.waveInserts().clear();
    writeWav(f.dir.file("eight.wav"), 8, 22050);
    insertWave(f.song, f.dir.file("eight.wav"));
    EXPECT_EQ(f.transport->checkInsertedWaves(), InsertedWaves::Cancel);
    f.song.waveInserts().clear();
    writeWav(f.dir.file("good.wav"), 16, 22050);
    insertWave(f.song, f.dir.file("good.wav"));
    const std::size_t asked = f.prompt.shown.size();
    EXPECT_EQ(f.transport->checkInsertedWaves(), InsertedWaves::Present);
    EXPECT_EQ(f.prompt.shown.size(), asked);
}

}  // namespace
}  // namespace kantor

namespace kantor {
namespace {

TEST(Transport, APlayKeepsItsLyricLinesWhileTheSongsAreEdited) {
    TransportFixture f({{0, 69, {{480, 900}}}});
    ASSERT_TRUE(f.song.putLyricLine(480, "さくら"));
    ASSERT_TRUE(f.transport->playFromTop());
    f.song.lyricLines().clear();  // the lyric window deletes the line while the song plays
    ASSERT_EQ(f.transport->lyricLines().size(), 1u);
    EXPECT_EQ(f.transport->lyricLines()[0]->text, "さくら");
    f.runToEnd(5000);
}

}  // namespace
}  // namespace kantor

namespace kantor {
namespace {

class LateListener : public TransportListener {
public:
    int late = 0;
    void positionNotify(PositionReceiver, PositionCode, uint32_t, const LyricLine*) override {}
    void vocalLate() override { ++late; }
};

// Four minutes with a phrase every second and a half: playing starts with the first seconds
// rendered, the rest is rendered while it plays, and the result is the whole render's sound
// on the whole render's markers.
TEST(Transport, EveryPhraseWaveOfALongSongSoundsWholeOnItsMarkersSample) {
    std::vector<std::pair<uint32_t, uint32_t>> notes;
    for (uint32_t i = 0; i < 160; ++i) notes.push_back({960 + 1440 * i, 960 + 1440 * i + 700});
    TransportFixture f({{0, 69, notes}}, 512);
    f.transport->setVocalWaits(true);  // the virtual clock runs faster than real time
    // The whole song rendered at once, as it was played before.
    RenderRequest r;
    r.endTick = f.map.songEndTick();
    r.voxMuted = SongRenderer::voxMutesOf(f.song);
    std::vector<PlaybackPiece> want;
    SongRenderer renderer(f.song, f.synth);
    ASSERT_TRUE(renderer.renderSong(r, want)) << renderer.lastError();
    ASSERT_EQ(want.size(), 160u);
    const uint32_t latest = f.synth.latestTick();

    f.engine.setCapture(true);
    ASSERT_TRUE(f.transport->playFromTop()) << f.transport->lastError();
    EXPECT_LT(f.transport->phrases().size(), 60u);  // far from all of it
    f.run(120000);
    // Half-way: what has played is freed, and not much more than the look-ahead is rendered.
    ASSERT_GT(f.transport->phrases().size(), 70u);
    EXPECT_LT(f.transport->phrases().size(), 110u);
    EXPECT_FALSE(f.transport->phrases()[10].data.hasData());
    // The memory goes with it: what is held is the look-ahead's, not the song's so far.
    std::size_t held = 0, heldRange = 0;
    for (const PlaybackPiece& p : f.transport->phrases()) held += p.data.heldBytes();
    for (std::size_t i = 0; i < f.transport->phrases().size(); ++i)
        if (f.transport->phrases()[i].data.hasData()) ++heldRange;
    EXPECT_EQ(f.transport->phrases()[10].data.heldBytes(), 0u);
    EXPECT_LT(heldRange, 40u);
    EXPECT_LT(held, std::size_t(40) * 88200);  // 40 s of 16-bit mono sound at 44100 Hz
    f.runToEnd(130000);
    EXPECT_EQ(f.transport->state(), Transport::State::Idle);
    const std::vector<int16_t> out = f.engine.takeCaptured();
    for (const PlaybackPiece& p : want) {
        const uint64_t at = f.frameOf(p.startTick);
        ASSERT_LE(2 * (at + p.data.sampleCount()), out.size());
        // The stream ends on the MIDI file's last event, where the last phrase's fade still
        // has a few milliseconds to go (the whole render's play ended there too).
        const std::size_t count = &p == &want.back() ? p.data.sampleCount() - 1000 : p.data.sampleCount();
        std::size_t differing = 0, first = 0;
        for (std::size_t k = 0; k < count; ++k) {
            if (out[2 * (at + k)] != p.data.sample(k) && differing++ == 0) first = k;
        }
        EXPECT_EQ(differing, 0u) << "phrase at tick " << p.startTick << ", from sample " << first << " of "
                                 << p.data.sampleCount();
    }
    // The markers reached are those of the whole render.
    std::vector<TickedItem> ticks;
    for (std::size_t i = 0; i < want.size(); ++i) ticks.push_back({want[i].startTick, i});
    const std::vector<Marker> expected =
        buildMarkerList(0, std::max(f.map.songEndTick(), latest), {}, ticks, f.map.measures(), f.map.division());
    std::vector<uint32_t> reached;
    for (const auto& n : f.listener.notices)
        if (n.code == PositionCode::MarkerReached) reached.push_back(n.tick);
    EXPECT_EQ(reached, ticksOf(expected));
}

// An effect that holds one phrase back until it is let go.
class HeldEffect : public PhraseEffects {
public:
    std::atomic<int> seen{0};
    std::atomic<bool> release{false};
    int holdAt = 0;
    bool apply(const std::array<int32_t, 3>&, SoundBuffer&, uint32_t) override {
        if (seen++ == holdAt)
            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return true;
    }
};

TEST(Transport, APhraseRenderedTooLateIsLeftOutOnceAndTheSongPlaysOn) {
    std::vector<std::pair<uint32_t, uint32_t>> notes;
    for (uint32_t i = 0; i < 30; ++i) notes.push_back({960 + 960 * i, 960 * i + 1500});
    TransportFixture f({{0, 69, notes}}, 512);
    // The effect stage holds a phrase back. It sees every phrase only when they are all
    // rendered by the transport's own engine: workers render the phrases that name no effect.
    PhraseWorkers::setProcessWorkers(1);
    struct Reset {
        ~Reset() { PhraseWorkers::setProcessWorkers(0); }
    } reset;
    HeldEffect effect;
    effect.holdAt = 10;  // the phrase at 11 s
    f.synth.setEffects(&effect);
    LateListener late;
    f.transport->addListener(&late);
    f.engine.setCapture(true);
    ASSERT_TRUE(f.transport->playFromTop()) << f.transport->lastError();
    // The stream reaches the held phrase: the MIDI goes on without it, and stop and pause
    // answer meanwhile.
    f.run(12000);
    EXPECT_EQ(f.transport->state(), Transport::State::Playing);
    EXPECT_EQ(late.late, 1);
    ASSERT_TRUE(f.transport->pauseOrRestart());
    EXPECT_EQ(f.transport->state(), Transport::State::Paused);
    ASSERT_TRUE(f.transport->pauseOrRestart());
    effect.release = true;
    f.transport->setVocalWaits(true);  // from here on the clock waits for the render
    f.runToEnd(40000);
    EXPECT_EQ(f.transport->state(), Transport::State::Idle);
    EXPECT_EQ(late.late, 1);  // told once
    // The phrases after it sound again: the last one is in the output.
    const std::vector<int16_t> out = f.engine.takeCaptured();
    const uint64_t last = f.frameOf(960 + 960 * 29);
    bool sound = false;
    for (uint64_t k = last; k < last + 4410 && 2 * k < out.size(); ++k) sound = sound || std::abs(out[2 * k]) > 64;
    EXPECT_TRUE(sound);
    f.transport->removeListener(&late);
    f.synth.setEffects(nullptr);
}

}  // namespace
}  // namespace kantor

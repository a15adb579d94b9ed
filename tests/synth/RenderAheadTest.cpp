#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "midi/TempoMap.h"
#include "song/Song.h"
#include "song/VoxTrackBuilder.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"
#include "synth/PhraseWorkers.h"
#include "synth/RenderAhead.h"
#include "synth/SongRenderer.h"
#include "synth/SynthEngine.h"
#include "voice/VoiceBank.h"

namespace kantor {
namespace {

struct Note {
    int channel;
    uint32_t start, end;
    int group;
    int32_t offsetMs;  // the phrase's timing offset
};

// A song of one-note phrases on several channels, each phrase with its own group and timing
// offset, over a MIDI file at 120 beats a minute (960 ticks a second).
struct AheadFixture {
    test::TempDir dir;
    MidiFile midi;
    TempoMap map;
    Song song;
    VoiceBank bank;
    SynthEngine engine{bank, map};

    explicit AheadFixture(const std::vector<Note>& notes) {
        test::writeSyntheticVoice(dir.path(), "TestVox", {{"A", "あ", 69}, {"KA", "か", 60}});
        bank.setVoiceFolder(dir.path());
        SmfTrack t;
        t.tempo(0, 500000);
        for (const Note& n : notes) t.note(n.start, n.end, static_cast<uint8_t>(n.channel), 69, 100);
        EXPECT_TRUE(midi.loadImage(buildSmf(0, 480, {t}), dir.file("s.mid")));
        EXPECT_TRUE(map.build(midi));
        song.songDefaults().voiceName = "TestVox";
        std::array<bool, 16> made{};
        for (const Note& n : notes) {
            if (made[static_cast<std::size_t>(n.channel)]) continue;
            made[static_cast<std::size_t>(n.channel)] = true;
            EXPECT_TRUE(makeVoxChannel(song, midi.channel(n.channel), n.channel));
        }
        std::array<std::size_t, 16> next{};
        for (const Note& n : notes) {
            const std::size_t i = next[static_cast<std::size_t>(n.channel)]++;
            VoxEvent& e = *song.channel(n.channel).events[i];
            e.setCode(0, i % 3 == 1 ? "KA" : "A");
            e.syllableLength[0] = 1;
            e.phraseGroup = static_cast<uint16_t>(n.group);
            song.makePhraseHead(n.channel, i);
            if (n.offsetMs != 0) {
                VoiceSettings* s = song.phraseSettings(n.channel, e.phraseIndex);
                EXPECT_NE(s, nullptr);
                if (!s) continue;
                s->timingOffset = n.offsetMs;
                s->ownTiming = 1;
            }
        }
        song.setSongPath(dir.file("s.uta"));
    }

    // The pieces of the whole song rendered at once, as playing did before.
    std::vector<PlaybackPiece> whole() {
        SongRenderer renderer(song, engine);
        std::vector<PlaybackPiece> pieces;
        EXPECT_TRUE(renderer.renderSong(RenderRequest{}, pieces)) << renderer.lastError();
        return pieces;
    }

    // The pieces handed over by a render ahead of a playhead that moves by `stepMs`.
    std::vector<PlaybackPiece> ahead(uint32_t lookAheadMs, uint32_t stepMs, RenderAhead::Progress& last) {
        SongRenderer renderer(song, engine);
        RenderPlan plan;
        EXPECT_TRUE(renderer.planSong(RenderRequest{}, plan)) << renderer.lastError();
        RenderAhead a(engine, std::move(plan));
        a.start(0, lookAheadMs);
        std::vector<PlaybackPiece> pieces;
        for (uint32_t ms = 0;; ms += stepMs) {
            const uint32_t tick = ms * 960 / 1000;
            a.waitUntilSettled(tick);
            last = a.take(pieces);
            for (const PlaybackPiece& p : pieces) EXPECT_TRUE(p.data.hasData());
            if (last.complete || last.failed) break;
            // Nothing before the settled tick is still to come.
            EXPECT_TRUE(pieces.empty() || pieces.back().startTick <= last.settledTick);
            a.setPlayhead(tick);
        }
        return pieces;
    }
};

// The pieces with every stretch handed over in several pieces joined back into one.
std::vector<PlaybackPiece> joined(const std::vector<PlaybackPiece>& pieces) {
    std::vector<PlaybackPiece> out;
    for (const PlaybackPiece& p : pieces) {
        if (!p.follows || out.empty()) {
            PlaybackPiece c;
            c.data = p.data;
            c.startTick = p.startTick, c.startMs = p.startMs, c.durationMs = p.durationMs;
            out.push_back(std::move(c));
            continue;
        }
        PlaybackPiece& head = out.back();
        EXPECT_EQ(p.startTick, head.startTick);
        SoundBuffer both;
        EXPECT_TRUE(both.allocate(head.data.byteLength() + p.data.byteLength()));
        std::copy(head.data.bytes().begin(), head.data.bytes().end(), both.data());
        std::copy(p.data.bytes().begin(), p.data.bytes().end(), both.data() + head.data.byteLength());
        head.data = std::move(both);
        head.durationMs = p.durationMs;
    }
    return out;
}

void expectSamePieces(const std::vector<PlaybackPiece>& gotPieces, const std::vector<PlaybackPiece>& want) {
    const std::vector<PlaybackPiece> got = joined(gotPieces);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].startTick, want[i].startTick);
        EXPECT_EQ(got[i].startMs, want[i].startMs);
        EXPECT_EQ(got[i].durationMs, want[i].durationMs);
        ASSERT_EQ(got[i].data.byteLength(), want[i].data.byteLength());
        EXPECT_TRUE(std::equal(got[i].data.bytes().begin(), got[i].data.bytes().end(), want[i].data.bytes().begin()));
    }
}

// Phrases that overlap within a channel (two groups) and across channels, timing offsets
// that move phrases past their neighbours, and stretches of silence between.
std::vector<Note> busySong(int count) {
    std::vector<Note> notes;
    for (int i = 0; i < count; ++i) {
        const uint32_t at = 480 + uint32_t(i) * 700 + (i % 5 == 0 ? 3000 : 0) * uint32_t(i / 5);
        notes.push_back({0, at, at + 600, i % 2, i % 7 == 3 ? -400 : 0});
        if (i % 3 == 0) notes.push_back({2, at + 200, at + 900, 0, i % 4 == 0 ? 350 : 0});
    }
    std::stable_sort(notes.begin(), notes.end(), [](const Note& a, const Note& b) { return a.start < b.start; });
    return notes;
}

TEST(RenderAhead, HandsOverTheVeryPiecesOfTheWholeRender) {
    AheadFixture f(busySong(40));
    const std::vector<PlaybackPiece> want = f.whole();
    ASSERT_GT(want.size(), 20u);
    const uint32_t earliest = f.engine.earliestTick(), latest = f.engine.latestTick();
    // Taken in small steps behind a short look-ahead, and all at once.
    for (uint32_t lookAhead : {500u, 3000u, 1000000u}) {
        SCOPED_TRACE(lookAhead);
        RenderAhead::Progress last;
        expectSamePieces(f.ahead(lookAhead, 250, last), want);
        EXPECT_TRUE(last.complete);
        EXPECT_EQ(last.late, 0u);
        EXPECT_EQ(last.earliestTick, earliest);
        EXPECT_EQ(last.latestTick, latest);
    }
}

TEST(RenderAhead, AMidiDelayCorrectionMovesThePiecesAsTheWholeRenderDoes) {
    AheadFixture f(busySong(15));
    f.engine.setMidiDelayCorrection(-120);
    const std::vector<PlaybackPiece> want = f.whole();
    RenderAhead::Progress last;
    expectSamePieces(f.ahead(800, 300, last), want);
}

TEST(RenderAhead, TheFirstSecondsAreReadyLongBeforeTheRest) {
    // Five minutes of phrases: the worker waits for the playhead instead of rendering them all.
    std::vector<Note> notes;
    for (uint32_t i = 0; i < 300; ++i) notes.push_back({0, 960 * i, 960 * i + 600, 0, 0});
    AheadFixture f(notes);
    SongRenderer renderer(f.song, f.engine);
    RenderPlan plan;
    ASSERT_TRUE(renderer.planSong(RenderRequest{}, plan));
    RenderAhead a(f.engine, std::move(plan));
    a.start(0, 10000);
    a.waitUntilSettled(4 * 960);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::vector<PlaybackPiece> pieces;
    const RenderAhead::Progress p = a.take(pieces);
    EXPECT_FALSE(p.complete);
    EXPECT_GE(p.settledTick, 4u * 960);
    pieces = joined(pieces);
    EXPECT_GE(pieces.size(), 4u);
    EXPECT_LE(pieces.size(), 16u);  // about ten seconds ahead, and no more
    // Cancelling stops the worker at once.
    a.cancel();
}

// An effect stage that holds one phrase back until it is let go.
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

TEST(RenderAhead, APieceForcedPastIsDroppedAsLateAndTheRestFollows) {
    std::vector<Note> notes;
    for (uint32_t i = 0; i < 20; ++i) notes.push_back({0, 960 + 960 * i, 960 * i + 1500, 0, 0});
    AheadFixture f(notes);
    // The effect stage holds a phrase back. It sees every phrase only when they are all
    // rendered by the engine itself: workers render the phrases that name no effect.
    PhraseWorkers::setProcessWorkers(1);
    struct Reset {
        ~Reset() { PhraseWorkers::setProcessWorkers(0); }
    } reset;
    HeldEffect effect;
    effect.holdAt = 6;  // the phrase at 7 s
    f.engine.setEffects(&effect);
    const std::vector<PlaybackPiece> want = [&] {
        effect.release = true;
        auto w = f.whole();
        effect.release = false;
        effect.seen = 0;
        return w;
    }();
    SongRenderer renderer(f.song, f.engine);
    RenderPlan plan;
    ASSERT_TRUE(renderer.planSong(RenderRequest{}, plan));
    RenderAhead a(f.engine, std::move(plan));
    a.start(0, 1000000);
    a.waitUntilSettled(2 * 960);  // the held phrase may start from 3 s on: nothing after it is settled
    std::vector<PlaybackPiece> pieces;
    // The stream needs the markers up to 9 s: the held phrase is late.
    RenderAhead::Progress p = a.force(9 * 960, pieces);
    EXPECT_GE(p.settledTick, 9u * 960);
    effect.release = true;
    std::size_t late = p.late;
    do {
        a.waitUntilSettled(0xFFFFFFFFu);
        p = a.take(pieces);
        late += p.late;
    } while (!p.complete);
    f.engine.setEffects(nullptr);
    pieces = joined(pieces);
    // Every piece from 9 s on is there as before; of those before it only the ones rendered
    // in time, and the held one is counted late.
    EXPECT_GE(late, 1u);
    std::size_t w = 0;
    for (const PlaybackPiece& got : pieces) {
        while (w < want.size() && want[w].startTick != got.startTick) {
            EXPECT_LT(want[w].startTick, 9u * 960) << "only a piece due before the forced tick may be missing";
            ++w;
        }
        ASSERT_LT(w, want.size());
        EXPECT_TRUE(std::equal(got.data.bytes().begin(), got.data.bytes().end(), want[w].data.bytes().begin()));
        ++w;
    }
    EXPECT_EQ(pieces.size() + late, want.size());
}

}  // namespace
}  // namespace kantor

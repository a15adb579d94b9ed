// The pitch line the score draws against what the synthesis is given to sing: the same
// syllables, placed at the same times, with the same curves.
#include <gtest/gtest.h>

#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "midi/TempoMap.h"
#include "song/PitchLine.h"
#include "song/Song.h"
#include "song/VoxTrackBuilder.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"
#include "synth/SongRenderer.h"
#include "synth/SynthEngine.h"
#include "voice/VoiceBank.h"

namespace kantor {
namespace {

struct Fixture {
    test::TempDir dir;
    MidiFile midi;
    TempoMap map;
    Song song;
    VoiceBank bank;
    SynthEngine engine{bank, map};

    // Notes (start, end, key) on channel 1, a tempo change half way.
    explicit Fixture(const std::vector<std::tuple<uint32_t, uint32_t, int>>& notes) {
        test::writeSyntheticVoice(dir.path(), "TestVox", {{"A", "あ", 69}, {"KA", "か", 69}});
        bank.setVoiceFolder(dir.path());
        SmfTrack t;
        t.tempo(0, 500000).tempo(3840, 400000);
        for (auto [s, e, key] : notes) t.note(s, e, 0, key, 100);
        EXPECT_TRUE(midi.loadImage(buildSmf(0, 480, {t}), dir.file("s.mid")));
        EXPECT_TRUE(map.build(midi));
        song.songDefaults().voiceName = "TestVox";
        EXPECT_TRUE(makeVoxChannel(song, midi.channel(0), 0));
        song.setSongPath(dir.file("s.uta"));
    }
    VoxEvent& note(std::size_t i) { return *song.channel(0).events[i]; }
    void sing(std::size_t i, std::initializer_list<std::pair<const char*, uint16_t>> slots) {
        int s = 0;
        for (auto [code, weight] : slots) {
            note(i).setCode(s, code);
            note(i).syllableLength[std::size_t(s)] = weight;
            ++s;
        }
    }
    void set(std::size_t i, const NoteExpression& e) {
        std::string error;
        NoteExpression v = e;
        ASSERT_TRUE(setNoteExpression(song, 0, i, i, v, 0, error)) << error;
    }
    // What a whole-song render hands the synthesis, note by note.
    std::vector<SynthNote> planned(ExpressionMode mode) {
        engine.setExpressionMode(mode);
        SongRenderer renderer(song, engine);
        RenderPlan plan;
        EXPECT_TRUE(renderer.planSong(RenderRequest{}, plan)) << renderer.lastError();
        std::vector<SynthNote> out;
        for (const PhraseJob& j : plan.jobs)
            for (const SynthNote& n : j.notes)
                if (!n.code.empty()) out.push_back(n);
        return out;
    }
};

void expectSameCurve(const ExpressionCurve& a, const ExpressionCurve& b) {
    EXPECT_EQ(a.detuneCents, b.detuneCents);
    EXPECT_EQ(a.glideFromCents, b.glideFromCents);
    EXPECT_EQ(a.glideMs, b.glideMs);
    EXPECT_EQ(a.vibratoDepthCents, b.vibratoDepthCents);
    EXPECT_EQ(a.vibratoRateHz, b.vibratoRateHz);
    EXPECT_EQ(a.vibratoDelayMs, b.vibratoDelayMs);
    EXPECT_EQ(a.vibratoFadeMs, b.vibratoFadeMs);
    EXPECT_EQ(a.timeShiftMs, b.timeShiftMs);
}

TEST(PitchLine, EverySyllableAsTheSynthesisIsGivenIt) {
    // Two phrases of group A around a phrase of group B, touching and parted notes, notes of
    // several syllables, an empty slot, a note with no syllable, and a tempo change.
    Fixture f({{0, 480, 69}, {480, 1440, 72}, {1440, 1920, 67}, {2400, 4320, 69}, {4320, 4800, 74},
               {4800, 6720, 71}, {6720, 7200, 69}});
    f.sing(0, {{"A", 1}});
    f.sing(1, {{"KA", 1}, {"A", 2}});
    f.sing(2, {{"A", 1}, {"", 0}, {"KA", 1}});
    // note 3 sings nothing
    f.sing(4, {{"A", 1}});
    f.sing(5, {{"KA", 3}, {"A", 1}});
    f.sing(6, {{"A", 1}});
    f.song.makePhraseHead(0, 0);
    f.song.makePhraseHead(0, 4);
    f.note(5).phraseGroup = 1;
    f.note(6).phraseGroup = 1;
    f.song.makePhraseHead(0, 5);
    // Values of the notes' own, the channel's and the song's.
    NoteExpression vib;
    vib.mark(NoteValue::Vibrato, true);
    vib.vibratoDepthCents = 60;
    vib.vibratoRateCentiHz = 600;
    vib.vibratoDelayMs = 100;
    vib.vibratoFadeMs = 50;
    f.set(1, vib);
    NoteExpression moved;
    moved.mark(NoteValue::Time, true);
    moved.timeMs = -40;
    moved.mark(NoteValue::Pitch, true);
    moved.detuneCents = 25;
    f.set(2, moved);
    NoteExpression channel;
    channel.mark(NoteValue::Smoothing, true);
    channel.smoothingMs = 90;
    setNoteDefaults(f.song.channelDefaults(0), channel);
    NoteExpression song;
    song.mark(NoteValue::Attack, true);
    song.attackCs = 5;
    setNoteDefaults(f.song.songDefaults(), song);

    for (ExpressionMode mode : {ExpressionMode::Off, ExpressionMode::Auto}) {
        SCOPED_TRACE(mode == ExpressionMode::Auto ? "auto" : "off");
        const std::vector<SynthNote> want = f.planned(mode);
        const std::vector<SungSyllable> line = pitchLineOf(f.song, 0, f.map, mode);
        ASSERT_EQ(line.size(), want.size());
        ASSERT_EQ(line.size(), 9u);
        bool glides = false, vibrato = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(line[i].startMs, want[i].startMs);
            EXPECT_EQ(line[i].lengthMs, want[i].lengthMs);
            EXPECT_EQ(line[i].key, want[i].pitch);
            const VoxEvent* e = f.song.event(0, line[i].event);
            ASSERT_NE(e, nullptr);
            EXPECT_EQ(e->codeText(line[i].slot), want[i].code);
            expectSameCurve(line[i].curve, want[i].curve);
            glides = glides || line[i].curve.glideMs > 0;
            vibrato = vibrato || line[i].curve.vibratoDepthCents > 0;
        }
        EXPECT_TRUE(glides);
        EXPECT_TRUE(vibrato);
        // The detune and the moved onset are the note's own.
        EXPECT_EQ(line[3].event, 2u);
        EXPECT_EQ(line[3].soundStartMs(), int64_t(line[3].startMs) - 40);
        EXPECT_EQ(line[3].centsAt(0), 25 + line[3].curve.centsAt(0));
    }
}

TEST(PitchLine, NothingForAChannelThatIsNotSung) {
    Fixture f({{0, 480, 69}});
    EXPECT_TRUE(pitchLineOf(f.song, 1, f.map, ExpressionMode::Auto).empty());
    EXPECT_TRUE(pitchLineOf(f.song, 16, f.map, ExpressionMode::Auto).empty());
    EXPECT_TRUE(pitchLineOf(f.song, -1, f.map, ExpressionMode::Auto).empty());
    // No phrase head yet: nothing is sung.
    f.sing(0, {{"A", 1}});
    EXPECT_TRUE(pitchLineOf(f.song, 0, f.map, ExpressionMode::Auto).empty());
}

}  // namespace
}  // namespace kantor

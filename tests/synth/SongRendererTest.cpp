#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "midi/TempoMap.h"
#include "song/Song.h"
#include "song/VoxTrackBuilder.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"
#include "synth/SongRenderer.h"
#include "synth/SynthEngine.h"
#include "voice/VoiceBank.h"

namespace kantor {
namespace {

// A song of one channel over a MIDI file, with a voice folder holding a synthetic voice.
struct Fixture {
    test::TempDir dir;
    MidiFile midi;
    TempoMap map;
    Song song;
    VoiceBank bank;
    SynthEngine engine{bank, map};

    explicit Fixture(const std::vector<std::pair<uint32_t, uint32_t>>& notes, int key = 71) {
        test::writeSyntheticVoice(dir.path(), "TestVox", {{"A", "あ", 69}, {"KA", "か", 60}, {"KA", "か", 64}});
        bank.setVoiceFolder(dir.path());
        SmfTrack t;
        t.tempo(0, 500000);
        for (auto [s, e] : notes) t.note(s, e, 0, key, 100);
        EXPECT_TRUE(midi.loadImage(buildSmf(0, 480, {t}), dir.file("s.mid")));
        EXPECT_TRUE(map.build(midi));
        song.songDefaults().voiceName = "TestVox";
        EXPECT_TRUE(makeVoxChannel(song, midi.channel(0), 0));
        song.setSongPath(dir.file("s.uta"));
    }
    VoxEvent& note(std::size_t i) { return *song.channel(0).events[i]; }
    void sing(std::size_t i, const char* code, bool head) {
        note(i).setCode(0, code);
        note(i).syllableLength[0] = 1;
        if (head) song.makePhraseHead(0, i);
    }
};

// The one syllable "A" sung at key 71 from a sample recorded at key 69, worked out here
// step by step from the rules of singing: pitch shift by dropping samples, the loop
// between the scaled markers C and D repeated with a level glide, the tail, the end fade.
std::vector<int16_t> referenceSyllable(const std::vector<int16_t>& x, uint32_t markerB, uint32_t markerC,
                                       uint32_t markerD, uint32_t lengthMs, uint32_t& leadBytes) {
    const uint64_t fs = 220000;
    const uint64_t ft = static_cast<uint64_t>(220000.0 * 1.0595 * 1.0595 + 0.5);
    const uint64_t L = x.size() * 2;
    const uint64_t E = static_cast<uint64_t>(static_cast<long double>(L) * fs / ft) / 2 * 2;
    std::vector<int16_t> shifted;
    uint64_t acc = ft;
    std::size_t i = 0;
    while (i < x.size() && shifted.size() < E / 2) {
        if (acc >= ft) {
            for (uint64_t n = acc / ft; n > 0 && i < x.size() && shifted.size() < E / 2; --n) shifted.push_back(x[i++]);
            acc %= ft;
        } else {
            ++i;
        }
        acc += fs;
    }
    auto scale = [&](uint64_t m) { return static_cast<uint64_t>(static_cast<long double>(m) * fs / ft) / 2 * 2; };
    const uint64_t N = static_cast<uint64_t>(lengthMs * 88200ull / 1000) / 2 * 2;
    const uint64_t Lb = scale(markerB), Lc = scale(markerC) / 2, Ld = scale(markerD) / 2;
    leadBytes = static_cast<uint32_t>(Lb);
    const std::size_t T = (Lb + N) / 2, P = shifted.size();
    EXPECT_LT(P, T);  // the fixture's note needs the loop
    std::vector<int16_t> y(shifted.begin(), shifted.begin() + static_cast<long>(Lc));
    const std::size_t loop = Ld - Lc;
    const std::size_t count = (T - P + loop) / loop;
    for (std::size_t r = 0; r < count; ++r) y.insert(y.end(), shifted.begin() + static_cast<long>(Lc), shifted.begin() + static_cast<long>(Ld));
    auto glide = [&](std::size_t first, std::size_t last) {
        const std::size_t p = 44100000 / ft;
        if (last - first < 3 * p) return;
        auto mean = [&](std::size_t a, std::size_t n) {
            long double s = 0;
            for (std::size_t k = a; k < a + n; ++k) s += std::abs(static_cast<int>(y[k]));
            return s / n;
        };
        const long double a = mean(first, 3 * p), z = mean(last - 3 * p, 3 * p);
        const std::size_t K = (last - first) / p;
        for (std::size_t k = 0; k < K; ++k) {
            const long double own = mean(first + k * p, p);
            if (own == 0) continue;
            const long double f = (a + (z - a) * k / K) / own;
            for (std::size_t m = first + k * p; m < first + (k + 1) * p; ++m) {
                long double v = std::trunc(y[m] * f);
                y[m] = static_cast<int16_t>(std::clamp(v, -32768.0L, 32767.0L));
            }
        }
    };
    if (count > 1) glide(Lc, y.size());
    const std::size_t tail = T - y.size();
    const std::size_t from = (P - Ld >= tail) ? Ld : Lc;
    const std::size_t tailStart = y.size();
    y.insert(y.end(), shifted.begin() + static_cast<long>(from), shifted.begin() + static_cast<long>(from + tail));
    glide(tailStart, y.size());
    // End fade over n/13 bytes before the trailing zeros.
    std::size_t n = y.size();
    while (n > 0 && y[n - 1] == 0) --n;
    const std::size_t a = std::min<std::size_t>((n * 2 / 13) / 2 * 2, 1000);
    for (std::size_t k = 0; k < a / 2; ++k) {
        int16_t& s = y[n - a / 2 + k];
        s = static_cast<int16_t>(static_cast<int32_t>(s) * static_cast<int32_t>(a - 2 * k) / static_cast<int32_t>(a));
    }
    return y;
}

TEST(SongRenderer, OneSyllableMatchesTheRulesSampleForSample) {
    Fixture f({{1920, 3840}});
    f.sing(0, "A", true);
    SongRenderer renderer(f.song, f.engine);
    RenderRequest r;
    std::vector<PlaybackPiece> pieces;
    ASSERT_TRUE(renderer.renderSong(r, pieces)) << renderer.lastError();
    ASSERT_EQ(pieces.size(), 1u);

    std::vector<int16_t> sample = test::syntheticSyllableSound(69, 440000, 2205, 44100, 1);
    uint32_t lead = 0;
    std::vector<int16_t> expected = referenceSyllable(sample, 2 * 2205, 2 * (2205 + 11025), 2 * (2205 + 22050), 2000, lead);
    const uint32_t leadMs = static_cast<uint32_t>(lead * 1000.0 / 88200 + 0.5);
    EXPECT_EQ(pieces[0].startMs, 2000 - leadMs);
    // The phrase starts earlier by the lead-in, in ticks of the tempo (960 ticks a second).
    EXPECT_EQ(pieces[0].startTick, 1920 - static_cast<uint32_t>(leadMs * 960 / 1000));
    std::vector<int16_t> got = pieces[0].data.samples();
    ASSERT_GE(got.size() + 2, expected.size());
    const std::size_t n = std::min(got.size(), expected.size());
    for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(got[i], expected[i]) << "sample " << i;
}

TEST(SongRenderer, KeepingFormantsSingsTheSameNoteOtherwiseAndFindsMarksOnlyWhenSinging) {
    Fixture f({{1920, 3840}});
    f.sing(0, "A", true);
    auto render = [&](PitchMode mode) {
        f.engine.setPitchMode(mode);
        SongRenderer renderer(f.song, f.engine);
        RenderRequest r;
        std::vector<PlaybackPiece> pieces;
        EXPECT_TRUE(renderer.renderSong(r, pieces)) << renderer.lastError();
        EXPECT_EQ(pieces.size(), 1u);
        return pieces.empty() ? PlaybackPiece{} : std::move(pieces[0]);
    };
    const PlaybackPiece designed = render(PitchMode::Resample);
    const Voice* voice = f.bank.findVoice("TestVox");
    ASSERT_NE(voice, nullptr);
    // Loading the voice and singing it as designed find no marks.
    for (const auto& sample : voice->samples) EXPECT_EQ(sample->pitchMarks, nullptr);

    const PlaybackPiece kept = render(PitchMode::KeepFormants);
    const VoiceSample* a = f.bank.findSampleForNote(*voice, "A", 71);
    ASSERT_NE(a->pitchMarks, nullptr);
    EXPECT_GT(a->pitchMarks->positions.size(), 100u);
    const SamplePitchMarks* found = a->pitchMarks.get();
    // The consonant is the lead-in unscaled: 2205 samples, 50 ms.
    EXPECT_EQ(kept.startMs, 2000u - 50u);
    EXPECT_NE(kept.data.samples(), designed.data.samples());
    EXPECT_NEAR(double(kept.data.byteLength()), double(designed.data.byteLength()), 88200 * 0.02);

    // Sung again, the marks are those kept; and the designed synthesis is unchanged.
    render(PitchMode::KeepFormants);
    EXPECT_EQ(a->pitchMarks.get(), found);
    const PlaybackPiece again = render(PitchMode::Resample);
    EXPECT_EQ(again.data.samples(), designed.data.samples());
    EXPECT_EQ(again.startMs, designed.startMs);
}

TEST(SongRenderer, SlotsShareTheNoteAndSamplesAreChosenByPitch) {
    Fixture f({{0, 960}}, 62);
    VoxEvent& e = f.note(0);
    e.setCode(0, "ka");
    e.setCode(2, "KA");
    e.syllableLength = {1, 0, 1, 0};
    f.song.makePhraseHead(0, 0);
    std::vector<SynthNote> notes;
    ASSERT_TRUE(f.engine.buildNoteList({&e}, f.song.resolvePhraseSettings(0, e.phraseIndex), notes));
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].lengthMs, 500u);
    EXPECT_EQ(notes[1].lengthMs, 500u);
    EXPECT_EQ(notes[1].startMs, 500u);
    ASSERT_TRUE(f.bank.ensureVoiceLoaded("TestVox"));
    const Voice* v = f.bank.findVoice("TestVox");
    EXPECT_EQ(f.bank.findSampleForNote(*v, "ka", 62)->pitch, 60u);  // a tie: the first
    EXPECT_EQ(f.bank.findSampleForNote(*v, "KA", 63)->pitch, 64u);
}

TEST(SongRenderer, RangesMutesAndUnknownVoices) {
    Fixture f({{0, 480}, {480, 960}, {960, 1440}, {1440, 1920}});
    f.sing(0, "A", true);
    f.sing(1, "A", false);
    f.sing(2, "A", true);
    f.sing(3, "A", false);
    SongRenderer renderer(f.song, f.engine);
    std::vector<PlaybackPiece> pieces;
    RenderRequest r;
    EXPECT_EQ(renderer.countPhrases(r), 2);
    // A range starting inside the first phrase renders it from its first note in range.
    r.startTick = 480;
    EXPECT_EQ(renderer.countPhrases(r), 2);
    ASSERT_TRUE(renderer.renderSong(r, pieces));
    ASSERT_FALSE(pieces.empty());
    EXPECT_GE(pieces[0].startMs + 60, 500u);
    r.voxMuted[0] = true;
    EXPECT_EQ(renderer.countPhrases(r), 0);
    pieces.clear();
    ASSERT_TRUE(renderer.renderSong(r, pieces));
    EXPECT_TRUE(pieces.empty());

    f.song.songDefaults().voiceName = "Nobody";
    r.voxMuted[0] = false;
    EXPECT_FALSE(renderer.renderSong(r, pieces));
    EXPECT_FALSE(renderer.lastError().empty());
}

// A note lengthened over the next one (the note length window allows it up to the last
// bar): both notes are sung, mixed where they sound together as any two overlapping
// syllables are, and the longer one is heard to its own end.
TEST(SongRenderer, OverlappingNotesAreMixedAndTheLongerOneIsHeardToItsEnd) {
    // Note 0 runs 0..1440 over note 1 (480..960); `sung` says which of the two sing.
    auto render = [](bool first, bool second, PlaybackPiece& out) {
        Fixture f({{0, 480}, {480, 960}});
        f.song.makePhraseHead(0, 0);
        f.note(0).endTick = 1440;
        if (first) f.sing(0, "A", false);
        if (second) f.sing(1, "KA", false);
        SongRenderer renderer(f.song, f.engine);
        RenderRequest r;
        std::vector<PlaybackPiece> pieces;
        ASSERT_TRUE(renderer.renderSong(r, pieces)) << renderer.lastError();
        ASSERT_EQ(pieces.size(), 1u);
        out = std::move(pieces[0]);
    };
    PlaybackPiece both, a, b;
    render(true, true, both);
    render(true, false, a);
    render(false, true, b);
    // Sample k after a song time in milliseconds (44100 Hz mono).
    struct Sound {
        uint32_t startMs;
        std::vector<int16_t> s;
    };
    const Sound sBoth{both.startMs, both.data.samples()}, sA{a.startMs, a.data.samples()}, sB{b.startMs, b.data.samples()};
    auto at = [](const Sound& p, uint32_t ms, std::size_t k) -> int {
        const std::size_t i = static_cast<std::size_t>((ms - p.startMs) * 88200ull / 1000 / 2) + k;
        return i < p.s.size() ? p.s[i] : 0;
    };
    ASSERT_EQ(both.startMs, a.startMs);  // note 0 starts the phrase either way
    // Where both sound (600..900 ms) the phrase is their mix: the sum over the square root
    // of 2. (Note 1 lies a little off between the two renders: the mixer places a sound by
    // its start in milliseconds from its group's start, and the groups start apart.)
    int best = 1 << 30;
    long double energyA = 0, energyB = 0;
    for (int shift = -64; shift <= 64; ++shift) {
        int worst = 0;
        for (std::size_t k = 64; k < 300 * 441 / 10; ++k) {
            const int x = at(sA, 600, k), y = at(sB, 600, std::size_t(int(k) + shift)), z = at(sBoth, 600, k);
            const long double mixed = std::clamp<long double>((x + y) / std::sqrt(2.0L), -32768, 32767);
            worst = std::max(worst, std::abs(z - static_cast<int>(mixed)));
            if (shift == 0) {
                energyA += std::abs(x);
                energyB += std::abs(y);
            }
        }
        best = std::min(best, worst);
    }
    EXPECT_LE(best, 1);
    EXPECT_GT(energyA / (300 * 44.1L), 500);
    EXPECT_GT(energyB / (300 * 44.1L), 500);
    // After note 1 (1100..1400 ms) note 0 goes on alone, as it sounds without note 1.
    long double tail = 0;
    for (std::size_t k = 0; k < 300 * 441 / 10; ++k) {
        ASSERT_EQ(at(sBoth, 1100, k), at(sA, 1100, k)) << "sample " << k;
        tail += std::abs(at(sBoth, 1100, k));
    }
    EXPECT_GT(tail / (300 * 44.1L), 500);
    EXPECT_GE(both.startMs + both.durationMs, 1440u * 1000 / 960);
}

}  // namespace
}  // namespace kantor

#include "sound/WavFile.h"

namespace kantor {
namespace {

std::string writeWave(const test::TempDir& dir, const std::string& name, uint32_t packed, uint32_t rate,
                      const std::vector<int16_t>& samples) {
    std::vector<SoundEntry> pieces(1);
    pieces[0].data = SoundBuffer::fromSamples(samples);
    WavWriter writer;
    EXPECT_TRUE(writer.writeSoundList(dir.file(name), pieces, packed, rate)) << writer.lastError();
    return dir.file(name);
}

TEST(SongRenderer, InsertedWavesJoinTheMix) {
    Fixture f({{0, 480}});
    // A stereo 22050 Hz wave, left 1000 and right 3000, at tick 960 (one second in).
    std::vector<int16_t> stereo;
    for (int i = 0; i < 2205; ++i) stereo.insert(stereo.end(), {1000, 3000});
    writeWave(f.dir, "stereo.wav", packFormat(16, 2), 22050, stereo);
    WaveInsert w;
    w.position = 960;
    w.setPath(f.dir.file("stereo.wav"));
    w.waveValue1 = packFormat(16, 2);
    w.waveValue2 = 22050;
    ASSERT_TRUE(f.song.putWaveInsert(w));
    // An 8-bit wave in a 16-bit song, and a missing file, are left out without a word.
    writeWave(f.dir, "eight.wav", packFormat(8, 1), 22050, std::vector<int16_t>(100, 0x7F7F));
    WaveInsert eight;
    eight.position = 0;
    eight.setPath(f.dir.file("eight.wav"));
    eight.waveValue1 = packFormat(8, 1);
    eight.waveValue2 = 22050;
    ASSERT_TRUE(f.song.putWaveInsert(eight));
    WaveInsert missing;
    missing.position = 100;
    missing.setPath(f.dir.file("missing.wav"));
    ASSERT_TRUE(f.song.putWaveInsert(missing));

    SongRenderer renderer(f.song, f.engine);
    RenderRequest r;
    r.includeWaves = true;
    std::vector<PlaybackPiece> pieces;
    ASSERT_TRUE(renderer.renderSong(r, pieces)) << renderer.lastError();
    ASSERT_EQ(pieces.size(), 1u);  // the two channels sound together: one mixed piece
    EXPECT_EQ(pieces[0].startTick, 960u);
    EXPECT_EQ(pieces[0].startMs, 1000u);
    EXPECT_EQ(pieces[0].data.byteLength(), 2u * 4410);  // 0.1 s at 44100 Hz
    EXPECT_EQ(pieces[0].data.sample(100), static_cast<int16_t>(4000 / std::sqrt(2.0L)));

    // Without the flag the waves stay out.
    pieces.clear();
    r.includeWaves = false;
    ASSERT_TRUE(renderer.renderSong(r, pieces));
    EXPECT_TRUE(pieces.empty());
}

}  // namespace
}  // namespace kantor

#include "base/FileIO.h"

namespace kantor {
namespace {

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::vector<uint8_t> b;
    EXPECT_EQ(readWholeFile(path, b), ReadStatus::Ok) << path;
    return b;
}

TEST(SongRenderer, TheSpooledExportWritesTheSameFileAsTheRenderInMemory) {
    // Two phrase groups whose phrases overlap one another, and a phrase alone later on.
    Fixture f({{0, 960}, {480, 1440}, {1920, 2400}, {2000, 2880}, {4800, 5000}});
    const char* codes[] = {"A", "KA", "A", "KA", "A"};
    for (std::size_t i = 0; i < 5; ++i) {
        f.note(i).phraseGroup = (i == 1 || i == 3) ? 1 : 0;
        f.sing(i, codes[i], true);
    }
    SongRenderer renderer(f.song, f.engine);
    RenderRequest r;
    r.outputPath = f.dir.file("memory.wav");
    std::vector<PlaybackPiece> pieces;
    ASSERT_TRUE(renderer.renderSong(r, pieces)) << renderer.lastError();
    ASSERT_GE(pieces.size(), 2u);  // overlapping phrases mixed together
    const uint32_t earliest = f.engine.earliestTick();
    r.outputPath = f.dir.file("spooled.wav");
    int reported = 0;
    ASSERT_TRUE(renderer.renderSongToFile(r, [&](int done, int total) { reported = done == total ? done : -1; }))
        << renderer.lastError();
    EXPECT_EQ(reported, 5);
    EXPECT_EQ(f.engine.earliestTick(), earliest);
    EXPECT_EQ(fileBytes(f.dir.file("spooled.wav")), fileBytes(f.dir.file("memory.wav")));
    // The same when every phrase goes to the spool file.
    SongRenderer::setSpoolMemoryForTesting(0);
    r.outputPath = f.dir.file("disk.wav");
    const bool onDisk = renderer.renderSongToFile(r);
    SongRenderer::setSpoolMemoryForTesting(uint64_t(8) << 20);
    ASSERT_TRUE(onDisk) << renderer.lastError();
    EXPECT_EQ(fileBytes(f.dir.file("disk.wav")), fileBytes(f.dir.file("memory.wav")));
    // No spool file is left behind.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(f.dir.path())) files += e.path().extension() == ".wav";
    EXPECT_EQ(files, 3);
}

TEST(SongRenderer, AnExportWithNothingToSingLeavesAnExistingFileAlone) {
    Fixture f({{0, 960}});
    f.sing(0, "A", true);
    const std::string out = f.dir.file("out.wav");
    const std::vector<uint8_t> precious = {'P', 'R', 'E', 'C', 'I', 'O', 'U', 'S'};
    f.dir.write("out.wav", precious);
    SongRenderer renderer(f.song, f.engine);
    RenderRequest r;
    r.startTick = 999999;
    r.outputPath = out;
    std::vector<PlaybackPiece> pieces;
    EXPECT_FALSE(renderer.renderSong(r, pieces));
    EXPECT_EQ(renderer.lastError(), kNothingToSing);
    EXPECT_FALSE(renderer.renderSongToFile(r));
    EXPECT_EQ(renderer.lastError(), kNothingToSing);
    EXPECT_EQ(fileBytes(out), precious);
}

}  // namespace
}  // namespace kantor

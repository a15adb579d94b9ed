// Listening and preview: the notes are the build's segment sung by the syllable shifter
// and faded, placed on the beat grid with their consonant ahead and the delay correction
// added, and what the wave output plays is that block from the performance marker.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/AudioEngine.h"
#include "platform/EngineWave.h"
#include "platform/NotificationQueue.h"
#include "platform/VirtualMidiStream.h"
#include "SyntheticVowel.h"
#include "synth/NoteFrequency.h"
#include "synth/RateConverter.h"
#include "sound/SoundFormat.h"
#include "synth/SoundPrimitives.h"
#include "synth/SyllableShifter.h"
#include "voicemaker/MakerListening.h"
#include "voicemaker/MakerTexts.h"

namespace kantor {
namespace {

VoiceItem vowelItem(int pitch, double f0) {
    VoiceItem item = *VoiceItem::make("A", "あ", pitch);
    test::SyntheticVowel v;
    v.f0 = f0;
    v.vowel = 1.4;
    EXPECT_TRUE(setItemSound(item, v.render(2.0)));
    item.setMarkers({10000, 14000, 22000, 30000});
    item.normalize = 0;
    item.volume = 150;
    return item;
}

// The note as the Part's arithmetic gives it, computed here from the primitives.
SoundBuffer expectedNote(const VoiceItem& item, int note, uint32_t ms, uint32_t rate, uint32_t& leadIn) {
    const uint32_t a = item.markerA * 2, b = item.markerB * 2;
    const uint32_t end = std::min<uint32_t>(item.dataLength(), b + 88200);
    SoundBuffer seg;
    seg.assign(item.data.bytes().subspan(a, end - a));
    applyVolume(seg, item.volume);
    if (rate != 44100) {
        convertRate(kMono16, 44100, seg, rate);
        convertRate(kMono16, rate, seg, 44100);
    }
    SyllableShiftInput in;
    in.sampleFrequency = noteFrequency(item.pitchNumber, 440000);
    in.targetFrequency = noteFrequency(uint32_t(note), 440000);
    in.neededBytes = bytesForMilliseconds(kMono16, 44100, ms);
    in.sample = &seg;
    in.markerB = b - a;
    in.markerC = (item.markerC - item.markerA) * 2;
    in.markerD = (item.markerD - item.markerA) * 2;
    SyllableShiftOutput out;
    EXPECT_TRUE(shiftSyllable(in, out));
    fadeOutEnd(out.sound);
    leadIn = out.leadInBytes;
    return std::move(out.sound);
}

// The block is the notes at their offsets, summed and saturated.
void expectBlockOfNotes(const Performance& p, const std::vector<SoundBuffer>& notes) {
    ASSERT_EQ(p.notes.size(), notes.size());
    std::vector<int> sum(p.block.sampleCount(), 0);
    for (std::size_t k = 0; k < notes.size(); ++k) {
        const std::size_t base = p.notes[k].blockOffset / 2;
        ASSERT_LE(base + notes[k].sampleCount(), sum.size());
        for (std::size_t i = 0; i < notes[k].sampleCount(); ++i) sum[base + i] += notes[k].sample(i);
    }
    for (std::size_t i = 0; i < sum.size(); ++i)
        ASSERT_EQ(p.block.sample(i), std::clamp(sum[i], -32768, 32767)) << i;
}

TEST(MakerListeningTest, TransposeTables) {
    EXPECT_EQ(transposeStep(Transpose::None, 5), 0);
    std::vector<int> up, down;
    for (int k = 0; k < 8; ++k) {
        up.push_back(transposeStep(Transpose::Upstairs, k));
        down.push_back(transposeStep(Transpose::Downstairs, k));
    }
    EXPECT_EQ(up, (std::vector<int>{0, 2, 4, 5, 7, 9, 11, 12}));
    EXPECT_EQ(down, (std::vector<int>{0, -1, -3, -5, -7, -8, -10, -12}));
}

TEST(MakerListeningTest, ListeningSingsEachItemAtItsPitchAfterTheOutputRate) {
    VoiceItem lo = vowelItem(60, 130.8), hi = vowelItem(67, 196.0);
    VoiceItem blank;
    VoiceItem noProps = vowelItem(62, 150.0);
    noProps.setMarkers({});
    MakerSound sound;
    Performance p;
    ASSERT_TRUE(sound.listening({&lo, &blank, &noProps, &hi}, 440000, 11025, 2, 0, p)) << sound.lastError();
    ASSERT_EQ(p.notes.size(), 2u);
    // "4 beat (2sec)": four-beat notes six beats apart, the first four beats in.
    EXPECT_EQ(p.notes[0].noteTick, 1920u);
    EXPECT_EQ(p.notes[1].noteTick, 1920u + 6 * 480);
    EXPECT_EQ(p.notes[0].durationMs, 2000u);
    uint32_t lead0 = 0, lead1 = 0;
    const SoundBuffer n0 = expectedNote(lo, 60, 2000, 11025, lead0);
    const SoundBuffer n1 = expectedNote(hi, 67, 2000, 11025, lead1);
    EXPECT_EQ(p.notes[0].leadInBytes, lead0);
    expectBlockOfNotes(p, {n0, n1});
    // The consonant sounds ahead of the note: the note proper starts on its tick.
    const double noteMs = double(p.notes[1].blockOffset / 2 + lead1 / 2) / 44.1 + p.waveStartTick / 0.96;
    EXPECT_NEAR(noteMs, p.notes[1].noteTick / 0.96, 0.05);
}

TEST(MakerListeningTest, PreviewStepsThroughTheScaleAndFollowsTheCorrection) {
    VoiceItem item = vowelItem(60, 130.8);
    MakerSound sound;
    Performance p0, p1;
    ASSERT_TRUE(sound.preview(item, 440000, 3, Transpose::Downstairs, 2, 0, p0));
    ASSERT_TRUE(sound.preview(item, 440000, 3, Transpose::Downstairs, 2, 100, p1));
    ASSERT_EQ(p0.notes.size(), 3u);
    EXPECT_EQ(p0.notes[2].note, 57);
    EXPECT_EQ(p0.notes[1].noteTick - p0.notes[0].noteTick, 480u);  // "1 beat (500ms)"
    std::vector<SoundBuffer> notes;
    for (std::size_t k = 0; k < 3; ++k) {
        uint32_t lead = 0;
        notes.push_back(expectedNote(item, 60 + transposeStep(Transpose::Downstairs, int(k)), 500, 44100, lead));
        // Each note proper starts on its beat.
        const double noteMs = double(p0.notes[k].blockOffset / 2 + lead / 2) / 44.1 + p0.waveStartTick / 0.96;
        EXPECT_NEAR(noteMs, p0.notes[k].noteTick / 0.96, 0.05);
    }
    expectBlockOfNotes(p0, notes);
    // +100 ms moves the whole block 96 ticks later.
    EXPECT_NEAR(double(p1.waveStartTick) - double(p0.waveStartTick), 96.0, 1.0);
    EXPECT_EQ(p1.notes[0].noteTick, p0.notes[0].noteTick);

    // Markers past the data: nothing plays.
    item.markerD = item.sampleCount() + 1;
    EXPECT_FALSE(sound.preview(item, 440000, 1, Transpose::None, 2, 0, p0));
    EXPECT_EQ(sound.lastError().rfind(makertext::kBadMarkers, 0), 0u);
}

TEST(MakerListeningTest, PlayedThroughTheDevicesTheBlockStartsOnItsMarker) {
    AudioEngine engine;
    NotificationQueue queue;
    engine.startVirtual(&queue, 64);
    engine.setCapture(true);
    VirtualMidiStream stream(engine, queue);
    EngineWaveOut wave(engine, queue);
    VoiceItem item = vowelItem(60, 130.8);
    MakerSound sound;
    Performance p;
    ASSERT_TRUE(sound.preview(item, 440000, 2, Transpose::Upstairs, 2, 0, p));
    const SoundBuffer block = p.block;
    const uint32_t startTick = p.waveStartTick;
    PerformancePlayer player(stream, wave, &queue);
    ASSERT_TRUE(player.play(std::move(p), 0, 5)) << player.lastError();
    for (int i = 0; i < 2000 && player.isPlaying(); ++i) engine.advance(512);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.takeError(), "");
    const std::vector<int16_t> out = engine.takeCaptured();
    // The virtual stream is silent: the output is the block alone, from the marker's frame.
    std::size_t first = 0;
    while (first < out.size() / 2 && out[2 * first] == 0) ++first;
    std::size_t blockFirst = 0;
    while (blockFirst < block.sampleCount() && block.sample(blockFirst) == 0) ++blockFirst;
    const double markerFrame = double(startTick) * 44100.0 / 960.0;
    EXPECT_NEAR(double(first - blockFirst), markerFrame, 1.0);
    const std::size_t start = first - blockFirst;
    for (std::size_t i = 0; i < block.sampleCount(); i += 7)
        ASSERT_NEAR(out[2 * (start + i)], block.sample(i), 1) << i;
    // The guide instrument played the notes, the drum its beats.
    int notes = 0, drums = 0;
    for (const auto& e : stream.sink().events()) {
        if (e.status == 0x90) ++notes;
        if (e.status == 0x99) ++drums;
    }
    EXPECT_EQ(notes, 2);
    EXPECT_GT(drums, 4);
}

}  // namespace
}  // namespace kantor

// The sync correction window's logic on the virtual clock: a virtual MIDI stream that
// records the drum notes it sends (and makes no sound) and the engine's wave output, whose
// captured mix is therefore the wave clicks alone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "audio/SyncCorrection.h"
#include "platform/AudioEngine.h"
#include "platform/EngineWave.h"
#include "platform/NotificationQueue.h"
#include "platform/VirtualMidiStream.h"
#include "settings/SoundSettings.h"
#include "support/BuiltinVoiceFolder.h"
#include "song/TestPrompt.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"
#include "voice/Voice.h"
#include "voice/VoiceBank.h"

namespace kantor {
namespace {

constexpr int kLoud = 200;

// A wave output that cannot be opened.
class BrokenWaveOut : public WaveOut {
public:
    int queryFormat(const WaveFormat&) override { return kDeviceOk; }
    int open(const WaveFormat&, NotificationTarget*) override { return kDeviceError; }
    int prepareHeader(WaveHeader&) override { return kDeviceOk; }
    int unprepareHeader(WaveHeader&) override { return kDeviceOk; }
    int write(WaveHeader&) override { return kDeviceOk; }
    int reset() override { return kDeviceOk; }
    int pause() override { return kDeviceOk; }
    int restart() override { return kDeviceOk; }
    int close() override { return kDeviceOk; }
    int position(uint32_t&) override { return kDeviceOk; }
    bool isOpen() const override { return false; }
    int deviceCount() const override { return 1; }
    int caps(WaveOutCaps&) override { return kDeviceOk; }
    int getVolume(uint32_t&) override { return kDeviceOk; }
    int setVolume(uint32_t) override { return kDeviceOk; }
};

struct Rig {
    AudioEngine engine;
    NotificationQueue queue;
    VirtualMidiStream stream{engine, queue};
    EngineWaveOut engineWave{engine, queue};
    BrokenWaveOut brokenWave;
    test::RecordingPrompt prompt;
    SoundSettings settings;
    SyncCorrection sync;

    explicit Rig(int32_t ms, bool waveWorks = true)
        : sync(stream, waveWorks ? static_cast<WaveOut&>(engineWave) : brokenWave, prompt, SyncSounds::make(nullptr),
               &queue) {
        engine.startVirtual(&queue, 64);
        engine.setCapture(true);
        settings.setMidiDelayCorrection(ms);
        sync.open(settings);
    }
    // Runs until "Play" is enabled again, at most ten seconds.
    void runToEnd() {
        for (int i = 0; i < 100 && !sync.playEnabled(); ++i) engine.advance(4410);
    }
    std::vector<uint64_t> noteOnFrames() const {
        std::vector<uint64_t> frames;
        for (const auto& e : stream.sink().events())
            if (e.status == 0x99) frames.push_back(e.frame);
        return frames;
    }
};

std::size_t firstLoud(const SoundBuffer& s) {
    std::size_t i = 0;
    while (i < s.sampleCount() && std::abs(s.sample(i)) < kLoud) ++i;
    return i;
}

TEST(SyncCorrection, DelayTicksAndValueTexts) {
    EXPECT_EQ(SyncCorrection::delayTicks(-500), -480);
    EXPECT_EQ(SyncCorrection::delayTicks(500), 480);
    EXPECT_EQ(SyncCorrection::delayTicks(1), 0);  // 0.96 truncated
    EXPECT_EQ(SyncCorrection::delayTicks(-1), 0);
    EXPECT_EQ(SyncCorrection::delayTicks(-27), -25);
    EXPECT_EQ(SyncCorrection::openingText(0), "0 msec");
    EXPECT_EQ(SyncCorrection::openingText(-20), "-20 msec");
    EXPECT_EQ(SyncCorrection::openingText(15), "+15 msec");
    EXPECT_EQ(SyncCorrection::changedText(0), "0  msec");
    EXPECT_EQ(SyncCorrection::changedText(-20), "-20  msec");
    EXPECT_EQ(SyncCorrection::changedText(15), "+15 msec");
}

TEST(SyncCorrection, SpinStepsStayInRangeAndOnlyOkStoresTheValue) {
    Rig rig(500);
    EXPECT_EQ(rig.sync.valueText(), "+500 msec");
    EXPECT_FALSE(rig.sync.spin(500, 1));  // upwards at +500 stays at +500
    EXPECT_EQ(rig.sync.correction(), 500);
    EXPECT_EQ(rig.sync.valueText(), "+500 msec");
    EXPECT_TRUE(rig.sync.spin(500, -1));
    EXPECT_EQ(rig.sync.valueText(), "+499 msec");
    EXPECT_TRUE(rig.sync.spin(10, -10));
    EXPECT_EQ(rig.sync.valueText(), "0  msec");
    EXPECT_TRUE(rig.sync.spin(-499, -1));
    EXPECT_FALSE(rig.sync.spin(-500, -1));
    EXPECT_EQ(rig.sync.correction(), -500);

    // Cancel: the settings keep what they had; OK writes the edited value and nothing else.
    SoundSettings stored = rig.settings;
    stored.setGuideInstrument(42);
    const SoundSettings before = stored;
    rig.sync.open(stored);
    EXPECT_EQ(rig.sync.valueText(), "+500 msec");
    ASSERT_TRUE(rig.sync.spin(500, -300));
    EXPECT_EQ(stored, before);
    rig.sync.accept(stored);
    EXPECT_EQ(stored.midiDelayCorrection(), 200);
    EXPECT_EQ(stored.guideInstrument(), 42);

    // A damaged stored value opens limited to the range.
    stored.setBytes({0, 0, 0, 0, 0x10, 0x27, 0, 0});  // 10000 ms
    rig.sync.open(stored);
    EXPECT_EQ(rig.sync.correction(), 500);
}

class SyncCorrectionTiming : public ::testing::TestWithParam<int32_t> {};

TEST_P(SyncCorrectionTiming, EachWaveClickStartsOnItsDrumNoteShiftedByTheCorrection) {
    const int32_t ms = GetParam();
    Rig rig(ms);
    rig.sync.play(1, SyncSounds::kRimShot);
    EXPECT_FALSE(rig.sync.playEnabled());
    EXPECT_TRUE(rig.sync.waveMode());
    rig.runToEnd();

    // Four snare notes one second apart from the pattern start, velocity 125, channel 10.
    const std::vector<uint64_t> notes = rig.noteOnFrames();
    ASSERT_EQ(notes, (std::vector<uint64_t>{44100, 88200, 132300, 176400}));
    for (const auto& e : rig.stream.sink().events())
        if (e.status == 0x99) {
            EXPECT_EQ(e.data1, 38);
            EXPECT_EQ(e.data2, 125);
        }

    const SoundBuffer& click = rig.sync.sounds().sound(SyncSounds::kRimShot);
    const std::size_t lead = firstLoud(click);
    const std::vector<int16_t> out = rig.engine.takeCaptured();
    const int64_t delay = SyncCorrection::delayTicks(ms);
    std::vector<uint64_t> starts;
    for (int i = 0; i < 4; ++i) {
        // The frame of the marker's tick, D ticks from the note's.
        const uint64_t start = static_cast<uint64_t>((960 * (i + 1) + delay) * AudioEngine::kSampleRate / 960);
        starts.push_back(start);
        const uint64_t note = notes[std::size_t(i)];
        // Silence before the click's start, then the click sample for sample.
        uint64_t first = start - 4410;
        while (2 * first < out.size() && std::abs(out[2 * first]) < kLoud) ++first;
        EXPECT_EQ(first, start + lead) << "note at frame " << note;
        // (The engine mixes in floating point: a sample may come back one step off.)
        for (std::size_t k = 0; k < 200; ++k) ASSERT_NEAR(out[2 * (start + k)], click.sample(k), 1) << note << "+" << k;
    }
    if (ms == -500) {
        EXPECT_EQ(starts[0], 22050u);  // tick 480
    }
    if (ms == 0) {
        EXPECT_EQ(starts, notes);
    }

    // Played to the end: "Play" is enabled, the stream and the wave output are closed.
    EXPECT_TRUE(rig.sync.playEnabled());
    EXPECT_FALSE(rig.sync.waveMode());
    EXPECT_FALSE(rig.sync.wave().isOpen());
    EXPECT_FALSE(rig.engineWave.isOpen());
    EXPECT_FALSE(rig.stream.isOpen());
    EXPECT_TRUE(rig.prompt.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(SyncCorrectionDelays, SyncCorrectionTiming, ::testing::Values(0, -500, 500, -27));

TEST(SyncCorrection, ALateVoiceClickPlaysToItsEndAfterThePattern) {
    // At +500 ms the last "O" (0.53 s) starts at 4.5 s and outlasts the stream's end at 5 s.
    Rig rig(500);
    rig.sync.play(0, SyncSounds::kVoiceO);
    rig.runToEnd();
    EXPECT_TRUE(rig.sync.playEnabled());
    rig.engine.advance(4410);
    EXPECT_FALSE(rig.engineWave.isOpen());
    const SoundBuffer& o = rig.sync.sounds().sound(SyncSounds::kVoiceO);
    std::size_t last = o.sampleCount();
    while (last > 0 && std::abs(o.sample(last - 1)) < kLoud) --last;
    ASSERT_GT(last, 22050u);
    const std::vector<int16_t> out = rig.engine.takeCaptured();
    const std::size_t frame = 4 * 44100 + 22050 + last - 1;
    ASSERT_LT(2 * frame, out.size());
    EXPECT_NEAR(out[2 * frame], o.sample(last - 1), 1);
}

TEST(SyncCorrection, StopEndsThePatternAndPlayingAgainRestartsItCleanly) {
    Rig rig(0);
    rig.sync.play(0, SyncSounds::kVoiceA);
    rig.engine.advance(44100 + 22050);  // the first click has sounded
    rig.sync.stop();
    EXPECT_TRUE(rig.sync.playEnabled());
    EXPECT_FALSE(rig.engineWave.isOpen());
    EXPECT_FALSE(rig.stream.isOpen());
    rig.engine.advance(44100 * 2);
    EXPECT_EQ(rig.noteOnFrames().size(), 1u);

    // Play, then Play again halfway: what the first pattern left behind must not end the
    // second one, which plays all four clicks with its waves.
    rig.sync.play(0, SyncSounds::kRimShot);
    rig.engine.advance(44100 + 22050);
    rig.stream.sink().clear();
    rig.engine.takeCaptured();
    const uint64_t start = rig.engine.frameTime();
    rig.sync.play(0, SyncSounds::kRimShot);
    EXPECT_FALSE(rig.sync.playEnabled());
    rig.runToEnd();
    const std::vector<uint64_t> notes = rig.noteOnFrames();
    ASSERT_EQ(notes.size(), 4u);
    const std::vector<int16_t> out = rig.engine.takeCaptured();
    for (uint64_t note : notes) {
        const std::size_t at = static_cast<std::size_t>(note - start);
        int peak = 0;
        for (std::size_t k = at; k < at + 500 && 2 * k < out.size(); ++k) peak = std::max(peak, std::abs(int(out[2 * k])));
        EXPECT_GT(peak, 2000) << "no wave click at frame " << note;
    }
    EXPECT_TRUE(rig.sync.playEnabled());
    EXPECT_FALSE(rig.engineWave.isOpen());
    EXPECT_TRUE(rig.prompt.shown.empty());
}

TEST(SyncCorrection, DeviceFailuresAreShownAndLeavePlayEnabled) {
    {
        Rig rig(0, false);
        rig.sync.play(0, 0);
        ASSERT_EQ(rig.prompt.shown.size(), 1u);
        EXPECT_EQ(rig.prompt.shown[0].caption, "Error");
        EXPECT_EQ(rig.prompt.shown[0].text, "ウェーブ出力デバイスを開けません。");
        EXPECT_TRUE(rig.sync.playEnabled());
        EXPECT_EQ(rig.stream.calls(VirtualMidiStream::Op::Open), 0);
    }
    {
        Rig rig(0);
        rig.stream.failNext(VirtualMidiStream::Op::Open);
        rig.sync.play(0, 0);
        ASSERT_EQ(rig.prompt.shown.size(), 1u);
        EXPECT_EQ(rig.prompt.shown[0].caption, "Error");
        EXPECT_EQ(rig.prompt.shown[0].text, rig.stream.errorText(kDeviceError));
        EXPECT_TRUE(rig.sync.playEnabled());
        EXPECT_FALSE(rig.engineWave.isOpen());
    }
}

// ---- the sounds ---------------------------------------------------------------------

double rms(const SoundBuffer& s) {
    double sum = 0;
    for (std::size_t i = 0; i < s.sampleCount(); ++i) sum += double(s.sample(i)) * s.sample(i);
    return std::sqrt(sum / double(s.sampleCount()));
}

void expectFourSounds(const SyncSounds& sounds) {
    const std::array<std::size_t, 4> bytes = {3336, 44014, 46616, 46338};
    for (int id = 0; id < SyncSounds::kCount; ++id) {
        const SoundBuffer& s = sounds.sound(id);
        EXPECT_EQ(s.byteLength(), bytes[std::size_t(id)]) << id;
        EXPECT_GT(rms(s), 500.0) << id;
        // Not clipped all over, and no click at the end.
        EXPECT_LT(rms(s), 16000.0) << id;
        EXPECT_LT(std::abs(s.sample(s.sampleCount() - 1)), 64) << id;
    }
}

TEST(SyncSounds, SynthesisedWhenNoVoiceIsThere) {
    const SyncSounds a = SyncSounds::make(VoiceBank());
    expectFourSounds(a);
    for (int id = 0; id < SyncSounds::kCount; ++id) EXPECT_FALSE(a.sung(id));
    const SyncSounds b = SyncSounds::make(nullptr);
    for (int id = 0; id < SyncSounds::kCount; ++id) EXPECT_EQ(a.sound(id).samples(), b.sound(id).samples()) << id;
    // The click starts at once.
    EXPECT_LT(firstLoud(a.sound(SyncSounds::kRimShot)), 10u);
}

TEST(SyncSounds, SungFromTheMaleVoiceThenTheFemaleVoiceThenAnyLoadedOne) {
    test::TempDir dir;
    const std::vector<test::SyntheticSyllable> syllables = {{"A", "あ", 60}, {"O", "お", 69}, {"PA", "ぱ", 69}};
    VoiceBank bank(dir.path());
    bank.addVoice(std::make_unique<Voice>(Voice{"Other", 8, 440000, {}, {}, {}}));
    EXPECT_EQ(SyncSounds::make(bank).voiceName(), "");  // a loaded voice without the syllables
    test::writeSyntheticVoice(dir.path(), "Mine", syllables);
    ASSERT_TRUE(bank.ensureVoiceLoaded("Mine"));
    EXPECT_EQ(SyncSounds::make(bank).voiceName(), "");  // the first loaded voice is taken
    bank.forgetVoice("Other");
    EXPECT_EQ(SyncSounds::make(bank).voiceName(), "Mine");
    test::writeSyntheticVoice(dir.path(), "FemaleVox", syllables);
    EXPECT_EQ(SyncSounds::make(bank).voiceName(), "FemaleVox");
    test::writeSyntheticVoice(dir.path(), "MaleVox", syllables);
    const SyncSounds sounds = SyncSounds::make(bank);
    EXPECT_EQ(sounds.voiceName(), "MaleVox");
    // Read from the folder without loading it into the bank.
    EXPECT_EQ(bank.findVoice("MaleVox"), nullptr);
    expectFourSounds(sounds);
    for (int id = SyncSounds::kVoiceA; id <= SyncSounds::kVoicePa; ++id) EXPECT_TRUE(sounds.sung(id));
    // Sung at the sample's own pitch: the sound begins with the recorded sample.
    const Voice* mine = bank.findVoice("Mine");
    ASSERT_NE(mine, nullptr);
    const VoiceSample& pa = *mine->samples[2];
    const std::span<const uint8_t> recorded = pa.sound();
    ASSERT_GE(recorded.size(), 6000u);
    for (std::size_t i = 0; i < 3000; ++i) {
        const auto want = static_cast<int16_t>(recorded[2 * i] | recorded[2 * i + 1] << 8);
        ASSERT_EQ(sounds.sound(SyncSounds::kVoicePa).sample(i), want);
    }
}

TEST(SyncSounds, SungFromTheBuiltInVoices) {
    const std::string folder = test::builtinVoiceFolder();
    if (folder.empty() || !std::filesystem::exists(folder + "/MaleVox.vxb")) GTEST_SKIP() << "no built-in voices";
    const SyncSounds sounds = SyncSounds::make(VoiceBank(folder));
    EXPECT_EQ(sounds.voiceName(), "MaleVox");
    expectFourSounds(sounds);
    for (int id = SyncSounds::kVoiceA; id <= SyncSounds::kVoicePa; ++id) EXPECT_TRUE(sounds.sung(id)) << id;
}

}  // namespace
}  // namespace kantor

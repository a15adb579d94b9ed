// The recording window's run on the virtual clock: a WAV file plays as the microphone,
// a list of three items is recorded one after another, the take rule, the recorded
// position, and the playback run with its adjustment and snapshot.
#include <gtest/gtest.h>

#include "../song/TestPrompt.h"
#include "sound/WavFile.h"
#include "base/ByteIO.h"
#include "platform/AudioEngine.h"
#include "platform/EngineWave.h"
#include "platform/NotificationQueue.h"
#include "platform/VirtualMidiStream.h"
#include "support/TempDir.h"
#include "SyntheticVowel.h"
#include "voicemaker/RecordingRun.h"

namespace kantor {
namespace {

// The microphone: the samples of a WAV file, over and over.
struct Microphone {
    std::vector<int16_t> samples;
    std::size_t at = 0;
    std::vector<int16_t> next(std::size_t frames) {
        std::vector<int16_t> stereo(frames * 2);
        for (std::size_t i = 0; i < frames; ++i) {
            stereo[2 * i] = stereo[2 * i + 1] = samples[at];
            at = (at + 1) % samples.size();
        }
        return stereo;
    }
};

struct Rig {
    test::TempDir dir;
    AudioEngine engine;
    NotificationQueue queue;
    VirtualMidiStream stream{engine, queue};
    EngineWaveIn waveIn{engine, queue};
    EngineWaveOut waveOut{engine, queue};
    test::RecordingPrompt prompt;
    VoiceProject project;
    Microphone mic;
    RecordingRun run{project, stream, waveIn, waveOut, prompt, &queue};

    Rig() {
        engine.startVirtual(&queue, 64);
        // The microphone's WAV file: a sung vowel with a consonant, written and read back.
        test::SyntheticVowel v;
        const std::vector<int16_t> x = v.render(1.2);
        std::vector<uint8_t> bytes = wavHeader(kMono16, 44100, uint32_t(x.size() * 2));
        for (int16_t s : x) {
            bytes.push_back(uint8_t(uint16_t(s)));
            bytes.push_back(uint8_t(uint16_t(s) >> 8));
        }
        const std::string path = dir.write("mic.wav", bytes);
        WavReader reader;
        SoundBuffer data;
        EXPECT_TRUE(reader.readData(path, data));
        mic.samples = data.samples();
        for (int n : {60, 62, 64}) project.items.push_back(VoiceItem::make("A", "あ", n));
        EXPECT_TRUE(run.allocate());
    }
    void advance(std::size_t frames) {
        for (std::size_t done = 0; done < frames; done += 441) {
            auto in = mic.next(441);
            engine.advance(441, in.data());
        }
    }
    void runToEnd(std::size_t limitSeconds = 60) {
        for (std::size_t s = 0; s < limitSeconds * 10 && run.running(); ++s) advance(4410);
    }
};

// The item's data is a stretch of the microphone's samples. The noise burst that starts each
// pass of the microphone, after its long silence, locates the stretch.
void expectExcerptOfMic(const VoiceItem& item, const std::vector<int16_t>& mic, std::size_t burstStart) {
    const std::vector<int16_t> d = item.data.samples();
    std::size_t j = 0, zeros = 0;
    for (; j < d.size(); ++j) {
        if (d[j] != 0 && zeros >= 2000) break;
        zeros = d[j] == 0 ? zeros + 1 : 0;
    }
    ASSERT_LT(j, d.size());
    const std::size_t n = mic.size();
    const std::size_t start = (burstStart + n - j % n) % n;
    for (std::size_t i = 0; i < d.size(); ++i) ASSERT_NEAR(d[i], mic[(start + i) % n], 1) << i;
}

TEST(RecordingRunTest, TheTakeRuleAndTheAdjustment) {
    EXPECT_EQ(RecordingRun::takeBytes(176400), 0u);
    EXPECT_EQ(RecordingRun::takeBytes(176401), 176401u);
    EXPECT_EQ(RecordingRun::takeBytes(177400), 177400u);
    EXPECT_EQ(RecordingRun::takeBytes(264600), 177400u);
    EXPECT_EQ(RecordingRun::playbackAdjustment(44100, 0), 0);
    EXPECT_EQ(RecordingRun::playbackAdjustment(0, 44100 + 8820), 100);
    EXPECT_EQ(RecordingRun::playbackAdjustment(50000, 50000 - 8820), -100);
    EXPECT_EQ(RecordingRun::playbackAdjustment(0, 44100 + 45), 1);  // 0.51 ms rounds up
    EXPECT_EQ(RecordingRun::playbackAdjustment(0, 44100 + 44), 0);
    EXPECT_EQ(RecordingRun::playbackAdjustment(0, 88200), 500);
    EXPECT_EQ(RecordingRun::playbackAdjustment(0, 88200 + 90), 0);  // past 500 ms
    EXPECT_EQ(RecordingRun::adjustmentTicks(-100), -96);
    EXPECT_EQ(RecordingRun::adjustmentTicks(1), 0);
}

// Absolute ticks of the guide's markers.
std::vector<std::pair<uint32_t, uint32_t>> guideMarkers(PatternPlayer& p) {
    std::vector<std::pair<uint32_t, uint32_t>> m;
    const uint8_t* d = p.header().data;
    uint32_t tick = 0;
    for (uint32_t off = 20; off + 12 <= p.bytesUsed(); off += 12) {
        tick += loadLE32(d + off);
        const uint32_t w = loadLE32(d + off + 8);
        if ((w & 0xFFF00000u) == PatternPlayer::kMarkerWord) m.push_back({w & 0xFFFFFu, tick});
    }
    return m;
}

TEST(RecordingRunTest, GuideMarkersForRecordingAndShiftedPlayback) {
    AudioEngine engine;
    NotificationQueue queue;
    VirtualMidiStream stream(engine, queue);
    PatternPlayer p(stream);
    ASSERT_TRUE(RecordingRun::buildGuide(p, 52, 60, RecordingRun::Mode::Record, 0));
    using V = std::vector<std::pair<uint32_t, uint32_t>>;
    EXPECT_EQ(guideMarkers(p), (V{{1001, 3360}, {1003, 3840}, {1004, 5280}}));
    ASSERT_TRUE(RecordingRun::buildGuide(p, 52, 60, RecordingRun::Mode::Play, -100));
    EXPECT_EQ(guideMarkers(p), (V{{1002, 3264}, {1005, 3744}, {1003, 3840}, {1004, 4800}}));
    ASSERT_TRUE(RecordingRun::buildGuide(p, 52, 60, RecordingRun::Mode::Play, 250));
    EXPECT_EQ(guideMarkers(p), (V{{1002, 3600}, {1003, 3840}, {1005, 4080}, {1004, 4800}}));
}

TEST(RecordingRunTest, RecordsAListOfThreeItemsFromTheMicrophone) {
    Rig rig;
    // The middle item has old data that the recording replaces; the markers go.
    setItemSound(*rig.project.items[1], std::vector<int16_t>(50000, 7));
    rig.project.items[1]->setMarkers({1, 2, 3, 4});
    ASSERT_TRUE(rig.run.record({2, 0, 1}));
    EXPECT_EQ(rig.run.mode(), RecordingRun::Mode::Record);
    EXPECT_EQ(rig.run.currentLine(), 2);
    std::vector<int> order{rig.run.currentLine()};
    for (int s = 0; s < 600 && rig.run.running(); ++s) {
        rig.advance(4410);
        if (rig.run.currentLine() >= 0 && rig.run.currentLine() != order.back()) order.push_back(rig.run.currentLine());
    }
    EXPECT_FALSE(rig.run.running());
    EXPECT_EQ(order, (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(rig.run.takeError(), "");
    for (const auto& item : rig.project.items) {
        // Three seconds recorded; the first 177,400 bytes kept.
        EXPECT_EQ(item->dataLength(), 177400u);
        EXPECT_FALSE(item->hasProperties());
        // The downbeat comes one beat (22,050 samples) after the input started.
        EXPECT_NEAR(double(item->recordedPosition), 44100.0, 2 * 64 * 2);
        expectExcerptOfMic(*item, rig.mic.samples, test::SyntheticVowel{}.burstStart());
    }
    EXPECT_TRUE(rig.project.isChanged());
    // The guide sounded at each item's pitch.
    std::vector<int> guides;
    for (const auto& e : rig.stream.sink().events())
        if (e.status == 0x90 && (guides.empty() || guides.back() != e.data1)) guides.push_back(e.data1);
    EXPECT_EQ(guides, (std::vector<int>{64, 60, 62}));
}

TEST(RecordingRunTest, AStoppedRecordingIsTakenOnlyWhenLongEnough) {
    Rig rig;
    setItemSound(*rig.project.items[0], std::vector<int16_t>(50000, 7));
    const std::vector<uint8_t> old(rig.project.items[0]->data.bytes().begin(), rig.project.items[0]->data.bytes().end());
    // 3.5 s to the start marker, then 1.9 s of input: under the rule.
    ASSERT_TRUE(rig.run.record({0}));
    rig.advance(44100 * 7 / 2 + 44100 * 19 / 10);
    ASSERT_TRUE(rig.run.running());
    rig.run.stop();
    EXPECT_FALSE(rig.run.running());
    EXPECT_TRUE(std::equal(old.begin(), old.end(), rig.project.items[0]->data.bytes().begin()));
    EXPECT_EQ(rig.project.items[0]->dataLength(), 100000u);
    // 2.05 s: taken, all of it.
    ASSERT_TRUE(rig.run.record({0}));
    rig.advance(44100 * 7 / 2 + 44100 * 205 / 100);
    rig.run.stop();
    const uint32_t len = rig.project.items[0]->dataLength();
    EXPECT_GE(len, 176401u);
    EXPECT_LE(len, 177400u);
    EXPECT_GT(rig.project.items[0]->recordedPosition, 0u);
    // Items without a notation are not recorded; nothing selected, nothing runs.
    rig.project.items[1]->notation.clear();
    EXPECT_FALSE(rig.run.record({1}));
    EXPECT_FALSE(rig.run.record({}));
}

TEST(RecordingRunTest, PlaybackTakesASnapshotAndAdjustsTheNextItem) {
    Rig rig;
    ASSERT_TRUE(rig.run.record({0, 1}));
    rig.runToEnd();
    ASSERT_EQ(rig.project.items[1]->dataLength(), 177400u);
    // Pretend the second item was recorded 100 ms late relative to the first.
    rig.project.items[0]->recordedPosition = 44100;
    rig.project.items[1]->recordedPosition = 44100 + 8820;
    rig.engine.setCapture(true);
    ASSERT_TRUE(rig.run.play({0}));
    EXPECT_EQ(rig.run.adjustment(), 0);
    rig.runToEnd();
    EXPECT_EQ(rig.run.takeError(), "");
    // The output had played one beat when the downbeat came.
    EXPECT_NEAR(double(rig.run.playSnapshot()), 44100.0, 2 * 64 * 2);
    const std::vector<int16_t> out = rig.engine.takeCaptured();
    bool sounded = false;
    for (std::size_t i = 0; i < out.size() && !sounded; i += 2) sounded = std::abs(out[i]) > 1000;
    EXPECT_TRUE(sounded);
    rig.run.setPlaySnapshot(44100);
    ASSERT_TRUE(rig.run.play({1}));
    EXPECT_EQ(rig.run.adjustment(), -100);
    rig.runToEnd();
    // Marker 1005 took the snapshot 96 ticks before the downbeat.
    EXPECT_NEAR(double(rig.run.playSnapshot()), 44100.0, 2 * 64 * 2);
}

}  // namespace
}  // namespace kantor

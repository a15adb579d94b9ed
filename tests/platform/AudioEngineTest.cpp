#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "midi/MidiStreamPlayer.h"
#include "midi/SmfWriter.h"
#include "platform/AlsaSeqMidiStream.h"
#include "platform/AudioEngine.h"
#include "platform/EmbeddedSynth.h"
#include "platform/EngineWave.h"
#include "platform/NotificationQueue.h"
#include "platform/VirtualMidiStream.h"

namespace kantor {
namespace {

struct Counter : NotificationTarget {
    std::vector<uint32_t> seen;
    NotificationQueue* queue = nullptr;
    void onNotification(const Notification& n) override {
        seen.push_back(n.offset);
        // A target may post while being pumped: the new one is delivered in the same pump.
        if (n.offset == 1 && queue) queue->post(this, Notification{NotificationKind::MidiDone, nullptr, 100, 0});
    }
};

TEST(NotificationQueue, DeliversInOrderDropsCancelledTargetsAndCountsOverflow) {
    NotificationQueue q(4);
    Counter a, b;
    a.queue = &q;
    for (uint32_t i = 0; i < 3; ++i) EXPECT_TRUE(q.post(&a, Notification{NotificationKind::MidiMarker, nullptr, i, 0}));
    EXPECT_TRUE(q.post(&b, Notification{NotificationKind::MidiMarker, nullptr, 9, 0}));
    EXPECT_FALSE(q.post(&a, Notification{}));
    EXPECT_EQ(q.dropped(), 1u);
    q.cancel(&b);
    EXPECT_EQ(q.pump(), 5u);  // three for a, b's cancelled slot, and the one a posted
    EXPECT_EQ(a.seen, (std::vector<uint32_t>{0, 1, 2, 100}));
    EXPECT_TRUE(b.seen.empty());
}

TEST(NotificationQueue, AnotherThreadPostsAndTheOwnerWaits) {
    NotificationQueue q;
    Counter a;
    std::thread t([&] {
        for (uint32_t i = 0; i < 1000; ++i) q.post(&a, Notification{NotificationKind::WaveOutDone, nullptr, i, 0});
    });
    while (a.seen.size() < 1000) q.waitAndPump(std::chrono::milliseconds(50));
    t.join();
    for (uint32_t i = 0; i < 1000; ++i) ASSERT_EQ(a.seen[i], i);
}

TEST(AudioEngine, WithoutASoundDeviceTheNullDeviceKeepsRealTime) {
    AudioEngine engine;
    engine.startRealTime();
    ASSERT_TRUE(engine.realTimeRunning());
    if (engine.kind() == AudioEngine::Kind::Null) {
        EXPECT_FALSE(engine.deviceNote().empty());
    }
    auto t0 = std::chrono::steady_clock::now();
    uint64_t f0 = engine.frameTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    uint64_t f1 = engine.frameTime();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GT(f1, f0);
    EXPECT_LT(double(f1 - f0), seconds * 44100 * 1.5 + 2048);
    engine.stop();
    EXPECT_EQ(engine.kind(), AudioEngine::Kind::Stopped);
}

TEST(AudioEngine, MidiStreamMarkersFallOnTheSampleClockAcrossTempoChanges) {
    AudioEngine engine;
    NotificationQueue queue;
    engine.startVirtual(&queue, 100);
    VirtualMidiStream stream(engine, queue);
    struct Target : NotificationTarget {
        std::vector<uint64_t> markers;
        int done = 0, closed = 0;
        void onNotification(const Notification& n) override {
            if (n.kind == NotificationKind::MidiMarker) markers.push_back(n.frame);
            if (n.kind == NotificationKind::MidiDone) ++done;
            if (n.kind == NotificationKind::MidiClose) ++closed;
        }
    } target;
    ASSERT_EQ(stream.open(&target), kDeviceOk);
    ASSERT_EQ(stream.setTimeDivision(100), kDeviceOk);
    // Tempo 1 s a quarter, marker at tick 50; tempo 0.5 s, marker 100 ticks later.
    std::vector<uint32_t> words = {0, 0, kMevtTempo | 1000000, 50, 0, 0x42100000, 0, 0, kMevtTempo | 500000,
                                   100, 0, 0x42100001};
    std::vector<uint8_t> data(words.size() * 4);
    for (std::size_t i = 0; i < words.size(); ++i) {
        for (int b = 0; b < 4; ++b) data[i * 4 + b] = static_cast<uint8_t>(words[i] >> (8 * b));
    }
    MidiHeader h;
    h.data = data.data();
    h.bufferLength = h.bytesRecorded = static_cast<uint32_t>(data.size());
    EXPECT_EQ(stream.out(h), kDeviceUnprepared);
    ASSERT_EQ(stream.prepareHeader(h), kDeviceOk);
    ASSERT_EQ(stream.out(h), kDeviceOk);
    EXPECT_EQ(stream.out(h), kDeviceStillPlaying);
    EXPECT_EQ(stream.unprepareHeader(h), kDeviceStillPlaying);
    engine.advance(44100);  // paused: nothing moves
    EXPECT_TRUE(target.markers.empty());
    ASSERT_EQ(stream.restart(), kDeviceOk);
    const uint64_t t0 = engine.frameTime();
    engine.advance(44100 * 2);
    EXPECT_EQ(target.markers, (std::vector<uint64_t>{t0 + 22050, t0 + 22050 + 22050}));
    EXPECT_EQ(target.done, 1);
    EXPECT_TRUE(h.flags.load() & kHeaderDone);
    uint32_t pos = 0;
    ASSERT_EQ(stream.position(pos), kDeviceOk);
    EXPECT_EQ(pos, 150u + 200u);  // one more second at 0.5 s a quarter of 100 ticks
    EXPECT_EQ(stream.unprepareHeader(h), kDeviceOk);
    ASSERT_EQ(stream.close(), kDeviceOk);
    queue.pump();
    EXPECT_EQ(target.closed, 1);
    EXPECT_EQ(stream.position(pos), kDeviceInvalidHandle);
}

double rms(const std::vector<int16_t>& s, std::size_t fromFrame, std::size_t toFrame) {
    double sum = 0;
    for (std::size_t i = fromFrame * 2; i < toFrame * 2 && i < s.size(); ++i) sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(std::max<std::size_t>(1, (toFrame - fromFrame) * 2)));
}

struct Owner : MidiStreamOwner {
    MidiStreamPlayer* player = nullptr;
    std::size_t markerCount() const override { return 0; }
    uint32_t markerTick(std::size_t) const override { return 0; }
    bool midiMuted(int) const override { return false; }
    uint8_t noteFilter() const override { return 255; }
    void streamClosed() override {}
    void onNotification(const Notification& n) override {
        if (n.kind == NotificationKind::MidiDone) player->bufferDone(static_cast<MidiHeader*>(n.header));
    }
};

TEST(EmbeddedSynth, RendersSoundWhereTheNotesAreOnTheVirtualClock) {
    const std::string sf = EmbeddedSynth::defaultSoundFont();
    if (sf.empty()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    AudioEngine engine;
    NotificationQueue queue;
    engine.startVirtual(&queue, 256);
    engine.setCapture(true);
    EmbeddedSynth synth(engine);
    ASSERT_TRUE(synth.load(sf)) << synth.lastError();
    SynthMidiStream stream(engine, queue, synth);

    // Piano: silence for the first second, a chord from 1 s to 1.5 s, silence after.
    SmfTrack t;
    t.tempo(0, 500000).programChange(0, 0, 0);
    t.note(960, 1440, 0, 60, 120).note(960, 1440, 0, 64, 120).note(960, 1440, 0, 67, 120);
    t.endOfTrack(2880);
    MidiFile file;
    ASSERT_TRUE(file.loadImage(buildSmf(0, 480, {t}), "chord.mid"));
    MidiStreamPlayer player(file, stream);
    Owner owner;
    owner.player = &player;
    ASSERT_TRUE(player.play(owner, 0, 0xFFFFFFFF)) << player.lastError();
    engine.advance(44100 * 3);
    queue.cancel(&owner);
    const auto& out = engine.captured();
    ASSERT_EQ(out.size(), 44100u * 3 * 2);

    EXPECT_LT(rms(out, 0, 44000), 1.0);            // nothing before the notes
    EXPECT_GT(rms(out, 44100, 44100 + 4410), 300);  // the chord
    // The attack starts on the sample of tick 960: nothing at all before frame 44100.
    for (std::size_t i = 0; i < 44100 * 2; ++i) ASSERT_EQ(out[i], 0) << i;
    EXPECT_LT(rms(out, 44100 * 2 + 22050, 44100 * 3), rms(out, 44100, 44100 + 4410) / 20);  // released
}

TEST(AlsaSeqMidiStream, OpensAPortOrFailsWithADeviceResult) {
    AudioEngine engine;
    NotificationQueue queue;
    engine.startVirtual(&queue);
    Counter target;
    AlsaSeqMidiStream stream(engine, queue);
    int r = stream.open(&target);
    if (r == kDeviceOk) {
        EXPECT_TRUE(stream.isOpen());
        EXPECT_EQ(stream.close(), kDeviceOk);
    } else {
        // No sequencer on this machine (no /dev/snd/seq).
        EXPECT_EQ(r, kDeviceNoDriver);
        EXPECT_FALSE(stream.isOpen());
        EXPECT_FALSE(stream.errorText(r).empty());
    }
    AlsaSeqMidiStream nowhere(engine, queue, "no-such-client:7");
    EXPECT_NE(nowhere.open(&target), kDeviceOk);
    queue.cancel(&target);
}

}  // namespace
}  // namespace kantor

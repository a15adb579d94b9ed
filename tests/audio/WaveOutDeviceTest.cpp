#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "audio/WaveInDevice.h"
#include "audio/WaveOutDevice.h"
#include "platform/AudioEngine.h"
#include "platform/EngineWave.h"
#include "platform/NotificationQueue.h"

namespace kantor {
namespace {

// The engine's wave output with a log of the headers written and failures on demand.
class SpyWaveOut : public EngineWaveOut {
public:
    using EngineWaveOut::EngineWaveOut;
    std::vector<uint64_t> writes;  // header user values in write order
    std::vector<const WaveHeader*> written;
    std::map<std::string, int> faults;

    int take(const std::string& op) {
        auto it = faults.find(op);
        if (it == faults.end()) return kDeviceOk;
        int r = it->second;
        faults.erase(it);
        return r;
    }
    int queryFormat(const WaveFormat& f) override {
        if (int r = take("query")) return r;
        return EngineWaveOut::queryFormat(f);
    }
    int open(const WaveFormat& f, NotificationTarget* o) override {
        if (int r = take("open")) return r;
        return EngineWaveOut::open(f, o);
    }
    int write(WaveHeader& h) override {
        if (int r = take("write")) return r;
        writes.push_back(h.user);
        written.push_back(&h);
        return EngineWaveOut::write(h);
    }
    int unprepareHeader(WaveHeader& h) override {
        if (int r = take("unprepare")) return r;
        return EngineWaveOut::unprepareHeader(h);
    }
};

struct Owner : NotificationTarget {
    WaveOutDevice* out = nullptr;
    WaveInDevice* in = nullptr;
    int failures = 0;
    int inData = 0;
    void onNotification(const Notification& n) override {
        if (n.kind == NotificationKind::WaveOutDone && !out->bufferDone(static_cast<WaveHeader*>(n.header))) ++failures;
        if (n.kind == NotificationKind::WaveInData) {
            ++inData;
            in->finish();
        }
    }
};

struct Rig {
    AudioEngine engine;
    NotificationQueue queue;
    SpyWaveOut wave{engine, queue};
    WaveOutDevice device{wave};
    Owner owner;
    Rig() {
        engine.startVirtual(&queue, 64);
        engine.setCapture(true);
        owner.out = &device;
    }
    ~Rig() {
        device.close();
        queue.cancel(&owner);
    }
    void runWhilePlaying(uint64_t limit = 44100 * 60) {
        for (uint64_t f = 0; device.isPlaying() && f < limit; f += 512) engine.advance(512);
    }
};

std::vector<uint8_t> ramp16(uint32_t frames) {
    std::vector<uint8_t> b(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        int16_t s = static_cast<int16_t>(int(i % 20000) - 10000);
        b[2 * i] = static_cast<uint8_t>(s & 0xFF);
        b[2 * i + 1] = static_cast<uint8_t>((s >> 8) & 0xFF);
    }
    return b;
}

TEST(WaveOutDevice, OpenRefusesFormatsAndReportsTheDeviceTexts) {
    Rig rig;
    EXPECT_FALSE(rig.device.open(&rig.owner, 24, 1, 44100));
    EXPECT_EQ(rig.device.lastError(), "Wave(24bit, 44100Hz, Mono)を再生できません。");
    rig.wave.faults["query"] = kDeviceBadFormat;
    EXPECT_FALSE(rig.device.open(&rig.owner, 16, 2, 22050));
    EXPECT_EQ(rig.device.lastError(), "Wave(16bit, 22050Hz, Stereo)を再生できません。");
    rig.wave.faults["open"] = kDeviceNoDriver;
    EXPECT_FALSE(rig.device.open(&rig.owner, 16, 1, 44100));
    EXPECT_EQ(rig.device.lastError(), "ウェーブ出力デバイスを開けません。");
    EXPECT_FALSE(rig.device.isOpen());
    // A closed device: every operation is a successful no-op.
    auto data = ramp16(10);
    EXPECT_TRUE(rig.device.play({data.data(), 20, 0}));
    uint32_t pos = 1234;
    EXPECT_TRUE(rig.device.position(pos));
    EXPECT_EQ(pos, 1234u);
    EXPECT_TRUE(rig.wave.writes.empty());
}

TEST(WaveOutDevice, ABlockOfExactly64KiBIsOnePiece) {
    Rig rig;
    ASSERT_TRUE(rig.device.open(&rig.owner, 16, 1, 44100));
    auto data = ramp16(32768);
    ASSERT_TRUE(rig.device.play({data.data(), 65536, 7}));
    EXPECT_TRUE(rig.device.isPlaying());
    EXPECT_EQ(rig.device.feedState(), 2);
    EXPECT_EQ(rig.device.header(0).user, WaveOutDevice::kLastPiece);
    EXPECT_EQ(rig.device.header(0).bufferLength, 65536u);
    EXPECT_EQ(rig.wave.writes, (std::vector<uint64_t>{99}));
    rig.runWhilePlaying();
    EXPECT_FALSE(rig.device.isPlaying());
    EXPECT_EQ(rig.owner.failures, 0);
    uint32_t pos = 0;
    ASSERT_TRUE(rig.device.position(pos));
    EXPECT_EQ(pos, 65536u);
}

TEST(WaveOutDevice, ALongBlockGoesThroughTheRingInOrderAndSoundsExactly) {
    Rig rig;
    ASSERT_TRUE(rig.device.open(&rig.owner, 16, 1, 44100));
    const uint32_t frames = 150000;  // 300000 bytes: five pieces
    auto data = ramp16(frames);
    ASSERT_TRUE(rig.device.play({data.data(), frames * 2, 0}));
    EXPECT_EQ(rig.device.feedState(), 0);
    EXPECT_EQ(rig.device.header(2).bufferLength, 65536u);  // cut, not yet written
    rig.runWhilePlaying();
    EXPECT_EQ(rig.owner.failures, 0);
    EXPECT_EQ(rig.wave.writes, (std::vector<uint64_t>{0, 1, 2, 0, 99}));
    std::vector<const WaveHeader*> order = {&rig.device.header(0), &rig.device.header(1), &rig.device.header(2),
                                            &rig.device.header(0), &rig.device.header(1)};
    EXPECT_EQ(rig.wave.written, order);
    // Mono goes to both channels, without a gap between the pieces.
    const auto& out = rig.engine.captured();
    ASSERT_GE(out.size(), frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        int16_t want = static_cast<int16_t>(data[2 * i] | (data[2 * i + 1] << 8));
        ASSERT_EQ(out[2 * i], want) << i;
        ASSERT_EQ(out[2 * i + 1], want) << i;
    }
}

TEST(WaveOutDevice, PlayWhilePlayingStartsTheNewBlockAndLateDonesAreIgnored) {
    Rig rig;
    ASSERT_TRUE(rig.device.open(&rig.owner, 16, 1, 44100));
    auto first = ramp16(100000);
    std::vector<uint8_t> second(4000, 0);  // 2000 frames of silence
    ASSERT_TRUE(rig.device.play({first.data(), 200000, 1}));
    rig.engine.advance(1000);
    ASSERT_TRUE(rig.device.play({second.data(), 4000, 2}));
    EXPECT_EQ(rig.device.block().value, 2u);
    // The reset returned headers 0 and 1; their notifications now find the done bit clear.
    rig.queue.pump();
    EXPECT_TRUE(rig.device.isPlaying());
    rig.engine.takeCaptured();
    rig.runWhilePlaying();
    EXPECT_FALSE(rig.device.isPlaying());
    EXPECT_EQ(rig.owner.failures, 0);
    for (int16_t s : rig.engine.captured()) ASSERT_EQ(s, 0);
    uint32_t pos = 0;
    ASSERT_TRUE(rig.device.position(pos));
    EXPECT_EQ(pos, 4000u);
    // Stop on an idle device changes nothing.
    auto writes = rig.wave.writes.size();
    rig.device.stop();
    EXPECT_EQ(rig.wave.writes.size(), writes);
}

TEST(WaveOutDevice, AFailedWriteWhileFeedingStopsWithTheDeviceText) {
    Rig rig;
    ASSERT_TRUE(rig.device.open(&rig.owner, 16, 1, 44100));
    auto data = ramp16(150000);
    ASSERT_TRUE(rig.device.play({data.data(), 300000, 0}));
    rig.wave.faults["write"] = kDeviceNoMemory;
    rig.runWhilePlaying();
    EXPECT_EQ(rig.owner.failures, 1);
    EXPECT_EQ(rig.device.lastError(), deviceErrorText(kDeviceNoMemory));
    EXPECT_FALSE(rig.device.isPlaying());
    for (int k = 0; k < 3; ++k) EXPECT_EQ(rig.device.header(k).flags.load(), 0u);
    EXPECT_TRUE(rig.device.close());
}

TEST(WaveOutDevice, SlowerRatesAndTheVolumeControl) {
    Rig rig;
    VolumeCaps caps;
    ASSERT_TRUE(rig.device.volumeCaps(caps));
    EXPECT_EQ(caps.controls, 2u);
    EXPECT_EQ(caps.left, 65535u);
    ASSERT_TRUE(rig.device.setVolume({2, 0, 65535}));  // left silent
    ASSERT_TRUE(rig.device.volumeCaps(caps));
    EXPECT_EQ(caps.left, 0u);
    EXPECT_EQ(caps.right, 65535u);

    ASSERT_TRUE(rig.device.open(&rig.owner, 16, 1, 22050));
    std::vector<uint8_t> data(22050 * 2);
    for (std::size_t i = 0; i < data.size(); i += 2) data[i + 1] = 0x20;  // a constant 8192
    ASSERT_TRUE(rig.device.play({data.data(), uint32_t(data.size()), 0}));
    rig.runWhilePlaying();
    const auto& out = rig.engine.captured();
    std::size_t sounding = 0;
    for (std::size_t i = 0; i < out.size(); i += 2) {
        EXPECT_EQ(out[i], 0);
        if (out[i + 1] != 0) {
            ++sounding;
            EXPECT_NEAR(out[i + 1], 8192, 1);
        }
    }
    // Half a second of 22050 Hz lasts 44100 engine frames (give or take the interpolation).
    EXPECT_NEAR(double(sounding), 44100.0, 3.0);
}

TEST(WaveInDevice, RecordsTheEngineInputIntoTheCallersBlock) {
    AudioEngine engine;
    NotificationQueue queue;
    engine.startVirtual(&queue, 64);
    EngineWaveIn wave(engine, queue);
    WaveInDevice device(wave);
    Owner owner;
    owner.in = &device;

    EXPECT_FALSE(device.open(&owner, 12, 1, 44100));
    EXPECT_EQ(device.lastError(), "Wave(12bit, 44100Hz, Mono)を録音できません。");
    ASSERT_TRUE(device.open(&owner, 16, 1, 22050));
    std::vector<uint8_t> block(2000, 0xAA);
    ASSERT_TRUE(device.addBuffer(block.data(), 2000, 5));
    ASSERT_TRUE(device.start());
    // Input: left 1000, right 3000, so the mono recording holds 2000.
    std::vector<int16_t> input(4000 * 2);
    for (std::size_t i = 0; i < input.size(); i += 2) {
        input[i] = 1000;
        input[i + 1] = 3000;
    }
    engine.advance(4000, input.data());
    EXPECT_EQ(owner.inData, 1);
    EXPECT_EQ(device.header().bytesRecorded, 2000u);
    EXPECT_EQ(device.header().user, 5u);
    EXPECT_EQ(device.header().flags.load(), 0u);  // released by finish()
    for (std::size_t i = 0; i < block.size(); i += 2) {
        int16_t s = static_cast<int16_t>(block[i] | (block[i + 1] << 8));
        ASSERT_NEAR(s, 2000, 1) << i;
    }
    EXPECT_TRUE(device.close());
    queue.cancel(&owner);
}

}  // namespace
}  // namespace kantor

namespace kantor {
namespace {

std::vector<uint8_t> pattern(uint32_t frames, int seed) {
    std::vector<uint8_t> b(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        const int16_t s = static_cast<int16_t>(int((i * 7 + uint32_t(seed) * 1013) % 30000) - 15000);
        b[2 * i] = static_cast<uint8_t>(s & 0xFF);
        b[2 * i + 1] = static_cast<uint8_t>((s >> 8) & 0xFF);
    }
    return b;
}

// A long sound given in pieces plays as one: a piece that follows while the last piece of the
// one before is queued, while it is cut and waiting, and after the only queued header; each
// starts on the sample after the one before, and the device tells which block ended last.
TEST(WaveOutDevice, PiecesThatFollowPlayWithoutAGap) {
    Rig rig;
    ASSERT_TRUE(rig.device.open(&rig.owner, 16, 1, 44100));
    const auto a = pattern(50000, 1), b = pattern(15000, 2), c = pattern(70000, 3);
    ASSERT_TRUE(rig.device.play({a.data(), uint32_t(a.size()), 1}));
    EXPECT_EQ(rig.device.feedState(), 2);  // both pieces of A queued
    ASSERT_TRUE(rig.device.follow({b.data(), uint32_t(b.size()), 2}));
    EXPECT_EQ(rig.device.feedState(), 0);
    uint32_t ended = 0;
    EXPECT_FALSE(rig.device.finishedBlock(ended));
    rig.engine.advance(33000);  // A's first piece has played: B's piece is queued as the last
    EXPECT_EQ(rig.device.feedState(), 2);
    ASSERT_TRUE(rig.device.follow({c.data(), uint32_t(c.size()), 3}));
    rig.runWhilePlaying();
    EXPECT_EQ(rig.owner.failures, 0);
    ASSERT_TRUE(rig.device.finishedBlock(ended));
    EXPECT_EQ(ended, 3u);
    std::vector<uint8_t> all(a);
    all.insert(all.end(), b.begin(), b.end());
    all.insert(all.end(), c.begin(), c.end());
    const auto& out = rig.engine.captured();
    ASSERT_GE(out.size(), all.size());
    for (std::size_t i = 0; i < all.size() / 2; ++i) {
        const int16_t want = static_cast<int16_t>(all[2 * i] | (all[2 * i + 1] << 8));
        ASSERT_EQ(out[2 * i], want) << i;
    }

    // One short block with its only header queued, and one that follows it.
    rig.engine.takeCaptured();
    const auto d = pattern(10000, 4), e = pattern(12000, 5);
    ASSERT_TRUE(rig.device.play({d.data(), uint32_t(d.size()), 4}));
    ASSERT_TRUE(rig.device.follow({e.data(), uint32_t(e.size()), 5}));
    rig.runWhilePlaying();
    EXPECT_EQ(rig.owner.failures, 0);
    ASSERT_TRUE(rig.device.finishedBlock(ended));
    EXPECT_EQ(ended, 5u);
    std::vector<uint8_t> de(d);
    de.insert(de.end(), e.begin(), e.end());
    const auto& out2 = rig.engine.captured();
    ASSERT_GE(out2.size(), de.size());
    for (std::size_t i = 0; i < de.size() / 2; ++i)
        ASSERT_EQ(out2[2 * i], static_cast<int16_t>(de[2 * i] | (de[2 * i + 1] << 8))) << i;
}

}  // namespace
}  // namespace kantor

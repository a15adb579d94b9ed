#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "base/ByteIO.h"
#include "midi/MidiStreamPlayer.h"
#include "midi/SmfWriter.h"
#include "platform/AudioEngine.h"
#include "platform/NotificationQueue.h"
#include "platform/VirtualMidiStream.h"

namespace kantor {
namespace {

struct StreamEvent {
    uint32_t delta = 0;
    uint32_t word = 0;
    std::vector<uint8_t> bytes;
};

std::vector<StreamEvent> decode(const MidiHeader& h) {
    std::vector<StreamEvent> out;
    uint32_t p = 0;
    while (p + 12 <= h.bytesRecorded) {
        StreamEvent e;
        e.delta = loadLE32(h.data + p);
        e.word = loadLE32(h.data + p + 8);
        p += 12;
        if (e.word & kMevtFLong) {
            uint32_t n = e.word & 0xFFFFFF;
            e.bytes.assign(h.data + p, h.data + p + n);
            p += (n + 3) & ~3u;
        }
        out.push_back(e);
    }
    return out;
}

uint32_t shortMsg(uint8_t s, uint8_t a, uint8_t b) { return s | (a << 8) | (b << 16); }

// The owner: markers, mutes and filter, and the notification handling a window would do.
struct Owner : MidiStreamOwner {
    std::vector<uint32_t> markers;
    std::array<bool, 16> mute{};
    uint8_t filter = 255;
    MidiStreamPlayer* player = nullptr;
    int closedHooks = 0;
    int closeNotifications = 0;
    int doneFailures = 0;
    std::vector<long> reached;
    std::vector<uint64_t> reachedFrames;

    std::size_t markerCount() const override { return markers.size(); }
    uint32_t markerTick(std::size_t i) const override { return markers[i]; }
    bool midiMuted(int c) const override { return mute[static_cast<std::size_t>(c)]; }
    uint8_t noteFilter() const override { return filter; }
    void streamClosed() override { ++closedHooks; }
    void onNotification(const Notification& n) override {
        switch (n.kind) {
            case NotificationKind::MidiDone:
                if (!player->bufferDone(static_cast<MidiHeader*>(n.header))) ++doneFailures;
                break;
            case NotificationKind::MidiMarker:
                reached.push_back(player->markerIndex(n));
                reachedFrames.push_back(n.frame);
                break;
            case NotificationKind::MidiClose: ++closeNotifications; break;
            default: break;
        }
    }
};

struct Rig {
    AudioEngine engine;
    NotificationQueue queue;
    VirtualMidiStream stream{engine, queue};
    MidiFile file;
    MidiStreamPlayer player{file, stream};
    Owner owner;

    Rig() {
        engine.startVirtual(&queue, 64);
        owner.player = &player;
    }
    ~Rig() {
        player.stop();
        queue.cancel(&owner);
    }
    void load(const SmfTrack& t, uint16_t division = 480) {
        ASSERT_TRUE(file.loadImage(buildSmf(0, division, {t}), "t.mid")) << file.lastError();
    }
    // Runs the clock until the stream has closed (or the limit).
    void runToEnd(uint64_t limitFrames = 44100 * 600) {
        uint64_t f = 0;
        while (player.streamOpen() && f < limitFrames) {
            engine.advance(441);
            f += 441;
        }
        queue.pump();
    }
};

TEST(MidiStreamPlayerConversion, ChasesEverythingBeforeTheStart) {
    Rig rig;
    SmfTrack t;
    t.tempo(0, 500000).sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7});
    t.programChange(0, 0, 5).controlChange(10, 0, 7, 100).controlChange(20, 0, 10, 30);  // the pan wins
    t.pitchBend(30, 1, 0x2000 + 100).note(0, 400, 0, 60, 100);
    t.tempo(480, 400000).sysex(500, {0x41, 0xF7});
    t.note(960, 1200, 0, 62, 90).controlChange(1000, 0, 7, 90);
    rig.load(t);
    rig.player.beginConversion(&rig.owner, 960, 0xFFFFFFFF);
    ASSERT_EQ(rig.player.fill(0), MidiStreamPlayer::FillResult::EndReached);
    auto ev = decode(rig.player.header(0));

    std::vector<StreamEvent> expect;
    expect.push_back({0, kMevtTempo | 500000, {}});
    expect.push_back({1, kMevtFLong | 6, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}});
    // Meta events other than tempo keep their place as no-ops (the time signature the
    // writer adds is absent here; the end of track ends the conversion).
    expect.push_back({0, kMevtTempo | 400000, {}});
    expect.push_back({1, kMevtFLong | 3, {0xF0, 0x41, 0xF7}});
    // The chase, in status order: controller of channel 1 (the later one only), program,
    // pitch bend of channel 2.
    expect.push_back({0, shortMsg(0xB0, 10, 30), {}});
    expect.push_back({0, shortMsg(0xC0, 5, 0), {}});
    expect.push_back({0, shortMsg(0xE1, 100, 0x40), {}});
    expect.push_back({0, shortMsg(0x90, 62, 90), {}});
    expect.push_back({40, shortMsg(0xB0, 7, 90), {}});
    expect.push_back({200, shortMsg(0x80, 62, 0), {}});
    ASSERT_EQ(ev.size(), expect.size());
    for (std::size_t i = 0; i < ev.size(); ++i) {
        EXPECT_EQ(ev[i].delta, expect[i].delta) << i;
        EXPECT_EQ(ev[i].word, expect[i].word) << i;
        EXPECT_EQ(ev[i].bytes, expect[i].bytes) << i;
    }
    EXPECT_EQ(rig.player.header(0).user, 0u);
    EXPECT_EQ(rig.player.header(0).flags.load(), 0u);
}

TEST(MidiStreamPlayerConversion, EndTickInsideTheSongEndsWithHalfAQuarterNoOp) {
    Rig rig;
    SmfTrack t(true);  // running status
    for (uint32_t k = 0; k < 8; ++k) t.note(k * 480, k * 480 + 240, 0, 60 + int(k), 100);
    rig.load(t);
    rig.player.beginConversion(&rig.owner, 0, 1000);
    ASSERT_EQ(rig.player.fill(0), MidiStreamPlayer::FillResult::EndReached);
    auto ev = decode(rig.player.header(0));
    ASSERT_GE(ev.size(), 2u);
    // Last event at or before 1000: the note on at 960.
    EXPECT_EQ(ev[ev.size() - 2].word, shortMsg(0x90, 62, 100));
    EXPECT_EQ(ev.back().word, kMevtNop);
    EXPECT_EQ(ev.back().delta, 240u);
    uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < ev.size(); ++i) sum += ev[i].delta;
    EXPECT_EQ(sum, 960u);
}

TEST(MidiStreamPlayerConversion, MutedChannelsAndTheNoteFilterKeepTheTiming) {
    Rig rig;
    SmfTrack t;
    t.note(0, 100, 0, 60, 100).note(0, 100, 1, 64, 100).controlChange(50, 1, 7, 80);
    t.note(200, 300, 0, 61, 100).note(200, 300, 0, 60, 100);
    rig.load(t);
    rig.owner.mute[1] = true;
    rig.owner.filter = 60;
    rig.player.beginConversion(&rig.owner, 0, 0xFFFFFFFF);
    ASSERT_EQ(rig.player.fill(0), MidiStreamPlayer::FillResult::EndReached);
    uint32_t tick = 0;
    std::vector<std::pair<uint32_t, uint32_t>> got;
    for (const auto& e : decode(rig.player.header(0))) {
        tick += e.delta;
        if (e.word != kMevtNop) got.emplace_back(tick, e.word);
    }
    std::vector<std::pair<uint32_t, uint32_t>> want = {
        {0, shortMsg(0x90, 60, 100)}, {50, shortMsg(0xB1, 7, 80)}, {100, shortMsg(0x80, 60, 0)},
        {200, shortMsg(0x90, 60, 100)}, {300, shortMsg(0x80, 60, 0)}};
    EXPECT_EQ(got, want);
    EXPECT_EQ(tick, 300u);
}

TEST(MidiStreamPlayerConversion, MarkersArePlantedAtTheirTicksFromTheStart) {
    Rig rig;
    SmfTrack t;
    t.note(0, 100, 0, 60, 100).note(1000, 1100, 0, 62, 100).note(2000, 2100, 0, 64, 100);
    rig.load(t);
    // 1500 lies between events; 1000 coincides with one; 600 lies in the gap before the start.
    rig.owner.markers = {600, 1000, 1500, 2000};
    rig.player.beginConversion(&rig.owner, 500, 0xFFFFFFFF);
    ASSERT_EQ(rig.player.fill(0), MidiStreamPlayer::FillResult::EndReached);
    uint32_t tick = 0;
    std::vector<std::pair<uint32_t, uint32_t>> markers, notes;
    for (const auto& e : decode(rig.player.header(0))) {
        tick += e.delta;
        if (e.word & MidiStreamPlayer::kMarkerBit) {
            EXPECT_EQ(e.word & 0xFFF00000u, MidiStreamPlayer::kMarkerWord);
            markers.emplace_back(tick, e.word & 0xFFFFF);
        } else if (e.word != kMevtNop) {
            notes.emplace_back(tick, e.word & 0xFF);
        }
    }
    // Stream ticks count from the start tick 500.
    EXPECT_EQ(markers, (std::vector<std::pair<uint32_t, uint32_t>>{{100, 0}, {500, 1}, {1000, 2}, {1500, 3}}));
    EXPECT_EQ(notes, (std::vector<std::pair<uint32_t, uint32_t>>{{500, 0x90}, {600, 0x80}, {1500, 0x90}, {1600, 0x80}}));
}

TEST(MidiStreamPlayerConversion, AFullBufferResumesAtTheEventThatDidNotFit) {
    Rig rig;
    SmfTrack t;
    for (uint32_t k = 0; k < 6000; ++k) t.note(k * 10, k * 10 + 5, int(k % 16), 40 + int(k % 40), 100);
    rig.load(t);
    rig.player.beginConversion(&rig.owner, 0, 0xFFFFFFFF);
    std::vector<StreamEvent> all;
    int fills = 0;
    for (;;) {
        auto r = rig.player.fill(fills % 2);
        auto ev = decode(rig.player.header(fills % 2));
        EXPECT_LE(rig.player.header(fills % 2).bytesRecorded, MidiStreamPlayer::kBufferSize);
        all.insert(all.end(), ev.begin(), ev.end());
        ++fills;
        if (r != MidiStreamPlayer::FillResult::MoreToCome) break;
    }
    EXPECT_EQ(fills, 3);  // 12000 notes, 5376 events a buffer
    ASSERT_EQ(all.size(), 12000u);
    uint32_t tick = 0;
    for (std::size_t k = 0; k < all.size(); ++k) {
        tick += all[k].delta;
        EXPECT_EQ(tick, (k / 2) * 10 + (k % 2) * 5) << k;
        if (tick != (k / 2) * 10 + (k % 2) * 5) break;
    }
}

TEST(MidiStreamPlayerConversion, ASystemExclusiveLargerThanABufferBecomesANoOp) {
    Rig rig;
    SmfTrack t;
    std::vector<uint8_t> big(70000, 0x11);
    big.back() = 0xF7;
    t.note(0, 10, 0, 60, 100).sysex(20, big).note(30, 40, 0, 61, 100);
    rig.load(t);
    rig.player.beginConversion(&rig.owner, 0, 0xFFFFFFFF);
    ASSERT_EQ(rig.player.fill(0), MidiStreamPlayer::FillResult::EndReached);
    auto ev = decode(rig.player.header(0));
    ASSERT_EQ(ev.size(), 5u);
    EXPECT_EQ(ev[2].word, kMevtNop);
    EXPECT_EQ(ev[2].delta, 10u);
    EXPECT_EQ(ev[3].word, shortMsg(0x90, 61, 100));
}

TEST(MidiStreamPlayerConversion, ATruncatedImageEndsCleanly) {
    Rig rig;
    SmfTrack t;
    t.note(0, 10, 0, 60, 100).note(20, 30, 0, 61, 100);
    auto bytes = buildSmf(0, 480, {t});
    bytes.resize(bytes.size() - 6);  // cut inside the last events
    ASSERT_TRUE(rig.file.loadImage(bytes, "t.mid"));
    rig.player.beginConversion(&rig.owner, 0, 0xFFFFFFFF);
    EXPECT_EQ(rig.player.fill(0), MidiStreamPlayer::FillResult::EndReached);
    EXPECT_GE(decode(rig.player.header(0)).size(), 2u);
}

TEST(MidiStreamPlayer, PlaysALongSongOnTimeAndClosesAtTheEnd) {
    Rig rig;
    SmfTrack t;
    t.tempo(0, 500000);
    // 12000 events: more than two buffers. At 480 ticks a quarter and 500000 us, 960 ticks
    // last one second.
    for (uint32_t k = 0; k < 6000; ++k) t.note(k * 8, k * 8 + 4, 0, 60, 100);
    rig.load(t);
    rig.owner.markers = {960, 9600};
    ASSERT_TRUE(rig.player.play(rig.owner, 0, 0xFFFFFFFF)) << rig.player.lastError();
    EXPECT_EQ(rig.player.playState(), MidiStreamPlayer::PlayState::Playing);
    rig.runToEnd();
    EXPECT_FALSE(rig.player.streamOpen());
    EXPECT_EQ(rig.owner.closedHooks, 1);
    EXPECT_EQ(rig.owner.closeNotifications, 1);
    EXPECT_EQ(rig.owner.doneFailures, 0);
    auto events = rig.stream.sink().events();
    ASSERT_EQ(events.size(), 12000u);
    for (std::size_t k = 0; k < events.size(); ++k) {
        uint64_t tick = (k / 2) * 8 + (k % 2) * 4;
        uint64_t frame = tick * 44100 / 960;
        ASSERT_EQ(events[k].frame, frame) << k;
    }
    EXPECT_EQ(rig.owner.reached, (std::vector<long>{0, 1}));
    EXPECT_EQ(rig.owner.reachedFrames, (std::vector<uint64_t>{44100, 441000}));
}

TEST(MidiStreamPlayer, PauseHoldsThePositionAndRestartContinues) {
    Rig rig;
    SmfTrack t;
    for (uint32_t k = 0; k < 10; ++k) t.note(k * 960, k * 960 + 480, 0, 60, 100);
    rig.load(t);
    ASSERT_TRUE(rig.player.play(rig.owner, 0, 0xFFFFFFFF));
    rig.engine.advance(44100 + 10);  // a second: tick 960
    uint32_t pos = 0;
    ASSERT_TRUE(rig.player.position(pos));
    EXPECT_EQ(pos, 960u);
    const int silences = rig.stream.sink().silenceCount();
    ASSERT_TRUE(rig.player.pauseOrRestart());
    EXPECT_EQ(rig.player.playState(), MidiStreamPlayer::PlayState::Paused);
    std::size_t before = rig.stream.sink().events().size();
    EXPECT_EQ(rig.stream.sink().silenceCount(), silences + 1);  // sounding notes are cut
    rig.engine.advance(44100 * 3);
    ASSERT_TRUE(rig.player.position(pos));
    EXPECT_EQ(pos, 960u);
    EXPECT_EQ(rig.stream.sink().events().size(), before);
    ASSERT_TRUE(rig.player.pauseOrRestart());
    rig.engine.advance(22050);
    ASSERT_TRUE(rig.player.position(pos));
    EXPECT_EQ(pos, 960u + 480u);
    auto ev = rig.stream.sink().events();
    ASSERT_GT(ev.size(), before);
    EXPECT_EQ(ev[before].status, 0x80);  // the note off of the second note comes next
}

TEST(MidiStreamPlayer, StopClosesCallsTheHookOnceAndPositionThenFails) {
    Rig rig;
    SmfTrack t;
    t.note(0, 48000, 0, 60, 100);
    rig.load(t);
    ASSERT_TRUE(rig.player.play(rig.owner, 0, 0xFFFFFFFF));
    rig.engine.advance(1000);
    EXPECT_TRUE(rig.player.stop());
    EXPECT_TRUE(rig.player.stop());
    rig.queue.pump();
    EXPECT_EQ(rig.owner.closedHooks, 1);
    EXPECT_EQ(rig.owner.closeNotifications, 1);
    EXPECT_EQ(rig.player.header(0).flags.load(), 0u);
    EXPECT_EQ(rig.player.header(1).flags.load(), 0u);
    uint32_t pos = 7;
    EXPECT_FALSE(rig.player.position(pos));
    EXPECT_EQ(pos, 7u);
    // A new play works from the top again.
    ASSERT_TRUE(rig.player.play(rig.owner, 0, 0xFFFFFFFF));
    rig.engine.advance(64);
    EXPECT_EQ(rig.stream.sink().events().size(), 2u);
}

TEST(MidiStreamPlayer, PlatformErrorsBecomeTheLastErrorAndCloseTheStream) {
    {
        Rig rig;
        SmfTrack t;
        t.note(0, 10, 0, 60, 100);
        rig.load(t);
        rig.stream.failNext(VirtualMidiStream::Op::Open, kDeviceBadId);
        EXPECT_FALSE(rig.player.play(rig.owner, 0, 100));
        EXPECT_EQ(rig.player.lastError(), deviceErrorText(kDeviceBadId));
        EXPECT_FALSE(rig.player.streamOpen());
        EXPECT_EQ(rig.owner.closedHooks, 0);
    }
    {
        Rig rig;
        SmfTrack t;
        t.note(0, 10, 0, 60, 100);
        rig.load(t);
        rig.stream.failNext(VirtualMidiStream::Op::Out, kDeviceNoMemory);
        EXPECT_FALSE(rig.player.play(rig.owner, 0, 100));
        EXPECT_EQ(rig.player.lastError(), deviceErrorText(kDeviceNoMemory));
        EXPECT_FALSE(rig.player.streamOpen());
        EXPECT_FALSE(rig.stream.isOpen());
        EXPECT_EQ(rig.owner.closedHooks, 1);
    }
    {
        Rig rig;
        SmfTrack t;
        for (uint32_t k = 0; k < 6000; ++k) t.note(k, k + 1, 0, 60, 100);
        rig.load(t);
        ASSERT_TRUE(rig.player.play(rig.owner, 0, 0xFFFFFFFF));
        rig.stream.failNext(VirtualMidiStream::Op::Unprepare, kDeviceError);
        rig.runToEnd();
        EXPECT_EQ(rig.owner.doneFailures, 1);
        EXPECT_EQ(rig.player.lastError(), deviceErrorText(kDeviceError));
        EXPECT_FALSE(rig.stream.isOpen());
    }
    {
        Rig rig;  // no file loaded: nothing happens
        EXPECT_TRUE(rig.player.play(rig.owner, 0, 100));
        EXPECT_EQ(rig.stream.calls(VirtualMidiStream::Op::Open), 0);
    }
}

TEST(MidiStreamPlayer, StaleDoneNotificationsAreIgnored) {
    Rig rig;
    SmfTrack t;
    for (uint32_t k = 0; k < 6000; ++k) t.note(k * 4, k * 4 + 2, 0, 60, 100);
    rig.load(t);
    ASSERT_TRUE(rig.player.play(rig.owner, 0, 0xFFFFFFFF));
    // Both buffers are queued and neither has played: a done for either now changes nothing.
    EXPECT_TRUE(rig.player.bufferDone(&rig.player.header(0)));
    EXPECT_TRUE(rig.player.bufferDone(&rig.player.header(1)));
    EXPECT_EQ(rig.stream.calls(VirtualMidiStream::Op::Out), 2);
    rig.runToEnd();
    EXPECT_EQ(rig.stream.sink().events().size(), 12000u);
}

}  // namespace
}  // namespace kantor

#include <gtest/gtest.h>

#include <vector>

#include "midi/PatternPlayer.h"
#include "platform/AudioEngine.h"
#include "platform/NotificationQueue.h"
#include "platform/VirtualMidiStream.h"

namespace kantor {
namespace {

struct Owner : NotificationTarget {
    PatternPlayer* player = nullptr;
    std::vector<std::pair<uint64_t, uint32_t>> markers;  // frame, code
    int closed = 0;
    void onNotification(const Notification& n) override {
        auto* h = static_cast<MidiHeader*>(n.header);
        if (n.kind == NotificationKind::MidiDone) player->bufferDone(h);
        if (n.kind == NotificationKind::MidiMarker) {
            uint32_t word = h->data[n.offset + 8] | (h->data[n.offset + 9] << 8) | (h->data[n.offset + 10] << 16) |
                            (uint32_t(h->data[n.offset + 11]) << 24);
            markers.emplace_back(n.frame, word & 0xFFFFF);
        }
        if (n.kind == NotificationKind::MidiClose) ++closed;
    }
};

struct Rig {
    AudioEngine engine;
    NotificationQueue queue;
    VirtualMidiStream stream{engine, queue};
    PatternPlayer player{stream};
    Owner owner;
    Rig() {
        engine.startVirtual(&queue, 64);
        owner.player = &player;
    }
    ~Rig() {
        player.stop();
        queue.cancel(&owner);
    }
};

TEST(PatternPlayer, TicksForMilliseconds) {
    EXPECT_EQ(PatternPlayer::ticksForMilliseconds(1000), 960);
    EXPECT_EQ(PatternPlayer::ticksForMilliseconds(-500), -480);
    EXPECT_EQ(PatternPlayer::ticksForMilliseconds(1), 0);  // 0.96 truncated
}

TEST(PatternPlayer, AccompanimentPlaysItsNotesDrumsAndMarkersThenCloses) {
    Rig rig;
    AccompanimentItem a{0, 500, 60, 96};      // wave at 0, note at 0.1 s for half a second
    AccompanimentItem b{960, 250, 64, 1056};  // wave at 1 s
    ASSERT_TRUE(rig.player.playAccompaniment(&rig.owner, {&a, &b}, 1, 5)) << rig.player.lastError();
    EXPECT_TRUE(rig.player.isPlaying());
    for (int i = 0; i < 40 && rig.player.isPlaying(); ++i) rig.engine.advance(4410);
    rig.queue.pump();
    EXPECT_FALSE(rig.player.isPlaying());
    EXPECT_EQ(rig.owner.closed, 1);
    // Markers: the start (code 1) and one per item's wave (1002), on the sample clock.
    std::vector<std::pair<uint64_t, uint32_t>> want = {{0, 1}, {0, 1002}, {44100, 1002}};
    EXPECT_EQ(rig.owner.markers, want);
    std::vector<std::tuple<uint64_t, uint8_t, uint8_t>> got;
    bool systemOn = false;
    for (const auto& e : rig.stream.sink().events()) {
        if (e.status == 0) {
            systemOn = e.longData == std::vector<uint8_t>{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
        } else {
            got.emplace_back(e.frame, e.status, e.data1);
        }
    }
    EXPECT_TRUE(systemOn);
    std::vector<std::tuple<uint64_t, uint8_t, uint8_t>> notes = {
        {0, 0xC0, 5},     {0, 0xC9, 0},          {0, 0x99, 36},         {4410, 0x90, 60},
        {22050, 0x89, 36}, {22050, 0x99, 36},    {26460, 0x80, 60},     {44100, 0x89, 36},
        {44100, 0x99, 36}, {48510, 0x90, 64},    {59535, 0x80, 64}};  // ends at the last note's end
    EXPECT_EQ(got, notes);
}

TEST(PatternPlayer, EmptyListsPlayNothingAndTooManyItemsOverflow) {
    Rig rig;
    EXPECT_TRUE(rig.player.playAccompaniment(&rig.owner, {}, 0, 0));
    EXPECT_TRUE(rig.player.playAccompaniment(&rig.owner, {nullptr}, 0, 0));
    EXPECT_EQ(rig.stream.calls(VirtualMidiStream::Op::Open), 0);

    std::vector<AccompanimentItem> many(3000);
    std::vector<const AccompanimentItem*> list;
    for (std::size_t i = 0; i < many.size(); ++i) {
        many[i] = {uint32_t(i * 10), 5, 60, uint32_t(i * 10)};
        list.push_back(&many[i]);
    }
    EXPECT_FALSE(rig.player.playAccompaniment(&rig.owner, list, 0, 0));
    EXPECT_EQ(rig.player.lastError(), "容量ｵｰﾊﾞｰ、再生ﾎﾞｲｽ数を減らしてください。");
    EXPECT_FALSE(rig.stream.isOpen());
    EXPECT_FALSE(rig.player.isPlaying());
}

}  // namespace
}  // namespace kantor

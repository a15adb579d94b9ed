// What the mute and solo window offers and how its switches change the song's flags.
#include <gtest/gtest.h>

#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "song/MuteSoloGrid.h"
#include "song/Song.h"

namespace kantor {
namespace {

void midiWithNotesOn(MidiFile& midi, std::vector<int> channels) {
    SmfTrack t;
    t.tempo(0, 500000).timeSignature(0, 4, 2);
    uint32_t tick = 0;
    for (int c : channels) {
        t.note(tick, tick + 100, c, 60, 100);
        tick += 480;
    }
    t.programChange(0, 14, 5);  // a channel with events but no notes
    EXPECT_TRUE(midi.loadImage(buildSmf(0, 480, {t}), "x.mid"));
}

TEST(MuteSoloGrid, ShowsTheChannelsFromTheFirstToTheLastWithNotes) {
    MidiFile midi;
    midiWithNotesOn(midi, {1, 2, 9});  // channels 2, 3 and 10
    Song song;
    const MuteSoloGrid g = MuteSoloGrid::of(midi, song);
    EXPECT_EQ(g.first, 1);
    EXPECT_EQ(g.count, 9);
    for (int c = 3; c <= 8; ++c) {
        EXPECT_FALSE(g.available(ChannelFlags::MidiMute, c)) << c;
        EXPECT_FALSE(g.available(ChannelFlags::MidiSolo, c)) << c;
    }
    EXPECT_TRUE(g.available(ChannelFlags::MidiSolo, 9));
    EXPECT_FALSE(g.available(ChannelFlags::MidiMute, 14));  // no notes there
    // Without a vocal track no vocal switch.
    EXPECT_FALSE(g.available(ChannelFlags::VoxMute, 1));
    EXPECT_FALSE(g.available(ChannelFlags::VoxSolo, 1));
    EXPECT_FALSE(g.available(7, 1));
    EXPECT_FALSE(g.available(0, 16));

    MidiFile empty;
    EXPECT_TRUE(empty.loadImage(buildSmf(0, 480, {SmfTrack().tempo(0, 500000)}), "e.mid"));
    const MuteSoloGrid none = MuteSoloGrid::of(empty, song);
    EXPECT_EQ(none.count, 0);
    ChannelFlags f;
    EXPECT_FALSE(none.toggle(f, 0, 0));
    EXPECT_EQ(f, ChannelFlags{});
}

TEST(MuteSoloGrid, TogglesAvailableSwitchesAndClearsARow) {
    MidiFile midi;
    midiWithNotesOn(midi, {0, 2});
    Song song;
    song.channel(2).events.push_back(std::make_unique<VoxEvent>());
    const MuteSoloGrid g = MuteSoloGrid::of(midi, song);
    EXPECT_TRUE(g.available(ChannelFlags::VoxSolo, 2));
    ChannelFlags& f = song.channelFlags();
    EXPECT_FALSE(g.toggle(f, ChannelFlags::VoxMute, 0));  // channel 1 has no vocal track
    EXPECT_TRUE(g.toggle(f, ChannelFlags::MidiSolo, 2));
    EXPECT_TRUE(g.toggle(f, ChannelFlags::MidiSolo, 0));
    EXPECT_TRUE(g.toggle(f, ChannelFlags::VoxMute, 2));
    EXPECT_TRUE(g.toggle(f, ChannelFlags::MidiSolo, 0));  // back off
    EXPECT_TRUE(f.get(ChannelFlags::MidiSolo, 2));
    EXPECT_FALSE(f.get(ChannelFlags::MidiSolo, 0));
    // A solo in the MIDI row silences every vocal without its own solo, channel 3's too.
    EXPECT_FALSE(f.midiSilenced(2));
    EXPECT_TRUE(f.midiSilenced(0));
    EXPECT_TRUE(f.voxSilenced(2));

    f.set(ChannelFlags::MidiSolo, 15, true);  // a stored flag outside the shown range
    EXPECT_TRUE(MuteSoloGrid::clearRow(f, ChannelFlags::MidiSolo));
    EXPECT_FALSE(f.anySolo());
    EXPECT_TRUE(f.get(ChannelFlags::VoxMute, 2));  // other rows stay
    EXPECT_FALSE(MuteSoloGrid::clearRow(f, ChannelFlags::MidiSolo));
    EXPECT_FALSE(MuteSoloGrid::clearRow(f, 4));
}

}  // namespace
}  // namespace kantor

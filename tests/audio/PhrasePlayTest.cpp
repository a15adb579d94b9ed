// Listening from the note voice window: a phrase with its MIDI from the quarter note at or
// before the phrase start, and a single note sung with the MIDI silent.
#include <gtest/gtest.h>

#include "TransportFixture.h"
#include "song/PhraseEvents.h"

namespace kantor {
namespace {

using test::TransportFixture;

std::vector<const VoxEvent*> notesOf(const Song& song, const PhraseEvents& p) {
    std::vector<const VoxEvent*> out;
    for (std::size_t i : p.events) out.push_back(song.event(p.channel, i));
    return out;
}

int noteOns(TransportFixture& f) {
    int n = 0;
    for (const RecordedMidiEvent& e : f.stream->sink().events()) n += (e.status & 0xF0) == 0x90 && e.data2 != 0;
    return n;
}

TEST(PhrasePlay, ThePhraseSoundsWithItsMidiFromTheQuarterNoteBefore) {
    TransportFixture f({{0, 69, {{700, 1100}, {1200, 1500}}}, {1, 60, {{500, 600}}}});
    PhraseEvents p;
    ASSERT_TRUE(phraseEventsOfNote(f.song, 0, 0, f.map.division(), p));
    EXPECT_EQ(p.endTick, 1440u);
    ASSERT_TRUE(f.transport->playPhrase(0, notesOf(f.song, p), p.startTick, p.endTick)) << f.transport->lastError();
    ASSERT_EQ(f.transport->state(), Transport::State::Playing);
    EXPECT_EQ(f.transport->playStart(), 480u);
    EXPECT_GE(f.transport->playEnd(), 1440u);
    ASSERT_EQ(f.transport->phrases().size(), 1u);  // only this phrase is sung
    EXPECT_TRUE(f.waveOut->isOpen());
    f.runToEnd(4000);
    // The MIDI of the range: the phrase's own note, the other channel's note at 500 and the
    // next note at 1200.
    EXPECT_EQ(noteOns(f), 3);
    EXPECT_EQ(f.transport->state(), Transport::State::Idle);
}

TEST(PhrasePlay, ASungNoteKeepsTheMidiSilent) {
    TransportFixture f({{0, 69, {{960, 1400}, {1920, 2300}}}});
    VoxEvent note;
    ASSERT_TRUE(noteAudition(f.song, 0, 1, note));
    ASSERT_TRUE(f.transport->singNote(0, note)) << f.transport->lastError();
    EXPECT_EQ(f.transport->phrases().size(), 1u);
    EXPECT_LE(f.transport->playStart(), 1920u);
    f.runToEnd(4000);
    EXPECT_EQ(noteOns(f), 0);
    // The next play has the channels' own mutes again.
    ASSERT_TRUE(f.transport->playFromTop());
    EXPECT_FALSE(f.transport->effectiveMidiMutes()[0]);
    f.transport->stop();
}

TEST(PhrasePlay, WithoutAMidiFileNothingPlays) {
    TransportFixture f({{0, 69, {{960, 1400}}}});
    f.midi.clear();
    VoxEvent note;
    ASSERT_TRUE(noteAudition(f.song, 0, 0, note));
    EXPECT_TRUE(f.transport->singNote(0, note));
    EXPECT_EQ(f.transport->state(), Transport::State::Idle);
}

}  // namespace
}  // namespace kantor

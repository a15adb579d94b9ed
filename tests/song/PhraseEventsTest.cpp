#include <gtest/gtest.h>

#include "song/PhraseEvents.h"
#include "song/Song.h"

namespace kantor {
namespace {

void add(Song& s, uint32_t start, uint32_t end, uint16_t group, uint16_t phrase, bool syllable) {
    auto e = std::make_unique<VoxEvent>();
    e->startTick = start;
    e->endTick = end;
    e->phraseGroup = group;
    e->phraseIndex = phrase;
    if (syllable) {
        e->setCode(0, "A");
        e->syllableLength[0] = 1;
    }
    s.channel(1).events.push_back(std::move(e));
}

TEST(PhraseEvents, EndIsTheNextQuarterAfterTheLastSungNote) {
    Song s;
    add(s, 0, 400, 0, 1, true);       // 0 head
    add(s, 100, 300, 2, 5, true);     // 1 other group
    add(s, 480, 900, 0, 0, true);     // 2
    add(s, 960, 2000, 0, 0, false);   // 3 no syllable: does not move the end
    add(s, 1440, 1460, 0, 0, false);  // 4 starts at or after the end: not sung
    add(s, 2400, 2500, 0, 7, true);   // 5 next head

    PhraseEvents p;
    ASSERT_TRUE(phraseEventsOfNote(s, 1, 2, 480, p));
    EXPECT_EQ(p.head, 0u);
    EXPECT_EQ(p.phraseIndex, 1);
    EXPECT_EQ(p.startTick, 0u);
    EXPECT_EQ(p.endTick, 960u);  // 900 rounded up to a quarter
    EXPECT_EQ(p.events, (std::vector<std::size_t>{0, 2}));

    // An end exactly on a quarter moves a whole quarter on.
    s.channel(1).events[2]->endTick = 960;
    ASSERT_TRUE(phraseEventsOfNote(s, 1, 0, 480, p));
    EXPECT_EQ(p.endTick, 1440u);
    EXPECT_EQ(p.events, (std::vector<std::size_t>{0, 2, 3}));

    // Asked from the unsung note itself, its end counts (the walk back takes every event).
    ASSERT_TRUE(phraseEventsOfNote(s, 1, 3, 480, p));
    EXPECT_EQ(p.endTick, 2400u);
    EXPECT_EQ(p.events, (std::vector<std::size_t>{0, 2, 3, 4}));

    // A time base of 0 leaves the end where it is rather than dividing by it.
    ASSERT_TRUE(phraseEventsOfNote(s, 1, 2, 0, p));
    EXPECT_EQ(p.endTick, 960u);
}

TEST(PhraseEvents, NoHeadNoPhrase) {
    Song s;
    add(s, 0, 100, 1, 1, true);
    add(s, 100, 200, 0, 0, true);
    PhraseEvents p;
    EXPECT_FALSE(phraseEventsOfNote(s, 1, 1, 480, p));
    VoxEvent n;
    EXPECT_FALSE(noteAudition(s, 1, 1, n));
}

TEST(PhraseEvents, SingleNoteCarriesTheHeadsPhrase) {
    Song s;
    add(s, 0, 100, 0, 4, true);
    add(s, 100, 200, 0, 0, true);
    VoxEvent n;
    ASSERT_TRUE(noteAudition(s, 1, 1, n));
    EXPECT_EQ(n.phraseIndex, 4);
    EXPECT_EQ(n.startTick, 100u);
    EXPECT_EQ(s.channel(1).events[1]->phraseIndex, 0);  // a copy
}

}  // namespace
}  // namespace kantor

#include <gtest/gtest.h>

#include "song/ScoreGeometry.h"
#include "song/Song.h"

namespace kantor {
namespace {

std::vector<Measure> fourFour(int count, uint32_t division = 480) {
    std::vector<Measure> m;
    for (int i = 0; i < count; ++i) m.push_back({uint32_t(i) * division * 4, division * 4, 4, 4});
    return m;
}

VoxEvent note(uint32_t start, uint32_t end, int key, uint16_t group = 0, uint16_t phrase = 0) {
    VoxEvent e;
    e.startTick = start;
    e.endTick = end;
    e.noteKey = uint32_t(key);
    e.phraseGroup = group;
    e.phraseIndex = phrase;
    return e;
}

void add(Song& s, int c, const VoxEvent& e) { s.channel(c).events.push_back(std::make_unique<VoxEvent>(e)); }

TEST(ScoreGeometry, NoteNames) {
    EXPECT_EQ(noteName(60), "C3");
    EXPECT_EQ(noteName(61), "C3#");
    EXPECT_EQ(noteName(71), "B3");
    EXPECT_EQ(noteName(69), "A3");
    EXPECT_EQ(noteName(0), "C-2");
    EXPECT_EQ(noteName(127), "G8");
    EXPECT_EQ(naturalNoteName(66), "");
    EXPECT_EQ(naturalNoteName(67), "G3");
    EXPECT_EQ(noteName(-1), "");
}

TEST(ScoreGeometry, FewerMeasuresHalvesThenStepsByOneAndNeverReachesZero) {
    EXPECT_EQ(fewerMeasures({0, 16}).count, 8);
    EXPECT_EQ(fewerMeasures({0, 5}).count, 4);  // half is 2: one less instead
    EXPECT_EQ(fewerMeasures({0, 3}).count, 2);
    EXPECT_EQ(fewerMeasures({0, 2}).count, 1);
    EXPECT_EQ(fewerMeasures({4, 1}), (MeasureSpan{4, 1}));
}

TEST(ScoreGeometry, MoreMeasuresStopsAtTheLimit) {
    // Ten measures in the table: the limit is 9.
    const int limit = measureLimit(10);
    EXPECT_EQ(limit, 9);
    MeasureSpan s{0, 4};
    s = moreMeasures(s, limit);
    EXPECT_EQ(s.count, 8);
    s = moreMeasures(s, limit);
    EXPECT_EQ(s.count, 9);
    EXPECT_EQ(moreMeasures(s, limit).count, 9);
    // 1.5 and 1.25 times on the way.
    EXPECT_EQ(moreMeasures({0, 6}, 10).count, 9);
    EXPECT_EQ(moreMeasures({0, 8}, 10).count, 10);
    EXPECT_EQ(moreMeasures({0, 4}, 5).count, 5);
    // The first measure moves back so that the view ends at the limit.
    EXPECT_EQ(moreMeasures({6, 2}, 9), (MeasureSpan{5, 4}));
    // No measures: the limit is 16; a one-measure table keeps one measure.
    EXPECT_EQ(measureLimit(0), 16);
    EXPECT_EQ(moreMeasures({0, 1}, measureLimit(1)), (MeasureSpan{0, 1}));
}

TEST(ScoreGeometry, RowsStayBetweenOneAndSixteen) {
    EXPECT_EQ(fewerRows({3, 1}).count, 1);
    EXPECT_EQ(fewerRows({3, 5}).count, 4);
    EXPECT_EQ(moreRows({12, 4}), (RowSpan{11, 5}));
    EXPECT_EQ(moreRows({0, 16}), (RowSpan{0, 16}));
}

TEST(ScoreGeometry, KeysZoomInStepsInsideTheKeyboard) {
    EXPECT_EQ(fewerKeys({48, 36}).count, 24);
    EXPECT_EQ(moreKeys({48, 36}).count, 48);
    EXPECT_EQ(moreKeys({0, 128}), (KeySpan{0, 128}));
    EXPECT_EQ(fewerKeys({0, 12}), (KeySpan{0, 12}));
    EXPECT_EQ(moreKeys({120, 8}).low + moreKeys({120, 8}).count, 128);
    const KeySpan k = keysFor(60, 72);
    EXPECT_LE(k.low, 60);
    EXPECT_GE(k.low + k.count - 1, 72);
    EXPECT_GE(k.count, 24);
}

TEST(ScoreGeometry, AClickInTheMiddleOfMeasureFiveIsHalfAMeasureIn) {
    const auto m = fourFour(20);
    MeasureAxis axis{&m, {2, 4}, 40, 800};  // measures 3 to 6, 200 pixels each
    long measure = -1;
    uint32_t tick = 0;
    ASSERT_TRUE(axis.tickAt(40 + 2 * 200 + 100, measure, tick));
    EXPECT_EQ(measure, 4);  // measure 5
    EXPECT_EQ(tick, m[4].start + 960);
    ASSERT_TRUE(axis.tickAt(40, measure, tick));
    EXPECT_EQ(tick, m[2].start);
    ASSERT_TRUE(axis.tickAt(40 + 799, measure, tick));
    EXPECT_EQ(measure, 5);
    EXPECT_LT(tick, m[6].start);
    EXPECT_FALSE(axis.tickAt(39, measure, tick));
    EXPECT_FALSE(axis.tickAt(840, measure, tick));
    // And back: the tick's x lies where the click was.
    EXPECT_DOUBLE_EQ(axis.xOf(m[4].start + 960), 40 + 500);
    EXPECT_TRUE(axis.shows(m[5].start));
    EXPECT_FALSE(axis.shows(m[6].start));
    // Uneven widths share the pixels out without losing ticks past the column.
    MeasureAxis odd{&m, {0, 3}, 0, 100};
    ASSERT_TRUE(odd.tickAt(99, measure, tick));
    EXPECT_EQ(measure, 2);
    EXPECT_LT(tick, m[3].start);
}

TEST(ScoreGeometry, RowsAndKeysUnderThePointer) {
    EXPECT_EQ(channelAt(30, 30, 160, {4, 8}), 5);
    EXPECT_EQ(channelAt(189, 30, 160, {4, 8}), 12);
    EXPECT_EQ(channelAt(29, 30, 160, {4, 8}), 0);
    KeyAxis keys{{60, 12}, 10, 120};
    EXPECT_EQ(keys.keyAt(10), 71);
    EXPECT_EQ(keys.keyAt(129), 60);
    EXPECT_EQ(keys.keyAt(130), -1);
    EXPECT_DOUBLE_EQ(keys.yOf(71), 10);
}

TEST(ScoreGeometry, AutoScrollModes) {
    const auto m = fourFour(40);
    const int limit = measureLimit(m.size());
    const MeasureSpan s{0, 8};
    const uint32_t inside = m[3].start, outside = m[17].start + 5;
    // Inside the view nothing moves, whatever the mode.
    for (AutoScroll a : {AutoScroll::Always, AutoScroll::WhilePlaying, AutoScroll::Never}) {
        const Follow f = followPosition(m, s, limit, inside, a, true);
        EXPECT_TRUE(f.showCursor);
        EXPECT_EQ(f.span, s);
    }
    // Always: whole pages to the page holding the position.
    Follow f = followPosition(m, s, limit, outside, AutoScroll::Always, true);
    EXPECT_EQ(f.span, (MeasureSpan{16, 8}));
    EXPECT_TRUE(f.showCursor);
    // Backwards too.
    f = followPosition(m, {24, 8}, limit, m[9].start, AutoScroll::Always, false);
    EXPECT_EQ(f.span, (MeasureSpan{8, 8}));
    // Only while playing: playback positions scroll, positions set by the user do not.
    f = followPosition(m, s, limit, outside, AutoScroll::WhilePlaying, false);
    EXPECT_EQ(f.span.first, 16);
    f = followPosition(m, s, limit, outside, AutoScroll::WhilePlaying, true);
    EXPECT_EQ(f.span, s);
    EXPECT_FALSE(f.showCursor);
    // Never: the cursor goes.
    f = followPosition(m, s, limit, outside, AutoScroll::Never, false);
    EXPECT_EQ(f.span, s);
    EXPECT_FALSE(f.showCursor);
    // The last page is held at the limit.
    f = followPosition(m, s, limit, m[38].start, AutoScroll::Always, false);
    EXPECT_EQ(f.span, (MeasureSpan{31, 8}));
    // Damaged settings read as the default.
    EXPECT_EQ(autoScrollOf(7), AutoScroll::Always);
    EXPECT_EQ(wordDisplayOf(-3), WordDisplay::Hiragana);
}

TEST(ScoreGeometry, NotesUnderThePointerAndStepping) {
    Song s;
    add(s, 2, note(0, 480, 60));
    add(s, 2, note(240, 960, 60));  // overlaps the first on the same key: the later start wins
    s.channel(2).events.push_back(nullptr);
    add(s, 2, note(960, 1440, 62, 0, 1));
    EXPECT_EQ(noteAt(s, 2, 100, 60), 0);
    EXPECT_EQ(noteAt(s, 2, 300, 60), 1);
    EXPECT_EQ(noteAt(s, 2, 300, 61), -1);
    EXPECT_EQ(noteAt(s, 2, 960, 60), -1);  // the end is outside
    EXPECT_EQ(stepNote(s, 2, 1, 1), 3);    // past the empty slot
    EXPECT_EQ(stepNote(s, 2, 3, 1), -1);
    EXPECT_EQ(stepNote(s, 2, 3, -1), 1);
    EXPECT_EQ(stepNote(s, 2, -1, -1), 3);
    EXPECT_EQ(stepNote(s, 2, -1, 1), 0);
    EXPECT_EQ(stepPhraseHead(s, 2, 0, 1), 3);
    EXPECT_EQ(stepPhraseHead(s, 2, 3, -1), -1);
}

TEST(ScoreGeometry, PhrasesOfInterleavedGroups) {
    Song s;
    add(s, 0, note(0, 100, 60, 0));        // before any head: no phrase
    add(s, 0, note(100, 200, 60, 0, 1));   // head A
    add(s, 0, note(200, 300, 60, 1, 2));   // head B
    add(s, 0, note(300, 400, 60, 0));      // A
    add(s, 0, note(400, 500, 60, 1));      // B
    add(s, 0, note(500, 600, 60, 9));      // no such group
    const std::vector<long> heads = phraseHeadsOf(s, 0);
    EXPECT_EQ(heads, (std::vector<long>{-1, 1, 2, 1, 2, -1}));
}

TEST(ScoreGeometry, WordsInKanaOrRomaji) {
    VoxEvent e;
    e.setCode(0, "KA");
    e.syllableLength[0] = 2;
    e.setCode(1, "N");
    e.syllableLength[1] = 1;
    e.setCode(2, "XX");  // no length: not sung
    e.setCode(3, "    ");
    e.syllableLength[3] = 1;  // blank code: not sung
    auto kana = [](const std::string& c) { return c == "KA" ? std::string("か") : std::string(); };
    EXPECT_EQ(noteWords(e, WordDisplay::Hiragana, kana), "かN");
    EXPECT_EQ(noteWords(e, WordDisplay::Romaji, kana), "KA N");
    EXPECT_EQ(noteWords(e, WordDisplay::Off, kana), "");
}

}  // namespace
}  // namespace kantor

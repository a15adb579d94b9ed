// The lyric window's grid and its list operations.
#include <gtest/gtest.h>

#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "midi/TempoMap.h"
#include "song/LyricList.h"
#include "song/Song.h"

namespace kantor {
namespace {

// A map of 480 ticks a quarter: 4/4 from the start, and 6/8 from `sixEightAt` when not 0.
TempoMap mapOf(uint32_t end, uint32_t sixEightAt = 0) {
    SmfTrack t;
    t.tempo(0, 500000).timeSignature(0, 4, 2);
    if (sixEightAt) t.timeSignature(sixEightAt, 6, 3);
    t.note(0, 100, 0, 60, 100).endOfTrack(end);
    MidiFile midi;
    EXPECT_TRUE(midi.loadImage(buildSmf(0, 480, {t}), "x.mid"));
    TempoMap map;
    EXPECT_TRUE(map.build(midi));
    return map;
}

TEST(LyricSteps, QuarterNotesUntilAMeasureCountsEighths) {
    const TempoMap four = mapOf(7680);
    const LyricSteps s = LyricSteps::of(four);
    EXPECT_EQ(s.step, 480u);
    EXPECT_EQ(s.round(719), 480u);
    EXPECT_EQ(s.round(720), 960u);
    EXPECT_EQ(s.spinMax, 16);
    EXPECT_EQ(s.tickOfSpin(3), 1440u);
    EXPECT_EQ(four.positionText(1440), "001 : 4 : 000");
    EXPECT_EQ(four.positionText(1930), "002 : 1 : 010");

    // One 6/8 measure anywhere makes the step an eighth everywhere.
    const TempoMap six = mapOf(9600, 3840);
    const LyricSteps e = LyricSteps::of(six);
    EXPECT_EQ(e.step, 240u);
    EXPECT_EQ(e.round(130), 240u);
    EXPECT_EQ(e.round(119), 0u);
    EXPECT_EQ(six.positionText(3840 + 240 * 4 + 5), "003 : 5 : 005");

    EXPECT_EQ(LyricSteps::of(TempoMap{}).step, 0u);
    EXPECT_EQ(LyricSteps{}.round(1234), 1234u);
}

TEST(LyricList, EntersInPositionOrderAndAsksBeforeReplacing) {
    Song song;
    int asked = 0;
    auto no = [&] { ++asked; return false; };
    auto yes = [&] { ++asked; return true; };
    EXPECT_EQ(putLyric(song, 960, "b", no).index, 0);
    EXPECT_EQ(putLyric(song, 0, "a", no).index, 0);
    EXPECT_EQ(putLyric(song, 1920, "c \u3000 ", no).index, 2);
    EXPECT_EQ(song.lyricLines()[2]->text, "c");  // trailing blanks, full-width too, go
    EXPECT_EQ(asked, 0);

    LyricPutResult r = putLyric(song, 960, "B", no);
    EXPECT_EQ(r.what, LyricPut::Declined);
    EXPECT_EQ(song.lyricLines()[1]->text, "b");
    r = putLyric(song, 960, "B", yes);
    EXPECT_EQ(r.what, LyricPut::Replaced);
    EXPECT_EQ(r.index, 1);
    EXPECT_EQ(song.lyricLines()[1]->text, "B");
    EXPECT_EQ(song.lyricLines()[1]->position, 960u);
    EXPECT_EQ(asked, 2);

    // Only blanks: nothing happens, nothing is asked even at an occupied position.
    EXPECT_EQ(putLyric(song, 960, "  \u3000\t", yes).what, LyricPut::Empty);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(song.lyricLines().size(), 3u);

    // 63 bytes of cp932 fit; 64 do not; a character cp932 lacks cannot be kept.
    EXPECT_EQ(putLyric(song, 2400, std::string(63, 'x'), no).what, LyricPut::Inserted);
    EXPECT_EQ(putLyric(song, 2880, std::string(32, 'x') + "あいうえおかきくけこさしすせそた", no).what,
              LyricPut::TooLong);
    // A character cp932 lacks is not a matter of length.
    EXPECT_EQ(putLyric(song, 2880, "\U0001F600", no).what, LyricPut::Unwritable);
    EXPECT_EQ(lyricUnwritableCharacter("さくら\U0001F600x"), "\U0001F600");
    EXPECT_EQ(lyricUnwritableCharacter("さくら"), "");
    EXPECT_EQ(song.lyricLines().size(), 4u);
}

TEST(LyricList, FindsTheLineAtOrBeforeAndDeletes) {
    Song song;
    for (uint32_t t : {0u, 960u, 1920u}) putLyric(song, t, "x", {});
    song.lyricLines().push_back(nullptr);  // an empty slot is skipped
    EXPECT_EQ(lyricLineAtOrBefore(song, 959), 0);
    EXPECT_EQ(lyricLineAtOrBefore(song, 5000), 2);
    EXPECT_EQ(lyricLineAt(song, 960), 1);
    EXPECT_EQ(lyricLineAt(song, 961), -1);
    EXPECT_TRUE(deleteLyric(song, 1));
    EXPECT_FALSE(deleteLyric(song, 2));  // the empty slot
    EXPECT_FALSE(deleteLyric(song, -1));
    EXPECT_FALSE(deleteLyric(song, 9));
    EXPECT_EQ(lyricLineAt(song, 1920), 1);
    Song none;
    EXPECT_EQ(lyricLineAtOrBefore(none, 100), -1);
}

}  // namespace
}  // namespace kantor

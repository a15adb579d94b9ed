// The romaji code list of a voice.
#include <gtest/gtest.h>

#include "voice/RomajiList.h"
#include "voice/Voice.h"

namespace kantor {
namespace {

void add(Voice& v, const std::string& code, const std::string& kana, bool withData) {
    auto s = std::make_unique<VoiceSample>();
    s->code = code;
    s->kana = kana;
    if (withData) s->data = SoundBuffer::fromSamples(std::vector<int16_t>(10, 1));
    v.samples.push_back(std::move(s));
}

TEST(RomajiList, ACodeHeldAtTwoRowsIsListedOnceWithTheFirstKana) {
    Voice v;
    v.name = "Test";
    add(v, "A", "あ", true);
    add(v, "WI", "うぃ", false);  // the first WI (row 46) has no sound
    add(v, "", "", false);        // a placeholder keeps its place
    add(v, "KA", "か", true);
    add(v, "wi", "ゐ", true);     // row 80: the same code, any case
    add(v, "A", "あ", true);      // another pitch
    v.samples.push_back(nullptr);
    const std::vector<RomajiEntry> list = romajiEntries(v);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].code, "A");
    EXPECT_EQ(list[1].code, "WI");
    EXPECT_EQ(list[1].kana, "うぃ");
    EXPECT_TRUE(list[1].usable);  // the later sample has sound
    EXPECT_TRUE(list[2].code.empty());
    EXPECT_EQ(list[3].code, "KA");
    EXPECT_EQ(romajiRows(list.size()), 1);
    EXPECT_EQ(romajiRows(5), 1);
    EXPECT_EQ(romajiRows(6), 2);
    EXPECT_EQ(romajiRows(0), 0);
    EXPECT_EQ(romajiListTitle("MaleVox"), "入力ｺｰﾄﾞ（ﾛｰﾏ字）一覧　「MaleVox」");
}

}  // namespace
}  // namespace kantor

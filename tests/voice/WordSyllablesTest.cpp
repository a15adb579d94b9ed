#include <gtest/gtest.h>

#include "base/Codepage.h"
#include "voice/WordSyllables.h"

namespace kantor {
namespace {

std::string split(const std::string& word, const WordSplitOptions& options = {}) {
    std::vector<WordSyllable> out;
    WordSplitError error;
    const bool ok = splitWord(word, out, error, options);
    std::string s;
    for (const WordSyllable& w : out) s += (s.empty() ? "" : " ") + w.text;
    if (!ok) s += " !" + std::to_string(error.column) + ":" + error.piece;
    return s;
}

TEST(WordSyllables, KanaByMoraWithSmallKanaJoined) {
    EXPECT_EQ(split("さくら"), "さ く ら");
    EXPECT_EQ(split("サクラ"), "さ く ら");  // katakana is read as hiragana
    EXPECT_EQ(split("きょうは"), "きょ う は");
    EXPECT_EQ(split("ファイト"), "ふぁ い と");
    EXPECT_EQ(split("しぇんじゅ"), "しぇ ん じゅ");
}

TEST(WordSyllables, SmallTsuTakesNoNoteAndTheLongMarkSingsTheVowelAgain) {
    EXPECT_EQ(split("きって"), "き て");
    EXPECT_EQ(split("ラーメン"), "ら あ め ん");
    EXPECT_EQ(split("きょー"), "きょ お");
    EXPECT_EQ(split("ん〜"), "ん ん");
    EXPECT_EQ(split("ーあ"), " !0:ー");  // nothing to hold
    WordSplitOptions after;
    after.previous = "KYO";  // a ー on a note of its own holds the syllable before
    EXPECT_EQ(split("ー", after), "お");
}

TEST(WordSyllables, RomajiByTableAndHepburnSpellings) {
    EXPECT_EQ(split("sakura"), "SA KU RA");
    EXPECT_EQ(split("SAKURA"), "SA KU RA");
    EXPECT_EQ(split("shinjitsu"), "SHI N JI TSU");
    EXPECT_EQ(split("kyouha"), "KYO U HA");
    EXPECT_EQ(split("chotto"), "CHO TO");       // a doubled consonant is っ
    EXPECT_EQ(split("matcha"), "MA CHA");       // so is t before ch
    EXPECT_EQ(split("kanna"), "KA N NA");       // n before n and a vowel
    EXPECT_EQ(split("konnichiha"), "KO N NI CHI HA");
    EXPECT_EQ(split("hon'ya"), "HO N YA");
    EXPECT_EQ(split("honya"), "HO NYA");
    EXPECT_EQ(split("shimbun"), "SHI N BU N");  // Hepburn m before b
    EXPECT_EQ(split("nn"), "N");
    EXPECT_EQ(split("ｓａｋｕｒａ"), "SA KU RA");  // full-width letters
}

TEST(WordSyllables, UnknownPiecesAreNamedWithTheirColumn) {
    EXPECT_EQ(split("saxyzra"), "SA !2:xyzra");
    EXPECT_EQ(split("さくら桜"), "さ く ら !3:桜");
    EXPECT_EQ(split("ゕ"), " !0:ゕ");
    EXPECT_EQ(split("ぁ"), " !0:ぁ");
    EXPECT_EQ(split("ka!"), "KA !2:!");
    EXPECT_EQ(split(std::string("ka\xff")), "KA !2:\xff");  // not UTF-8
    // Lyrics from files carry punctuation: it may be passed over, but kanji never.
    WordSplitOptions lax;
    lax.skipPunctuation = true;
    EXPECT_EQ(split("「さくら！」", lax), "さ く ら");
    EXPECT_EQ(split("ka!", lax), "KA");
    EXPECT_EQ(split("桜", lax), " !0:桜");
}

TEST(WordSyllables, EveryKanaFormAJapaneseFileUses) {
    // Half-width katakana, as Unicode and as cp932's single bytes, with their voiced marks.
    EXPECT_EQ(split("ｻｸﾗ"), "さ く ら");
    EXPECT_EQ(split("ｶﾞｯｺｳ"), "が こ う");
    EXPECT_EQ(split("ﾊﾟﾝﾀﾞ"), "ぱ ん だ");
    EXPECT_EQ(split("ｷｮｰ"), "きょ お");
    EXPECT_EQ(split(cp932ToUtf8("\xBB\xB8\xD7")), "さ く ら");    // ｻｸﾗ in cp932
    EXPECT_EQ(split(cp932ToUtf8("\xC3\xDE\xDD")), "で ん");       // ﾃﾞﾝ
    EXPECT_EQ(split("ﾂﾞ"), "づ");
    // Combining and spacing voiced marks after a kana.
    EXPECT_EQ(split("\xE3\x81\x8B\xE3\x82\x99"), "が");  // か + U+3099
    EXPECT_EQ(split("は゜"), "ぱ");
    EXPECT_EQ(split("ﾝﾞ"), "ん !1:ﾞ");  // ん takes no mark
    // ゐ, ゑ and ヴ as the table's nearest syllables.
    EXPECT_EQ(split("ゐゑ"), "うぃ うぇ");
    EXPECT_EQ(split("ヰヱ"), "うぃ うぇ");
    EXPECT_EQ(split("ヴァイオリン"), "ば い お り ん");
    EXPECT_EQ(split("ヴ"), "ぶ");
    EXPECT_EQ(split("ｳﾞｨ"), "び");
    // A lone ー or 〜 (also half-width ｰ) holds the vowel of the syllable before.
    WordSplitOptions after;
    after.previous = "さ";
    EXPECT_EQ(split("ー", after), "あ");
    EXPECT_EQ(split("〜", after), "あ");
    EXPECT_EQ(split("ｰ", after), "あ");
    after.previous = "ヴ";
    EXPECT_EQ(split("ー", after), " !0:ー");  // no syllable of the table before it
}

TEST(WordSyllables, ColumnsCountCharacters) {
    std::vector<WordSyllable> out;
    WordSplitError error;
    ASSERT_TRUE(splitWord("きょうkara", out, error));
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[1].column, 2u);
    EXPECT_EQ(out[2].column, 3u);
    EXPECT_EQ(out[3].column, 5u);
    EXPECT_EQ(characterCount("きょう", 6), 2u);
}

}  // namespace
}  // namespace kantor

#include <gtest/gtest.h>

#include "voice/SyllableLookup.h"
#include "voice/VoiceBank.h"
#include "voice/VoiceTestFiles.h"

namespace kantor {
namespace {

using testing::makeSample;

TEST(SyllableLookup, KatakanaBecomeTheMatchingHiragana) {
    // The whole block from small A to small KE moves down by 0x60 code points.
    EXPECT_EQ(katakanaToHiragana("カキャァヴヶ"), "かきゃぁゔゖ");
    // Everything else stays: hiragana, the long-vowel mark, the middle dot, half-width
    // katakana, ASCII and a cut-off sequence at the end.
    EXPECT_EQ(katakanaToHiragana("か・ーｶA"), "か・ーｶA");
    EXPECT_EQ(katakanaToHiragana("ア\xE3\x82"), "あ\xE3\x82");
}

TEST(SyllableLookup, KanaAndRomajiFindTheCodeOfAUsableSample) {
    auto voice = std::make_unique<Voice>();
    voice->name = "v";
    voice->samples.push_back(makeSample("KA", "か", 60, {}));  // no sound: passed over
    voice->samples.push_back(makeSample("KA2", "か", 60, {1, 2}));
    voice->samples.push_back(makeSample("Kya", "きゃ", 60, {1, 2}));
    VoiceBank bank;
    bank.addVoice(std::move(voice));
    const Voice& v = *bank.findVoice("v");
    std::string code;
    EXPECT_TRUE(resolveSyllable(bank, v, "カ", code));
    EXPECT_EQ(code, "KA2");
    EXPECT_TRUE(resolveSyllable(bank, v, "キャ", code));
    EXPECT_EQ(code, "Kya");
    EXPECT_TRUE(resolveSyllable(bank, v, "kYA", code));
    EXPECT_EQ(code, "Kya");
    EXPECT_FALSE(resolveSyllable(bank, v, "サ", code));
    EXPECT_FALSE(resolveSyllable(bank, v, "ka", code));  // KA has no sound
    EXPECT_FALSE(resolveSyllable(bank, v, "", code));
}

// A voice with the table's codes for し, ち, つ, ん and しゃ (one in lower case, as the
// maker's lower-case option writes them) and a code of its own that is a Hepburn spelling.
std::unique_ptr<Voice> hepburnVoice() {
    auto voice = std::make_unique<Voice>();
    voice->name = "v";
    voice->samples.push_back(makeSample("SI", "し", 60, {1, 2}));
    voice->samples.push_back(makeSample("ti", "ち", 60, {1, 2}));
    voice->samples.push_back(makeSample("TU", "つ", 60, {}));  // no sound: passed over
    voice->samples.push_back(makeSample("N", "ん", 60, {1, 2}));
    voice->samples.push_back(makeSample("SYA", "しゃ", 60, {1, 2}));
    voice->samples.push_back(makeSample("CHA", "ちゃ", 60, {1, 2}));  // the voice's own code
    voice->samples.push_back(makeSample("CYA", "ちゃ", 60, {1, 2}));
    return voice;
}

TEST(SyllableLookup, HepburnFindsTheVoicesCodeOfTheTableSpelling) {
    VoiceBank bank;
    bank.addVoice(hepburnVoice());
    SyllableMatch m;
    // The answer is the code as the voice stores it, never the typed spelling.
    ASSERT_TRUE(findTypedSyllable(bank, "v", "shi", m));
    EXPECT_EQ(m.code, "SI");
    EXPECT_EQ(m.kana, "し");
    ASSERT_TRUE(findTypedSyllable(bank, "v", "CHI", m));
    EXPECT_EQ(m.code, "ti");
    EXPECT_EQ(m.kana, "ち");
    ASSERT_TRUE(findTypedSyllable(bank, "v", "Sha", m));
    EXPECT_EQ(m.code, "SYA");
    ASSERT_TRUE(findTypedSyllable(bank, "v", "nn", m));
    EXPECT_EQ(m.code, "N");
    // The table's own spellings work as before.
    ASSERT_TRUE(findTypedSyllable(bank, "v", "si", m));
    EXPECT_EQ(m.code, "SI");
    ASSERT_TRUE(findTypedSyllable(bank, "v", "", m));
    EXPECT_EQ(m.code, "");
    // What the voice cannot sing stays unknown, whichever the spelling.
    EXPECT_FALSE(findTypedSyllable(bank, "v", "tsu", m));  // TU has no sound
    EXPECT_FALSE(findTypedSyllable(bank, "v", "TU", m));
    EXPECT_FALSE(findTypedSyllable(bank, "v", "shu", m));
    EXPECT_FALSE(findTypedSyllable(bank, "v", "xyz", m));
    EXPECT_FALSE(findTypedSyllable(bank, "other", "shi", m));  // not loaded
}

TEST(SyllableLookup, AVoicesOwnCodesWinOverTheHepburnReading) {
    VoiceBank bank;
    bank.addVoice(hepburnVoice());
    SyllableMatch m;
    // The voice holds CHA itself: typing it gives that sample, not CYA.
    ASSERT_TRUE(findTypedSyllable(bank, "v", "cha", m));
    EXPECT_EQ(m.code, "CHA");
    ASSERT_TRUE(findTypedSyllable(bank, "v", "cya", m));
    EXPECT_EQ(m.code, "CYA");
    std::string code;
    ASSERT_TRUE(resolveSyllable(bank, *bank.findVoice("v"), "Cha", code));
    EXPECT_EQ(code, "CHA");
}

TEST(SyllableLookup, ResolveTakesHepburnBesideCodesAndKana) {
    VoiceBank bank;
    bank.addVoice(hepburnVoice());
    const Voice& v = *bank.findVoice("v");
    std::string code;
    ASSERT_TRUE(resolveSyllable(bank, v, "SHI", code));
    EXPECT_EQ(code, "SI");
    ASSERT_TRUE(resolveSyllable(bank, v, "chi", code));
    EXPECT_EQ(code, "ti");
    ASSERT_TRUE(resolveSyllable(bank, v, "n'", code));
    EXPECT_EQ(code, "N");
    ASSERT_TRUE(resolveSyllable(bank, v, "N\xE2\x80\x99", code));  // N’
    EXPECT_EQ(code, "N");
    // Kana as before.
    ASSERT_TRUE(resolveSyllable(bank, v, "シャ", code));
    EXPECT_EQ(code, "SYA");
    ASSERT_TRUE(resolveSyllable(bank, v, "ん", code));
    EXPECT_EQ(code, "N");
    EXPECT_FALSE(resolveSyllable(bank, v, "つ", code));
    EXPECT_FALSE(resolveSyllable(bank, v, "tsu", code));
    EXPECT_FALSE(resolveSyllable(bank, v, "", code));
}

}  // namespace
}  // namespace kantor

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

}  // namespace
}  // namespace kantor

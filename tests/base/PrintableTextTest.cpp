#include <gtest/gtest.h>

#include "base/PrintableText.h"

namespace kantor {
namespace {

TEST(PrintableText, TextsFromFilesStayOnOneHarmlessLine) {
    // A bank's character.txt name that sets the terminal's title and clears the screen.
    EXPECT_EQ(printableText("name=\x1b]0;owned\x07\x1b[2J"), "name=\\x1b]0;owned\\x07\\x1b[2J");
    EXPECT_EQ(printableText("two\nlines\r\tand a tab"), "two\\x0alines\\x0d\\x09and a tab");
    EXPECT_EQ(printableText(std::string("nul\0del\x7f", 8)), "nul\\x00del\\x7f");
    // Japanese, half-width katakana and an emoji are text and pass unchanged.
    EXPECT_EQ(printableText("あいうえお ﾌｧｲﾙ \xF0\x9F\x8E\xB5"), "あいうえお ﾌｧｲﾙ \xF0\x9F\x8E\xB5");
    // Bytes that are not UTF-8 (cp932 read as UTF-8, a cut sequence, an overlong form, a
    // surrogate) are shown byte by byte.
    EXPECT_EQ(printableText("\x82\xA0x"), "\\x82\\xa0x");
    EXPECT_EQ(printableText("a\xE3\x81"), "a\\xe3\\x81");
    EXPECT_EQ(printableText("\xC0\xAF"), "\\xc0\\xaf");
    EXPECT_EQ(printableText("\xED\xA0\x80"), "\\xed\\xa0\\x80");
    // C1 controls (CSI as U+009B), line separators and direction overrides.
    EXPECT_EQ(printableText("a\xC2\x9B" "2Jb"), "a\\u009b2Jb");
    EXPECT_EQ(printableText("x\xE2\x80\xA8y\xE2\x80\xAEz"), "x\\u2028y\\u202ez");
    EXPECT_FALSE(hasUnprintable("あ-a_b.wav"));
    EXPECT_TRUE(hasUnprintable("two\nlines"));
    EXPECT_TRUE(hasUnprintable("\x82\xA0"));
    EXPECT_TRUE(hasUnprintable("\xE2\x80\xAE"));
}

TEST(PrintableText, LongTextsAreCutWithTheirSize) {
    const std::string lyric(1 << 20, 'a');
    const std::string shown = printableText(lyric);
    EXPECT_EQ(shown, std::string(200, 'a') + "…(1048576 bytes)");
    // The cut falls between characters, never inside one.
    std::string kana;
    for (int i = 0; i < 100; ++i) kana += "か";  // 3 bytes each
    EXPECT_EQ(printableText(kana, 10), "かかか…(300 bytes)");
    EXPECT_EQ(printableText("exactly", 7), "exactly");
    EXPECT_EQ(printableText(""), "");
}

TEST(PrintableText, MessagesKeepTheirLinesButNotTheFileTexts) {
    EXPECT_EQ(printableLines("Utaﾌｧｲﾙの保存に失敗しました。\r\nsong.uta: \x1b[31mred"),
              "Utaﾌｧｲﾙの保存に失敗しました。\nsong.uta: \\x1b[31mred");
    EXPECT_EQ(printableLines("a\n\nb\n"), "a\n\nb\n");
    EXPECT_EQ(printableLines(std::string(50, 'x') + "\nok", 10), "xxxxxxxxxx…(50 bytes)\nok");
}

}  // namespace
}  // namespace kantor

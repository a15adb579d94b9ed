#include <gtest/gtest.h>

#include "base/Codepage.h"

namespace kantor {
namespace {

TEST(Codepage, RoundTripsKanaAndHalfWidthKatakana) {
    const std::string utf8 = "メモリが不足しています。ﾌｧｲﾙ きゃ ABC";
    bool exact = false;
    std::string sjis = utf8ToCp932(utf8, &exact);
    EXPECT_TRUE(exact);
    // Half-width katakana are single bytes in cp932.
    EXPECT_EQ(static_cast<unsigned char>(utf8ToCp932("ﾌ")[0]), 0xCC);
    EXPECT_EQ(utf8ToCp932("ﾌ").size(), 1u);
    EXPECT_EQ(utf8ToCp932("き").size(), 2u);
    EXPECT_EQ(cp932ToUtf8(sjis), utf8);
}

TEST(Codepage, ReplacesWhatCannotBeConverted) {
    bool exact = true;
    std::string sjis = utf8ToCp932("a\xF0\x9F\x8E\xB5" "b", &exact);  // an emoji has no cp932 code
    EXPECT_FALSE(exact);
    EXPECT_EQ(sjis, "a?b");
    // A lone lead byte at the end and an invalid byte become U+FFFD, the rest survives.
    std::string utf8 = cp932ToUtf8(std::string("x\x81", 2));
    EXPECT_EQ(utf8, "x\xEF\xBF\xBD");
    const unsigned char field[6] = {'a', 'b', 0, 'c', 'd', 'e'};
    EXPECT_EQ(cp932FieldToUtf8(field, sizeof field), "ab");
}

TEST(Codepage, AnUnassignedDoubleByteCodeIsOneCharacter) {
    // Lead bytes run from 0x81 to 0x9F and from 0xE0 to 0xFC. A code with a lead byte and a
    // trail byte that maps to nothing (row 0xEF, or past the last extension in row 0xFC)
    // becomes one U+FFFD; its trail byte is not read as a character of its own.
    EXPECT_EQ(cp932ToUtf8("A\xEF\x40" "B"), "A\xEF\xBF\xBD" "B");
    EXPECT_EQ(cp932ToUtf8("A\xFC\x4C" "B"), "A\xEF\xBF\xBD" "B");
    EXPECT_EQ(cp932ToUtf8("A\xFC\x4B" "B"), "A\xE9\xBB\x91" "B");  // the last one there is
}

TEST(Codepage, AStrayLeadByteKeepsTheCharacterAfterIt) {
    // A lead byte followed by a byte that cannot be a trail byte is one U+FFFD; the byte after
    // it (a line break, a quote, a digit, a space, a zero) is still read: lyric lines and
    // fields are not run together by one bad byte.
    EXPECT_EQ(cp932ToUtf8("ka\x81\nsa"), "ka\xEF\xBF\xBD\nsa");
    EXPECT_EQ(cp932ToUtf8("\"\x9F\"x"), "\"\xEF\xBF\xBD\"x");
    EXPECT_EQ(cp932ToUtf8("\xE0" "1"), "\xEF\xBF\xBD" "1");
    EXPECT_EQ(cp932ToUtf8("\xFC \x82\xA0"), "\xEF\xBF\xBD \xE3\x81\x82");  // then あ
    EXPECT_EQ(cp932ToUtf8(std::string("\x88\0z", 3)), std::string("\xEF\xBF\xBD\0z", 5));
    // Bytes that are never lead bytes stand alone as before.
    EXPECT_EQ(cp932ToUtf8("\x80" "a\xFD" "b"), "\xEF\xBF\xBD" "a\xEF\xBF\xBD" "b");
}

}  // namespace
}  // namespace kantor

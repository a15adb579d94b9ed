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

}  // namespace
}  // namespace kantor

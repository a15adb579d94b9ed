// Lyrics files as `new --lyrics` reads them: text is split into phrases, and what is not text
// is refused with its bytes shown as \xNN, never sent raw to the terminal.
#include <gtest/gtest.h>

#include "song/LyricsImport.h"

namespace kantor {
namespace {

TEST(LyricsImport, TextIsSplitAndBinaryJunkIsRefusedPrintably) {
    std::vector<LyricPhrase> phrases;
    std::string error;
    ASSERT_TRUE(parseLyrics("\xEF\xBB\xBF# title\nさ,く ら\r\n\n\tka - a\n", phrases, error)) << error;
    ASSERT_EQ(phrases.size(), 2u);
    EXPECT_EQ(phrases[0].line, 2);
    EXPECT_EQ(phrases[0].notes[0].syllables, (std::vector<std::string>{"さ", "く"}));
    EXPECT_EQ(phrases[1].notes.size(), 3u);

    // An escape sequence, a zero byte, a lone continuation byte, a cut sequence.
    const std::string junk[] = {"ka \x1b[2Jsa", std::string("ka\0sa", 5), "ka \x80", "ka \xE3\x81"};
    const char* shown[] = {"\\x1B", "\\x00", "\\x80", "\\xE3"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(parseLyrics("# fine\n" + junk[i] + "\n", phrases, error));
        EXPECT_TRUE(error.starts_with("line 2: not UTF-8 text (byte " + std::string(shown[i]))) << error;
        for (char c : error) EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20) << error;
    }
    EXPECT_EQ(printableText("あ\x07z\xFF"), "あ\\x07z\\xFF");
}

}  // namespace
}  // namespace kantor

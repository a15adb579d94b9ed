#pragma once
// Text that came from a file (a name, a lyric, a line of a bank's text file), made safe to
// print on a terminal: every control byte and every byte that is not UTF-8 is written as
// \xNN, characters that turn or break a line (U+0080-U+009F, U+2028/U+2029, the direction
// overrides) as \uNNNN, so that the text takes one line and cannot move the cursor, set the
// window title or clear the screen. A long text is cut, with its whole size given:
//   "abc\x1b]0;title\x07"            -> abc\x1b]0;title\x07
//   two\nlines                       -> two\x0alines
//   a 1 MB lyric                     -> the first 200 bytes…(1048576 bytes)
#include <cstddef>
#include <string>
#include <string_view>

namespace kantor {

// Bytes of the text kept before it is cut.
inline constexpr std::size_t kPrintableTextLimit = 200;

// One line, escaped, cut after `limit` bytes of the text (at a character boundary).
std::string printableText(std::string_view text, std::size_t limit = kPrintableTextLimit);

// A message of several lines, some of them from files: the line breaks stay, each line is
// escaped and cut on its own (at `lineLimit` bytes), and a carriage return before a line
// break is dropped.
std::string printableLines(std::string_view text, std::size_t lineLimit = 1000);

// True when printableText would change the text other than by cutting it: it holds a
// control character, a byte that is not UTF-8, or a character that turns or breaks lines.
bool hasUnprintable(std::string_view text);

}  // namespace kantor

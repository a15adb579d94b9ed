#pragma once
// Conversion between the program's UTF-8 text and the cp932 (Shift-JIS) text that
// the song, voice, project and settings files hold.
#include <string>
#include <string_view>

namespace kantor {

// Converts cp932 bytes to UTF-8. Bytes that are not valid cp932 become U+FFFD.
std::string cp932ToUtf8(std::string_view cp932);

// Converts UTF-8 to cp932. Characters cp932 has no code for become '?'.
// Returns false in `exact` (when given) if any character had to be replaced.
std::string utf8ToCp932(std::string_view utf8, bool* exact = nullptr);

// Reads a zero-terminated cp932 text from a fixed-size field and converts it to UTF-8.
std::string cp932FieldToUtf8(const unsigned char* field, std::size_t size);

// Byte length of a UTF-8 text once converted to cp932.
std::size_t cp932Length(std::string_view utf8);

}  // namespace kantor

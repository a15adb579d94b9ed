#pragma once
// Fixed-size text fields of the song file: cp932 on disk, UTF-8 in memory.
#include <cstddef>
#include <string>

#include "base/ByteIO.h"

namespace kantor {

// The cp932 form of a UTF-8 text, cut to at most maxBytes bytes without splitting a
// double-byte character.
std::string cp932Cut(const std::string& utf8, std::size_t maxBytes);

// Writes a text into a field of fieldSize bytes: cp932, at most fieldSize - 1 bytes, zero-filled.
void writeTextField(ByteWriter& w, const std::string& utf8, std::size_t fieldSize);
// Reads a field: the bytes up to the first zero, converted to UTF-8.
std::string readTextField(ByteReader& r, std::size_t fieldSize);

// Removes trailing blanks (as voice names are compared).
std::string withoutTrailingBlanks(std::string s);

}  // namespace kantor

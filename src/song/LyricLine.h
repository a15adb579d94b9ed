#pragma once
// A lyric text line placed at a song position (72 bytes in the song file).
#include <cstdint>
#include <string>

#include "base/ByteIO.h"

namespace kantor {

struct LyricLine {
    static constexpr std::size_t kSize = 72;
    static constexpr std::size_t kTextSize = 64;

    uint32_t reserved = 0;  // written as 0
    uint32_t position = 0;  // ticks
    std::string text;       // UTF-8 in memory

    void write(ByteWriter& w) const;  // the reserved word goes out as 0
    static LyricLine read(ByteReader& r);
};

}  // namespace kantor

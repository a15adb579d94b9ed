#pragma once
// A wave file inserted at a song position. In the song file a 28-byte record whose two
// data fields hold the file offsets of a path block and a name block; in memory the
// two texts themselves.
#include <cstdint>
#include <string>

#include "base/ByteIO.h"

namespace kantor {

struct WaveInsert {
    static constexpr std::size_t kSize = 28;

    uint32_t position = 0;    // ticks
    std::string path;         // full path of the inserted file (UTF-8)
    uint32_t waveValue1 = 0;  // packed sample format: bits low 16, channels high 16
    uint32_t waveValue2 = 0;  // sample rate in Hz
    std::string name;         // file name part of the path (UTF-8)

    // Sets path and, from it, name (the text after the last '/' or '\').
    void setPath(const std::string& fullPath);
    // The file to play is the song's folder plus this: the stored name with anything up to
    // its last '/' or '\' left out, so that a name from a damaged file cannot leave the folder.
    std::string fileName() const;

    // The block a text is stored in: cp932, zero-terminated, zero-padded to a multiple of 4.
    static std::string block(const std::string& utf8);
    // The 28-byte record with the given block offsets.
    void writeRecord(ByteWriter& w, uint32_t pathOffset, uint32_t nameOffset) const;
};

}  // namespace kantor

// Fuzzes the song file reader with bytes in memory. A file that reads is written again,
// read back and written once more: the two writes must agree.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "song/Song.h"
#include "song/SongFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    kantor::Song song;
    kantor::SongFile file;
    if (!file.readImage(song, std::span<const uint8_t>(data, size), "/songs/fuzz.uta")) return 0;
    std::vector<uint8_t> first;
    if (!file.build(song, song.midiPath(), song.storedDivision(), first)) return 0;
    kantor::Song again;
    if (!file.readImage(again, first, "/songs/fuzz.uta")) __builtin_trap();
    std::vector<uint8_t> second;
    if (!file.build(again, again.midiPath(), again.storedDivision(), second)) __builtin_trap();
    if (first != second) __builtin_trap();
    return 0;
}

#pragma once
// A new melody from nothing: an empty MIDI file (a tempo, a time signature, a length in
// measures, and channel 1 set up to sing) written beside a new song file that names it.
// Notes are then written into it (song/NoteEdits.h).
#include <cstdint>
#include <string>
#include <vector>

namespace kantor {

struct EmptySongShape {
    uint32_t tempo = 120;      // quarter notes a minute, 20 to 400
    int numerator = 4;         // 1 to 32
    int denominator = 4;       // 1, 2, 4, 8, 16 or 32
    uint32_t measures = 16;    // 1 to 9999
    uint16_t division = 480;   // ticks per quarter note
    // The text of the first value out of range; "" when all are good.
    std::string check() const;
};

// The MIDI file: format 1, a conductor track (tempo, time signature) and a track for
// channel 1 (its name and a voice program), both ending after the last measure.
std::vector<uint8_t> emptyMidiFile(const EmptySongShape& shape);
// Where the MIDI file of a new song goes: beside it, its name with ".mid".
std::string emptyMidiPathFor(const std::string& songPath);
// Writes both files. With `replace` false an existing file of either name is refused. If the
// song cannot be written the MIDI file made for it is removed. False with `error` set.
bool writeEmptySong(const std::string& songPath, const EmptySongShape& shape, bool replace, std::string& error);

}  // namespace kantor

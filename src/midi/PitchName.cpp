#include "midi/PitchName.h"

namespace kantor {

std::string pitchName(int note) {
    static const char* const names[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    if (note < 0) return "?";
    return names[note % 12] + std::to_string(note / 12 - 2);
}

}  // namespace kantor

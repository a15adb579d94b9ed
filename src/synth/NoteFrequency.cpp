#include "synth/NoteFrequency.h"

#include <limits>

namespace kantor {

uint32_t noteFrequency(uint32_t note, uint32_t tuning) {
    const uint32_t octave = note / 12;
    const uint32_t step = note % 12;
    double x = tuning;
    if (step < 3) {
        // C, C# and D are counted up from the A below.
        if (octave <= 6) {
            for (uint32_t i = octave; i < 7; ++i) x /= 2;
        } else if (octave > 7) {
            for (uint32_t i = 7; i < octave; ++i) x *= 2;
        }
        for (uint32_t i = 0; i < step + 3; ++i) x *= 1.0595;
    } else {
        if (octave <= 5) {
            for (uint32_t i = octave; i < 6; ++i) x /= 2;
        } else if (octave >= 7) {
            for (uint32_t i = 6; i < octave; ++i) x *= 2;
        }
        if (step >= 10) {
            for (uint32_t i = 0; i < step - 9; ++i) x *= 1.0595;
        } else {
            for (uint32_t i = 0; i < 9 - step; ++i) x *= 0.9438414346389805;
        }
    }
    x += 0.5;
    if (x >= 4294967295.0) return std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(x);
}

}  // namespace kantor

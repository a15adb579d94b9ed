#include "NoteFrequency.h"

namespace kantor::voicegen {

uint32_t noteFrequency(int note, uint32_t tuning) {
    const int o = note / 12;
    const int s = note % 12;
    long double x = tuning;
    // Octave steps relative to the octave that holds note 81 (or, for s < 3, the next).
    const int home = s < 3 ? 7 : 6;
    if (o < home) {
        for (int i = o; i < home; ++i) x /= 2;
    } else {
        for (int i = home; i < o; ++i) x *= 2;
    }
    if (s < 3) {
        for (int i = 0; i < s + 3; ++i) x *= 1.0595L;
    } else if (s >= 10) {
        for (int i = 0; i < s - 9; ++i) x *= 1.0595L;
    } else {
        for (int i = 0; i < 9 - s; ++i) x *= 0.9438414346389805L;
    }
    return static_cast<uint32_t>(x + 0.5L);
}

}  // namespace kantor::voicegen

#pragma once
// The system's note frequency: note 81 sounds at the tuning, each semitone a factor of
// 1.0595 up (0.9438414346389805 down), in the unit of the tuning (thousandths of a
// hertz in voice files). Samples are labelled with the note whose frequency they hold.
#include <cstdint>

namespace kantor::voicegen {

uint32_t noteFrequency(int note, uint32_t tuning);

// In hertz, for a tuning in thousandths of a hertz.
inline double noteHz(int note, uint32_t tuning = 440000) { return noteFrequency(note, tuning) / 1000.0; }

}  // namespace kantor::voicegen

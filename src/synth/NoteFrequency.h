#pragma once
#include <cstdint>

namespace kantor {

// The frequency of a note in the unit of the tuning (thousandths of a hertz): note 81
// sounds at the tuning itself, and each semitone is a factor of 1.0595 upwards or
// 0.9438414346389805 downwards, counted from the A or C of the note's octave.
uint32_t noteFrequency(uint32_t note, uint32_t tuning);

}  // namespace kantor

#pragma once
// The diphone voices are recorded at 16 kHz: nothing of them lies above 8 kHz, where
// the hiss of an s, a sh or a breath has much of its energy. The consonant gets that
// band back as noise that follows the loudness of the highest band the voice does have.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "Signal.h"

namespace kantor::voicegen {

// Linear-phase FIR band-pass between f1 and f2 hertz (windowed sinc, odd length).
std::vector<double> bandPassTaps(double f1, double f2, double fs, int taps);

// x filtered by the odd-length FIR h, centred so that it adds no delay; samples of x
// outside [begin, end) count as silence. The result covers [begin, end).
Signal filterRange(std::span<const float> x, std::size_t begin, std::size_t end, const std::vector<double>& h);

// Adds to y over [begin, end) noise in 8..12 kHz whose envelope follows the 5..7.8 kHz
// band of x (same timeline), fading out over the last 10 ms of the range.
void extendNoiseBand(Signal& y, std::span<const float> x, std::size_t begin, std::size_t end, double fs,
                     uint32_t seed);

}  // namespace kantor::voicegen

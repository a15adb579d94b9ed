#pragma once
// Measurements that stand in for listening: how far the fundamental of a stretch
// strays from the pitch it should hold, and how much its level moves.
#include <cstddef>
#include <span>

namespace kantor::voicegen {

struct StretchQuality {
    double worstCents = 0.0;  // largest |deviation| of a frame's fundamental from f0
    double meanCents = 0.0;   // mean signed deviation
    double levelSpreadDb = 0.0;  // largest |frame level - mean level| in dB
    double minClarity = 1.0;  // least periodicity among the frames
    int frames = 0;
};

// Frames of at least three periods (and 1024 samples), half-overlapping, over
// x[begin, end); the fundamental is searched within a minor third of f0.
StretchQuality measureStretch(std::span<const float> x, double fs, std::size_t begin, std::size_t end, double f0);

}  // namespace kantor::voicegen

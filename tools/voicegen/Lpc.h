#pragma once
// Linear prediction: the spectral envelope of a stretch of voice, used to colour noise
// into the breath of an "h".
#include <cstddef>
#include <span>
#include <vector>

#include "Signal.h"

namespace kantor::voicegen {

// Predictor a[1..order] (a[0] = 1) of x[begin, begin + length) under a Hann window, by
// the autocorrelation method and Levinson-Durbin. Empty when the stretch is silent or
// does not fit in x.
std::vector<double> lpcAnalyze(std::span<const float> x, std::size_t begin, std::size_t length, int order);

// x filtered by 1 / A(z).
Signal allPole(std::span<const float> x, const std::vector<double>& a);

}  // namespace kantor::voicegen

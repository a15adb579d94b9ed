#include "Bandwidth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kantor::voicegen {

std::vector<double> bandPassTaps(double f1, double f2, double fs, int taps) {
    if (taps < 3) taps = 3;
    if (taps % 2 == 0) ++taps;
    std::vector<double> h(static_cast<std::size_t>(taps));
    const int mid = taps / 2;
    const double w1 = 2.0 * f1 / fs, w2 = 2.0 * f2 / fs;  // as fractions of Nyquist
    for (int i = 0; i < taps; ++i) {
        const int k = i - mid;
        double ideal;
        if (k == 0) {
            ideal = w2 - w1;
        } else {
            const double a = std::numbers::pi * k;
            ideal = (std::sin(w2 * a) - std::sin(w1 * a)) / a;
        }
        const double win = 0.42 - 0.5 * std::cos(2 * std::numbers::pi * i / (taps - 1)) +
                           0.08 * std::cos(4 * std::numbers::pi * i / (taps - 1));
        h[static_cast<std::size_t>(i)] = ideal * win;
    }
    return h;
}

Signal filterRange(std::span<const float> x, std::size_t begin, std::size_t end, const std::vector<double>& h) {
    end = std::min(end, x.size());
    if (begin >= end || h.empty()) return {};
    Signal y(end - begin, 0.0f);
    const long long mid = static_cast<long long>(h.size() / 2);
    for (std::size_t n = begin; n < end; ++n) {
        double acc = 0.0;
        for (std::size_t k = 0; k < h.size(); ++k) {
            const long long i = static_cast<long long>(n) + mid - static_cast<long long>(k);
            if (i < static_cast<long long>(begin) || i >= static_cast<long long>(end)) continue;
            acc += h[k] * x[static_cast<std::size_t>(i)];
        }
        y[n - begin] = static_cast<float>(acc);
    }
    return y;
}

void extendNoiseBand(Signal& y, std::span<const float> x, std::size_t begin, std::size_t end, double fs,
                     uint32_t seed) {
    end = std::min({end, x.size(), y.size()});
    if (begin >= end) return;
    const std::size_t len = end - begin;
    // The envelope of the top band the voice has, smoothed over 2 ms.
    const Signal top = filterRange(x, begin, end, bandPassTaps(5000.0, 7800.0, fs, 101));
    const std::size_t smooth = static_cast<std::size_t>(0.002 * fs);
    std::vector<double> env(len, 0.0);
    double acc = 0.0;
    for (std::size_t i = 0; i < len; ++i) {
        acc += static_cast<double>(top[i]) * top[i];
        if (i >= smooth) acc -= static_cast<double>(top[i - smooth]) * top[i - smooth];
        env[i] = std::sqrt(std::max(acc, 0.0) / static_cast<double>(smooth));
    }
    // Unit-level noise in 8..12 kHz.
    Noise noise(seed);
    Signal white(len);
    for (float& v : white) v = noise.next();
    const Signal hiss = filterRange(white, 0, len, bandPassTaps(8000.0, 12000.0, fs, 101));
    const double hissRms = rms(hiss, 0, hiss.size());
    if (hissRms <= 0.0) return;
    const std::size_t fade = std::min(len, static_cast<std::size_t>(0.01 * fs));
    for (std::size_t i = 0; i < len; ++i) {
        double g = 0.6 / hissRms;
        if (i + fade >= len) g *= static_cast<double>(len - i) / static_cast<double>(fade);
        // The envelope is centred on the sample (half the smoothing back).
        const double e = env[std::min(len - 1, i + smooth / 2)];
        y[begin + i] += static_cast<float>(g * e * hiss[i]);
    }
}

}  // namespace kantor::voicegen

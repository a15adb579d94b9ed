#pragma once
// An independent pitch tracker for tests of sung sound: the cumulative mean normalised
// difference (YIN) of short frames, with the first dip below a threshold refined by a
// parabola. It shares nothing with the synthesis.
#include <cmath>
#include <cstdint>
#include <vector>

namespace kantor::test {

struct PitchFrame {
    double ms = 0;  // centre of the frame
    double hz = 0;  // 0: no clear pitch
};

inline std::vector<PitchFrame> trackPitch(const std::vector<int16_t>& s, double rate, double minHz = 150,
                                          double maxHz = 1200, double hopMs = 1.0, double threshold = 0.15) {
    const std::size_t maxLag = static_cast<std::size_t>(rate / minHz) + 2;
    const std::size_t minLag = static_cast<std::size_t>(rate / maxHz);
    const std::size_t window = maxLag;  // one longest period compared with the next
    const std::size_t hop = static_cast<std::size_t>(rate * hopMs / 1000.0);
    std::vector<PitchFrame> out;
    std::vector<double> d(maxLag + 1);
    for (std::size_t start = 0; start + window + maxLag < s.size(); start += hop) {
        double energy = 0;
        for (std::size_t j = 0; j < window; ++j) energy += double(s[start + j]) * s[start + j];
        PitchFrame f;
        f.ms = (double(start) + double(window + maxLag) / 2) * 1000.0 / rate;
        if (energy / double(window) < 100.0 * 100.0) {
            out.push_back(f);
            continue;
        }
        d[0] = 1;
        double running = 0;
        for (std::size_t lag = 1; lag <= maxLag; ++lag) {
            double sum = 0;
            for (std::size_t j = 0; j < window; ++j) {
                const double diff = double(s[start + j]) - double(s[start + j + lag]);
                sum += diff * diff;
            }
            running += sum;
            d[lag] = running > 0 ? sum * double(lag) / running : 1;
        }
        for (std::size_t lag = std::max<std::size_t>(minLag, 2); lag < maxLag; ++lag) {
            if (d[lag] < threshold && d[lag] <= d[lag + 1]) {
                while (lag + 1 < maxLag && d[lag + 1] < d[lag]) ++lag;
                const double a = d[lag - 1], b = d[lag], c = d[lag + 1];
                const double den = a - 2 * b + c;
                const double shift = den != 0 ? 0.5 * (a - c) / den : 0;
                f.hz = rate / (double(lag) + shift);
                break;
            }
        }
        out.push_back(f);
    }
    return out;
}

inline double centsBetween(double hz, double reference) { return 1200.0 * std::log2(hz / reference); }

}  // namespace kantor::test

#include "Quality.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "PitchTracker.h"
#include "Signal.h"

namespace kantor::voicegen {

StretchQuality measureStretch(std::span<const float> x, double fs, std::size_t begin, std::size_t end, double f0) {
    StretchQuality q;
    end = std::min(end, x.size());
    const double period = fs / f0;
    const double maxPeriod = period * 1.19;
    const std::size_t window = static_cast<std::size_t>(std::max(1024.0, std::ceil(3.0 * period)));
    const std::size_t reach = window + static_cast<std::size_t>(std::ceil(maxPeriod)) + 1;
    std::vector<double> levels;
    double centsSum = 0.0;
    for (std::size_t s = begin; s + reach <= end; s += window / 2) {
        const PeriodEstimate e = estimatePeriod(x, s, window, period / 1.19, maxPeriod);
        // A frame without a clear period counts as an octave off.
        const double dev = e.period > 0.0 && e.clarity >= 0.5 ? cents(fs / e.period, f0) : 1200.0;
        q.worstCents = std::max(q.worstCents, std::abs(dev));
        q.minClarity = std::min(q.minClarity, e.clarity);
        centsSum += dev;
        levels.push_back(rms(x, s, s + window));
        ++q.frames;
    }
    if (q.frames == 0) return q;
    q.meanCents = centsSum / q.frames;
    double mean = 0.0;
    for (double l : levels) mean += l;
    mean /= static_cast<double>(levels.size());
    for (double l : levels) {
        const double db = 20.0 * std::log10(std::max(l, 1e-9) / std::max(mean, 1e-9));
        q.levelSpreadDb = std::max(q.levelSpreadDb, std::abs(db));
    }
    return q;
}

}  // namespace kantor::voicegen

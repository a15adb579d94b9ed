#include "PitchTracker.h"

#include <algorithm>
#include <cmath>

namespace kantor::voicegen {

PeriodEstimate estimatePeriod(std::span<const float> x, std::size_t begin, std::size_t window,
                              double minPeriod, double maxPeriod) {
    PeriodEstimate out;
    const std::size_t lo = static_cast<std::size_t>(std::max(2.0, std::floor(minPeriod)));
    const std::size_t hi = static_cast<std::size_t>(std::ceil(maxPeriod));
    if (lo >= hi || window == 0 || begin + window + hi + 1 > x.size()) return out;
    const float* a = x.data() + begin;
    double e0 = 0.0;
    for (std::size_t i = 0; i < window; ++i) e0 += static_cast<double>(a[i]) * a[i];
    if (e0 <= 0.0) return out;
    // r[k] for lags lo-1 .. hi+1, so that every lag in range has both neighbours.
    std::vector<double> r(hi - lo + 3, 0.0);
    double el = 0.0;
    const std::size_t first = lo - 1;
    for (std::size_t i = 0; i < window; ++i) el += static_cast<double>(a[i + first]) * a[i + first];
    for (std::size_t lag = first; lag <= hi + 1; ++lag) {
        if (lag > first) {
            const double gone = a[lag - 1];
            const double come = a[lag - 1 + window];
            el += come * come - gone * gone;
        }
        double c = 0.0;
        for (std::size_t i = 0; i < window; ++i) c += static_cast<double>(a[i]) * a[i + lag];
        const double d = std::sqrt(e0 * std::max(el, 1e-9));
        r[lag - first] = c / d;
    }
    // The highest correlation, refined by a parabola through it and its neighbours. The
    // lag range is narrower than an octave, so a multiple of the period cannot win.
    std::size_t bestLag = lo;
    for (std::size_t lag = lo + 1; lag <= hi; ++lag)
        if (r[lag - first] > r[bestLag - first]) bestLag = lag;
    const double ym = r[bestLag - first - 1], y0 = r[bestLag - first], yp = r[bestLag - first + 1];
    if (y0 <= 0.0) return out;
    const double den = ym - 2.0 * y0 + yp;
    double shift = 0.0;
    if (den < 0.0) shift = std::clamp(0.5 * (ym - yp) / den, -0.5, 0.5);
    out.period = static_cast<double>(bestLag) + shift;
    out.clarity = y0 - 0.25 * (ym - yp) * shift;
    return out;
}

std::vector<PitchFrame> trackPitch(std::span<const float> x, std::size_t hop, double minPeriod,
                                   double maxPeriod, double voicedClarity, double minRms) {
    std::vector<PitchFrame> frames;
    if (hop == 0) return frames;
    const std::size_t window = static_cast<std::size_t>(std::ceil(std::max(2.0 * maxPeriod, 256.0)));
    const std::size_t reach = window + static_cast<std::size_t>(std::ceil(maxPeriod)) + 1;
    for (std::size_t begin = 0; begin + reach <= x.size(); begin += hop) {
        PitchFrame f;
        f.center = begin + window / 2;
        double e = 0.0;
        for (std::size_t i = begin; i < begin + window; ++i) e += static_cast<double>(x[i]) * x[i];
        f.rms = std::sqrt(e / static_cast<double>(window));
        if (f.rms >= minRms) {
            const PeriodEstimate p = estimatePeriod(x, begin, window, minPeriod, maxPeriod);
            f.clarity = p.clarity;
            if (p.clarity >= voicedClarity) f.period = p.period;
        }
        frames.push_back(f);
    }
    return frames;
}

double cents(double f, double ref) { return 1200.0 * std::log2(f / ref); }

namespace {

// Period at sample t, from the nearest voiced frame.
double periodAt(const std::vector<PitchFrame>& frames, long long t) {
    double best = 0.0;
    long long dist = -1;
    for (const PitchFrame& f : frames) {
        if (f.period <= 0.0) continue;
        const long long d = std::llabs(static_cast<long long>(f.center) - t);
        if (dist < 0 || d < dist) {
            dist = d;
            best = f.period;
        }
    }
    return best;
}

}  // namespace

std::vector<long long> placePitchMarks(std::span<const float> x, const std::vector<PitchFrame>& frames,
                                       std::size_t maxGapFrames) {
    std::vector<long long> marks;
    const long long len = static_cast<long long>(x.size());
    std::size_t i = 0;
    while (i < frames.size()) {
        if (frames[i].period <= 0.0) {
            ++i;
            continue;
        }
        // A voiced stretch: frames i..j, bridging gaps of up to maxGapFrames unvoiced frames.
        std::size_t j = i;
        for (std::size_t k = i + 1; k < frames.size() && k <= j + maxGapFrames + 1; ++k) {
            if (frames[k].period > 0.0) j = k;
        }
        const long long hop = frames.size() > 1 ? static_cast<long long>(frames[1].center - frames[0].center) : 1;
        const long long start = std::max(0LL, static_cast<long long>(frames[i].center) - hop / 2);
        const long long stop = std::min(len - 1, static_cast<long long>(frames[j].center) + hop / 2);
        double p = frames[i].period;
        long long m = start;
        float best = -1.0f;
        for (long long t = start; t < std::min(stop, start + static_cast<long long>(p)); ++t) {
            if (std::abs(x[static_cast<std::size_t>(t)]) > best) {
                best = std::abs(x[static_cast<std::size_t>(t)]);
                m = t;
            }
        }
        while (m <= stop) {
            marks.push_back(m);
            p = periodAt(frames, m);
            const long long expect = m + static_cast<long long>(std::llround(p));
            const long long reach = std::max(1LL, static_cast<long long>(p / 5.0));
            const long long half = static_cast<long long>(p / 2.0);
            long long next = expect;
            double bestC = -1e300;
            for (long long d = -reach; d <= reach; ++d) {
                const long long c = expect + d;
                double acc = 0.0;
                for (long long k = -half; k <= half; ++k) {
                    const long long a = m + k, b = c + k;
                    if (a < 0 || b < 0 || a >= len || b >= len) continue;
                    acc += static_cast<double>(x[static_cast<std::size_t>(a)]) * x[static_cast<std::size_t>(b)];
                }
                if (acc > bestC) {
                    bestC = acc;
                    next = c;
                }
            }
            if (next <= m) break;
            m = next;
        }
        i = j + 1;
    }
    return marks;
}

}  // namespace kantor::voicegen

#include "Psola.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kantor::voicegen {

namespace {

// Adds, centred on output position t, a grain cut from the input around tau (snapped to
// the nearest pitch mark when one lies within 0.75 period), scaled by `weight`.
void addGrain(std::span<const float> x, std::span<const long long> marks, double period, double t, double tau,
              double weight, Signal& y) {
    const long long outLen = static_cast<long long>(y.size());
    const double window = period;  // half-width
    double centre = tau;
    if (!marks.empty()) {
        const auto it = std::lower_bound(marks.begin(), marks.end(), static_cast<long long>(std::floor(tau)));
        double best = 1e300;
        for (auto c : {it, it == marks.begin() ? it : it - 1}) {
            if (c == marks.end()) continue;
            const double d = std::abs(static_cast<double>(*c) - tau);
            if (d < best) {
                best = d;
                centre = static_cast<double>(*c);
            }
        }
        if (best > 0.75 * period) centre = tau;
    }
    // Output sample n reads the input at n - t + centre: one fractional offset per grain.
    const double offset = centre - t;
    const double fl = std::floor(offset);
    double frac = offset - fl;
    long long whole = static_cast<long long>(fl);
    if (frac > 1.0 - 1e-7) {
        frac = 0.0;
        ++whole;
    }
    const bool exact = frac < 1e-7;
    const FractionalTaps taps(exact ? 0.0 : frac);
    const long long n0 = std::max(0LL, static_cast<long long>(std::ceil(t - window)));
    const long long n1 = std::min(outLen - 1, static_cast<long long>(std::floor(t + window)));
    const long long len = static_cast<long long>(x.size());
    for (long long n = n0; n <= n1; ++n) {
        const double u = (static_cast<double>(n) - t) / window;
        const double w = weight * (0.5 + 0.5 * std::cos(std::numbers::pi * u));
        if (w <= 0.0) continue;
        const long long base = n + whole;
        float v = 0.0f;
        if (exact) {
            if (base >= 0 && base < len) v = x[static_cast<std::size_t>(base)];
        } else {
            v = taps.apply(x, base);
        }
        y[static_cast<std::size_t>(n)] += static_cast<float>(w * v);
    }
}

}  // namespace

Signal psolaConstantPitch(std::span<const float> x, std::span<const long long> marks, double period,
                          std::size_t outLength, const TimeMap& map) {
    Signal y(outLength, 0.0f);
    if (period < 2.0 || outLength == 0) return y;
    const long long outLen = static_cast<long long>(outLength);
    const double window = period;  // half-width
    for (long long k = 0;; ++k) {
        const double t = static_cast<double>(k) * period;
        if (t - window >= static_cast<double>(outLen)) break;
        const GrainSource src = map(t);
        const double mix = std::clamp(src.mix, 0.0, 1.0);
        if (mix < 1.0) addGrain(x, marks, period, t, src.from, 1.0 - mix, y);
        if (mix > 0.0) addGrain(x, marks, period, t, src.to, mix, y);
    }
    return y;
}

TimeMap holdVowelMap(double leave, double blend, double holdFrom, double holdTo, double speed) {
    const double span = std::max(0.0, holdTo - holdFrom);
    return [=](double t) {
        GrainSource g{t, holdFrom, 0.0};
        if (t <= leave) return g;
        if (span > 0.0) {
            const double leg = std::fmod((t - leave) * speed, 2.0 * span);
            g.to = holdFrom + (leg <= span ? leg : 2.0 * span - leg);
        }
        if (blend <= 0.0 || t >= leave + blend) {
            g.mix = 1.0;
        } else {
            g.mix = 0.5 - 0.5 * std::cos(std::numbers::pi * (t - leave) / blend);
        }
        return g;
    };
}

}  // namespace kantor::voicegen

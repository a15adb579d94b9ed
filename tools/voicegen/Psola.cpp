#include "Psola.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kantor::voicegen {

Signal psolaConstantPitch(std::span<const float> x, std::span<const long long> marks, double period,
                          std::size_t outLength, const TimeMap& map) {
    Signal y(outLength, 0.0f);
    if (period < 2.0 || outLength == 0) return y;
    const long long outLen = static_cast<long long>(outLength);
    const double window = period;  // half-width
    for (long long k = 0;; ++k) {
        const double t = static_cast<double>(k) * period;
        if (t - window >= static_cast<double>(outLen)) break;
        const double tau = map(t);
        // The nearest pitch mark, if one lies within a period of the analysis time.
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
            const double w = 0.5 + 0.5 * std::cos(std::numbers::pi * u);
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
    return y;
}

TimeMap holdVowelMap(double leave, double holdFrom, double holdTo, double speed) {
    const double span = std::max(0.0, holdTo - holdFrom);
    return [=](double t) {
        if (t <= leave) return t;
        if (span <= 0.0) return holdFrom;
        const double travelled = (t - leave) * speed;
        const double leg = std::fmod(travelled, 2.0 * span);
        return holdFrom + (leg <= span ? leg : 2.0 * span - leg);
    };
}

}  // namespace kantor::voicegen

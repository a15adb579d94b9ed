#include "Lpc.h"

#include <cmath>
#include <numbers>

namespace kantor::voicegen {

std::vector<double> lpcAnalyze(std::span<const float> x, std::size_t begin, std::size_t length, int order) {
    if (order < 1 || length <= static_cast<std::size_t>(order) || begin + length > x.size()) return {};
    std::vector<double> w(length);
    for (std::size_t i = 0; i < length; ++i) {
        const double h = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (static_cast<double>(i) + 0.5) /
                                              static_cast<double>(length));
        w[i] = x[begin + i] * h;
    }
    const std::size_t p = static_cast<std::size_t>(order);
    std::vector<double> r(p + 1, 0.0);
    for (std::size_t lag = 0; lag <= p; ++lag)
        for (std::size_t i = lag; i < length; ++i) r[lag] += w[i] * w[i - lag];
    if (r[0] <= 0.0) return {};
    r[0] *= 1.0 + 1e-6;  // a little white noise keeps the recursion stable
    std::vector<double> a(p + 1, 0.0), prev(p + 1, 0.0);
    a[0] = 1.0;
    double err = r[0];
    for (std::size_t i = 1; i <= p; ++i) {
        double acc = r[i];
        for (std::size_t j = 1; j < i; ++j) acc += a[j] * r[i - j];
        const double k = -acc / err;
        prev = a;
        for (std::size_t j = 1; j < i; ++j) a[j] = prev[j] + k * prev[i - j];
        a[i] = k;
        err *= 1.0 - k * k;
        if (err <= 0.0) return {};
    }
    return a;
}

Signal allPole(std::span<const float> x, const std::vector<double>& a) {
    Signal y(x.size(), 0.0f);
    if (a.empty()) return y;
    std::vector<double> hist(a.size(), 0.0);  // hist[j] = y[n - j]
    for (std::size_t n = 0; n < x.size(); ++n) {
        double v = x[n];
        for (std::size_t j = 1; j < a.size(); ++j) v -= a[j] * hist[j];
        for (std::size_t j = a.size() - 1; j > 1; --j) hist[j] = hist[j - 1];
        if (a.size() > 1) hist[1] = v;
        y[n] = static_cast<float>(v);
    }
    return y;
}

}  // namespace kantor::voicegen

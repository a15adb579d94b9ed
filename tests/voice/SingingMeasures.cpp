#include "SingingMeasures.h"

#include "base/Fft.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace kantor::measure {

namespace {

constexpr double kPi = std::numbers::pi;

double hann(std::size_t i, std::size_t n) {
    return n < 2 ? 1.0 : 0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(i) / static_cast<double>(n - 1));
}

struct Biquad {
    double b0, b1, b2, a1, a2;
    double z1 = 0.0, z2 = 0.0;
    double step(double x) {
        const double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
};

Biquad lowPassSection(double fs, double hz, double q) {
    const double w = 2.0 * kPi * hz / fs;
    const double alpha = std::sin(w) / (2.0 * q);
    const double c = std::cos(w);
    const double a0 = 1.0 + alpha;
    return {(1.0 - c) / 2.0 / a0, (1.0 - c) / a0, (1.0 - c) / 2.0 / a0, -2.0 * c / a0, (1.0 - alpha) / a0};
}

double median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// Predictor a[0..order] of x by the autocorrelation method under a Hamming window.
std::vector<double> lpc(std::span<const float> x, int order) {
    const std::size_t n = x.size();
    std::vector<double> w(n);
    for (std::size_t i = 0; i < n; ++i)
        w[i] = x[i] * (0.54 - 0.46 * std::cos(2.0 * kPi * static_cast<double>(i) / static_cast<double>(n - 1)));
    std::vector<double> r(static_cast<std::size_t>(order) + 1, 0.0);
    for (int k = 0; k <= order; ++k)
        for (std::size_t i = static_cast<std::size_t>(k); i < n; ++i) r[static_cast<std::size_t>(k)] += w[i] * w[i - static_cast<std::size_t>(k)];
    if (r[0] <= 0.0) return {};
    r[0] *= 1.0001;  // a little white noise keeps the recursion stable
    std::vector<double> a(static_cast<std::size_t>(order) + 1, 0.0), prev;
    a[0] = 1.0;
    double err = r[0];
    for (int i = 1; i <= order; ++i) {
        double acc = r[static_cast<std::size_t>(i)];
        for (int j = 1; j < i; ++j) acc += a[static_cast<std::size_t>(j)] * r[static_cast<std::size_t>(i - j)];
        const double k = -acc / err;
        prev = a;
        for (int j = 1; j < i; ++j) a[static_cast<std::size_t>(j)] = prev[static_cast<std::size_t>(j)] + k * prev[static_cast<std::size_t>(i - j)];
        a[static_cast<std::size_t>(i)] = k;
        err *= 1.0 - k * k;
        if (err <= 0.0) return {};
    }
    return a;
}

}  // namespace

double fundamental(std::span<const float> x, std::size_t begin, std::size_t length, double fs, double fmin,
                   double fmax, double clarity) {
    const std::size_t lo = static_cast<std::size_t>(std::floor(fs / fmax));
    const std::size_t hi = static_cast<std::size_t>(std::ceil(fs / fmin));
    if (lo < 2 || begin + length > x.size() || length <= hi + 2) return 0.0;
    const std::size_t n = length - hi - 1;
    if (levelDb(x, begin, begin + length) < -60.0) return 0.0;
    std::vector<double> r(hi + 2, 0.0);
    double e0 = 0.0;
    for (std::size_t i = begin; i < begin + n; ++i) e0 += double(x[i]) * x[i];
    for (std::size_t lag = lo - 1; lag <= hi + 1; ++lag) {
        double xy = 0.0, yy = 0.0;
        for (std::size_t i = begin; i < begin + n; ++i) {
            xy += double(x[i]) * x[i + lag];
            yy += double(x[i + lag]) * x[i + lag];
        }
        r[lag] = e0 > 0.0 && yy > 0.0 ? xy / std::sqrt(e0 * yy) : 0.0;
    }
    std::size_t best = lo;
    for (std::size_t lag = lo; lag <= hi; ++lag)
        if (r[lag] > r[best]) best = lag;
    if (r[best] < clarity || best == lo || best == hi) return 0.0;
    const double den = r[best - 1] - 2.0 * r[best] + r[best + 1];
    const double shift = den < 0.0 ? std::clamp(0.5 * (r[best - 1] - r[best + 1]) / den, -0.5, 0.5) : 0.0;
    return fs / (static_cast<double>(best) + shift);
}

double levelDb(std::span<const float> x, std::size_t begin, std::size_t end) {
    end = std::min(end, x.size());
    if (end <= begin) return -200.0;
    double s = 0.0;
    for (std::size_t i = begin; i < end; ++i) s += double(x[i]) * x[i];
    const double ms = s / static_cast<double>(end - begin);
    return ms > 0.0 ? 10.0 * std::log10(ms / (32768.0 * 32768.0)) : -200.0;
}

Signal lowPass(std::span<const float> x, double fs, double hz) {
    Biquad a = lowPassSection(fs, hz, 0.50979558), b = lowPassSection(fs, hz, 0.60134489),
           c = lowPassSection(fs, hz, 0.89997622), d = lowPassSection(fs, hz, 2.56291545);
    Signal y(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) y[i] = static_cast<float>(d.step(c.step(b.step(a.step(x[i])))));
    return y;
}

double loudestBelow45HzDb(std::span<const float> x, double fs) {
    const Signal low = lowPass(x, fs, 45.0);
    const std::size_t win = static_cast<std::size_t>(0.05 * fs), hop = static_cast<std::size_t>(0.01 * fs);
    double loudest = -200.0;
    for (std::size_t i = 0; i + win <= low.size(); i += hop) loudest = std::max(loudest, levelDb(low, i, i + win));
    return loudest;
}

std::vector<double> harmonicLevelsDb(std::span<const float> x, std::size_t begin, std::size_t length, double fs,
                                     double f0, double maxHz) {
    std::vector<double> out;
    if (begin + length > x.size() || f0 <= 0.0) return out;
    double wsum = 0.0;
    for (std::size_t i = 0; i < length; ++i) wsum += hann(i, length);
    for (int k = 1; k * f0 <= maxHz; ++k) {
        const double w = 2.0 * kPi * k * f0 / fs;
        double re = 0.0, im = 0.0;
        for (std::size_t i = 0; i < length; ++i) {
            const double v = hann(i, length) * x[begin + i];
            re += v * std::cos(w * static_cast<double>(i));
            im -= v * std::sin(w * static_cast<double>(i));
        }
        const double amp = 2.0 * std::sqrt(re * re + im * im) / wsum;
        out.push_back(amp > 0.0 ? 20.0 * std::log10(amp / 32768.0) : -200.0);
    }
    return out;
}

double largestHarmonicStepDb(std::span<const float> x, std::size_t begin, std::size_t end, double fs, double f0) {
    const std::size_t win = static_cast<std::size_t>(0.04 * fs);
    double largest = 0.0;
    std::vector<double> prev;
    for (std::size_t at = begin; at + win <= end && at + win <= x.size(); at += win) {
        const std::vector<double> h = harmonicLevelsDb(x, at, win, fs, f0, 5000.0);
        if (!prev.empty() && prev.size() == h.size()) {
            const double top = std::max(*std::max_element(h.begin(), h.end()), *std::max_element(prev.begin(), prev.end()));
            for (std::size_t k = 0; k < h.size(); ++k) {
                if (std::max(h[k], prev[k]) < top - 30.0) continue;
                largest = std::max(largest, std::abs(h[k] - prev[k]));
            }
        }
        prev = h;
    }
    return largest;
}

double bandPower(std::span<const float> x, std::size_t begin, std::size_t length, double fs, double fromHz,
                 double toHz) {
    if (begin + length > x.size() || length < 2) return 0.0;
    std::size_t n = 1;
    while (n < length) n <<= 1;
    double mean = 0.0;
    for (std::size_t i = 0; i < length; ++i) mean += x[begin + i];
    mean /= static_cast<double>(length);
    std::vector<std::complex<double>> a(n);
    double w2 = 0.0;
    for (std::size_t i = 0; i < length; ++i) {
        const double w = hann(i, length);
        a[i] = w * (x[begin + i] - mean);
        w2 += w * w;
    }
    fft(a);
    double p = 0.0;
    for (std::size_t k = 1; k < n / 2; ++k) {
        const double f = static_cast<double>(k) * fs / static_cast<double>(n);
        if (f >= fromHz && f < toHz) p += 2.0 * std::norm(a[k]);
    }
    return w2 > 0.0 ? p / static_cast<double>(n) / w2 : 0.0;
}

double dipDepthDb(std::span<const float> x, std::size_t at, double fs, double period) {
    const std::size_t half = static_cast<std::size_t>(std::max(0.0025 * fs, period / 2.0));
    const std::size_t ms = static_cast<std::size_t>(0.001 * fs);
    auto level = [&](std::size_t c) { return levelDb(x, c - half, c + half); };
    const std::size_t m60 = 60 * ms, m20 = 20 * ms, m15 = 15 * ms;
    if (at < m60 + half || at + m60 + half > x.size()) return 0.0;
    std::vector<double> before, after;
    for (std::size_t c = at - m60; c <= at - m20; c += ms) before.push_back(level(c));
    for (std::size_t c = at + m20; c <= at + m60; c += ms) after.push_back(level(c));
    const double ref = std::min(median(before), median(after));
    double lowest = 1e9;
    for (std::size_t c = at - m15; c <= at + m15; c += ms / 4 + 1) lowest = std::min(lowest, level(c));
    return ref - lowest;
}

Formants vowelFormants(std::span<const float> x, std::size_t begin, std::size_t end, double fs) {
    Formants out;
    end = std::min(end, x.size());
    if (end <= begin) return out;
    // Down to a quarter of the rate, with pre-emphasis.
    const Signal low = lowPass(std::span<const float>(x.data() + begin, end - begin), fs, fs / 9.0);
    Signal d;
    for (std::size_t i = 0; i < low.size(); i += 4) d.push_back(low[i]);
    const double rate = fs / 4.0;
    for (std::size_t i = d.size(); i-- > 1;) d[i] -= 0.97f * d[i - 1];
    const std::size_t win = static_cast<std::size_t>(0.04 * rate), hop = win / 2;
    std::vector<double> f1s, f2s;
    for (std::size_t at = 0; at + win <= d.size(); at += hop) {
        const std::vector<double> a = lpc(std::span<const float>(d.data() + at, win), 12);
        if (a.empty()) continue;
        std::vector<double> peaks;
        double prev2 = 0.0, prev1 = 0.0;
        for (double f = 50.0; f <= 5000.0; f += 5.0) {
            const double w = 2.0 * kPi * f / rate;
            std::complex<double> s(0.0);
            for (std::size_t k = 0; k < a.size(); ++k) s += a[k] * std::polar(1.0, -w * static_cast<double>(k));
            const double v = -std::log(std::norm(s));
            if (f >= 60.0 && prev1 > prev2 && prev1 >= v && f - 5.0 > 200.0) peaks.push_back(f - 5.0);
            prev2 = prev1;
            prev1 = v;
        }
        if (peaks.size() >= 2) {
            f1s.push_back(peaks[0]);
            f2s.push_back(peaks[1]);
        }
    }
    out.f1 = median(f1s);
    out.f2 = median(f2s);
    return out;
}

double Envelope::at(double f) const {
    if (hz.empty()) return -200.0;
    if (f <= hz.front()) return db.front();
    if (f >= hz.back()) return db.back();
    const auto it = std::upper_bound(hz.begin(), hz.end(), f);
    const std::size_t k = static_cast<std::size_t>(it - hz.begin());
    const double t = (f - hz[k - 1]) / (hz[k] - hz[k - 1]);
    return db[k - 1] + t * (db[k] - db[k - 1]);
}

Envelope harmonicEnvelope(std::span<const float> x, std::size_t begin, std::size_t end, double fs, double f0) {
    Envelope env;
    const std::size_t win = static_cast<std::size_t>(0.04 * fs);
    std::vector<double> power;
    int windows = 0;
    for (std::size_t at = begin; at + win <= end && at + win <= x.size(); at += win / 2, ++windows) {
        const std::vector<double> h = harmonicLevelsDb(x, at, win, fs, f0, 5000.0);
        if (power.empty()) power.assign(h.size(), 0.0);
        for (std::size_t k = 0; k < h.size() && k < power.size(); ++k) power[k] += std::pow(10.0, h[k] / 10.0);
    }
    for (std::size_t k = 0; k < power.size() && windows > 0; ++k) {
        env.hz.push_back(static_cast<double>(k + 1) * f0);
        env.db.push_back(10.0 * std::log10(std::max(power[k] / windows, 1e-30)));
    }
    return env;
}

double envelopeScale(const Envelope& reference, const Envelope& moved) {
    double best = 1.0, least = 1e300;
    for (double a = 0.70; a <= 1.40; a += 0.001) {
        double sum = 0.0, sum2 = 0.0;
        int n = 0;
        for (double f = 300.0; f <= 4000.0; f += 10.0, ++n) {
            const double d = moved.at(f) - reference.at(f / a);
            sum += d;
            sum2 += d * d;
        }
        const double var = sum2 / n - (sum / n) * (sum / n);  // the level difference does not count
        if (var < least) {
            least = var;
            best = a;
        }
    }
    return best;
}

}  // namespace kantor::measure

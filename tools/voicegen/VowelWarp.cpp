#include "VowelWarp.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "Lpc.h"
#include "base/Fft.h"

namespace kantor::voicegen {

namespace {

constexpr double kPi = std::numbers::pi;
using Complex = std::complex<double>;


double median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// The output frequency of input frequency f under the warp through (0,0), (from.f1,
// to.f1), (from.f2, to.f2), (top, top) and (nyquist, nyquist).
// The first formant's peak moves rigidly (its upper flank with it), so that it keeps its
// width.
struct Warp {
    static constexpr int kPoints = 6;
    double in[kPoints];
    double out[kPoints];
    Warp(const FormantPair& from, const FormantPair& to, double nyquist) {
        const double top = std::max({from.f2, to.f2}) * 1.6 + 400.0;
        const double flank = std::min({1.3, 0.5 * (1.0 + from.f2 / from.f1), 0.5 * (1.0 + to.f2 / to.f1)});
        const double ins[kPoints] = {0.0, from.f1, from.f1 * flank, from.f2, std::min(top, nyquist * 0.9), nyquist};
        const double outs[kPoints] = {0.0, to.f1, to.f1 * flank, to.f2, std::min(top, nyquist * 0.9), nyquist};
        std::copy(ins, ins + kPoints, in);
        std::copy(outs, outs + kPoints, out);
    }
    // The input frequency that lands on output frequency f.
    double inverse(double f) const {
        for (int k = 1; k < kPoints; ++k) {
            if (f <= out[k]) {
                const double t = (f - out[k - 1]) / std::max(out[k] - out[k - 1], 1e-9);
                return in[k - 1] + t * (in[k] - in[k - 1]);
            }
        }
        return f;
    }
};

}  // namespace

FormantPair measureFormants(std::span<const float> x, std::size_t begin, std::size_t end, double rate, double maxF2) {
    FormantPair out;
    end = std::min(end, x.size());
    const std::size_t win = static_cast<std::size_t>(0.03 * rate);
    if (end <= begin + win) return out;
    Signal d(x.begin() + static_cast<long>(begin), x.begin() + static_cast<long>(end));
    for (std::size_t i = d.size(); i-- > 1;) d[i] -= 0.97f * d[i - 1];
    std::vector<double> f1s, f2s;
    for (std::size_t at = 0; at + win <= d.size(); at += win / 2) {
        const std::vector<double> a = lpcAnalyze(d, at, win, 18);
        if (a.empty()) continue;
        std::vector<double> peaks;
        double prev2 = 0.0, prev1 = 0.0;
        for (double f = 50.0; f <= 4000.0; f += 5.0) {
            const double w = 2.0 * kPi * f / rate;
            Complex s(0.0);
            for (std::size_t k = 0; k < a.size(); ++k) s += a[k] * std::polar(1.0, -w * static_cast<double>(k));
            const double v = -std::log(std::norm(s));
            if (f > 60.0 && prev1 > prev2 && prev1 >= v && f - 5.0 > 200.0) peaks.push_back(f - 5.0);
            prev2 = prev1;
            prev1 = v;
        }
        if (peaks.size() >= 2 && peaks[1] <= maxF2) {
            f1s.push_back(peaks[0]);
            f2s.push_back(peaks[1]);
        }
    }
    out.f1 = median(f1s);
    out.f2 = median(f2s);
    return out;
}

FormantPair japaneseTarget(char vowel, const FormantPair& spoken, bool female) {
    FormantPair t = spoken;
    const double k = female ? 1.2 : 1.0;  // women's formants lie higher
    switch (vowel) {
        case 'U':
            t.f1 = std::max(spoken.f1, 330.0 * k);
            t.f2 = 1450.0 * k;
            break;
        case 'E':
            t.f1 = std::max(spoken.f1, 480.0 * k);
            t.f2 = std::clamp(spoken.f2, 1700.0 * k, 2000.0 * k);
            break;
        case 'O':
            t.f1 = std::max(spoken.f1, 480.0 * k);
            t.f2 = std::max(spoken.f2, 850.0 * k);
            break;
        default:
            break;
    }
    return t;
}

void warpVowel(Signal& x, double rate, double f0, const FormantPair& from, const FormantPair& to,
               std::size_t rampStart, std::size_t rampEnd) {
    if (!from.valid() || !to.valid() || x.empty() || f0 <= 0.0) return;
    if (std::abs(from.f1 - to.f1) < 1.0 && std::abs(from.f2 - to.f2) < 1.0) return;
    constexpr std::size_t n = 512, hop = n / 4;
    std::vector<double> window(n);
    for (std::size_t i = 0; i < n; ++i) window[i] = 0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(i) / n);
    // Quefrencies kept for the envelope: well below one period.
    const std::size_t lifter = std::clamp<std::size_t>(static_cast<std::size_t>(0.7 * rate / f0), 8, n / 4);
    const double nyquist = rate / 2.0;
    Signal y(x.size() + n, 0.0f);
    const long long first = -static_cast<long long>(n);
    std::vector<Complex> spectrum(n), cep(n);
    std::vector<double> env(n / 2 + 1), warped(n / 2 + 1);
    for (long long start = first; start < static_cast<long long>(x.size()); start += hop) {
        for (std::size_t i = 0; i < n; ++i) {
            const long long k = start + static_cast<long long>(i);
            spectrum[i] = k >= 0 && k < static_cast<long long>(x.size()) ? window[i] * x[static_cast<std::size_t>(k)] : 0.0;
        }
        const double centre = static_cast<double>(start) + n / 2.0;
        double weight = 0.0;
        if (centre >= static_cast<double>(rampEnd)) weight = 1.0;
        else if (centre > static_cast<double>(rampStart) && rampEnd > rampStart)
            weight = (centre - static_cast<double>(rampStart)) / static_cast<double>(rampEnd - rampStart);
        fft(spectrum, false);
        if (weight > 0.0) {
            for (std::size_t i = 0; i < n; ++i) cep[i] = std::log(std::abs(spectrum[i]) + 1e-3);
            fft(cep, true);
            for (std::size_t i = lifter; i <= n - lifter; ++i) cep[i] = 0.0;
            fft(cep, false);
            for (std::size_t i = 0; i <= n / 2; ++i) env[i] = cep[i].real();
            FormantPair mid{from.f1 + weight * (to.f1 - from.f1), from.f2 + weight * (to.f2 - from.f2)};
            const Warp warp(from, mid, nyquist);
            for (std::size_t i = 0; i <= n / 2; ++i) {
                const double f = static_cast<double>(i) * rate / n;
                const double src = warp.inverse(f) * n / rate;
                const std::size_t k0 = std::min<std::size_t>(static_cast<std::size_t>(src), n / 2 - 1);
                const double t = src - static_cast<double>(k0);
                warped[i] = env[k0] + t * (env[k0 + 1] - env[k0]);
            }
            for (std::size_t i = 0; i <= n / 2; ++i) {
                const double g = std::exp(std::clamp(warped[i] - env[i], -2.5, 2.5));  // at most 22 dB
                spectrum[i] *= g;
                if (i > 0 && i < n / 2) spectrum[n - i] *= g;
            }
        }
        fft(spectrum, true);
        for (std::size_t i = 0; i < n; ++i) {
            const long long k = start + static_cast<long long>(i);
            if (k >= 0 && k < static_cast<long long>(x.size()))
                y[static_cast<std::size_t>(k)] += static_cast<float>(spectrum[i].real() * window[i] / 1.5);
        }
    }
    y.resize(x.size());
    x = std::move(y);
}

}  // namespace kantor::voicegen

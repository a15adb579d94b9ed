#include "VowelMatch.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "base/Fft.h"

namespace kantor::voicegen {

namespace {

// Removes the power-weighted mean level, so that envelopes of different loudness compare.
std::vector<double> withoutLevel(const std::vector<double>& db) {
    double power = 0.0;
    for (double d : db) power += std::pow(10.0, d / 10.0);
    const double level = db.empty() ? 0.0 : 10.0 * std::log10(std::max(power / static_cast<double>(db.size()), 1e-30));
    std::vector<double> out(db);
    for (double& d : out) d -= level;
    return out;
}

double readLinear(const std::vector<double>& values, double f0, double hz) {
    if (values.empty()) return 0.0;
    const double k = hz / f0 - 1.0;  // harmonic index, from 0
    if (k <= 0.0) return values.front();
    if (k >= static_cast<double>(values.size() - 1)) return values.back();
    const std::size_t i = static_cast<std::size_t>(k);
    const double t = k - static_cast<double>(i);
    return values[i] + t * (values[i + 1] - values[i]);
}

}  // namespace

double HarmonicEnvelope::at(double hz) const { return readLinear(db, f0, hz); }

HarmonicEnvelope loopEnvelope(std::span<const float> y, std::size_t begin, std::size_t end, int periods, double rate,
                              double maxHz) {
    HarmonicEnvelope env;
    end = std::min(end, y.size());
    if (begin >= end || periods < 1) return env;
    const double length = static_cast<double>(end - begin);
    env.f0 = rate * periods / length;
    const int harmonics = static_cast<int>(std::min(maxHz, rate / 2.0) / env.f0);
    for (int m = 1; m <= harmonics; ++m) {
        // Bin m * periods of the stretch's own transform: exactly harmonic m.
        const double w = 2.0 * std::numbers::pi * m * periods / length;
        std::complex<double> acc(0.0), step(std::cos(w), -std::sin(w)), turn(1.0);
        for (std::size_t n = begin; n < end; ++n) {
            acc += static_cast<double>(y[n]) * turn;
            turn *= step;
            if (((n - begin) & 1023) == 1023) turn /= std::abs(turn);  // keep it on the unit circle
        }
        const double amplitude = 2.0 * std::abs(acc) / length;
        env.db.push_back(20.0 * std::log10(std::max(amplitude, 1e-6)));
    }
    return env;
}

const HarmonicEnvelope* typicalEnvelope(const std::vector<HarmonicEnvelope>& envelopes, double maxF0) {
    // Each envelope's shape (its level apart), once.
    std::vector<std::vector<double>> shapes;
    for (const HarmonicEnvelope& e : envelopes) shapes.push_back(withoutLevel(e.db));
    const HarmonicEnvelope* best = nullptr;
    double least = 1e300;
    for (std::size_t i = 0; i < envelopes.size(); ++i) {
        const HarmonicEnvelope& c = envelopes[i];
        if (c.empty() || c.f0 > maxF0) continue;
        double sum = 0.0;
        for (std::size_t j = 0; j < envelopes.size(); ++j) {
            if (envelopes[j].empty()) continue;
            double d2 = 0.0;
            int n = 0;
            for (double hz = 300.0; hz <= 4000.0; hz += 50.0, ++n) {
                const double d = readLinear(shapes[i], c.f0, hz) - readLinear(shapes[j], envelopes[j].f0, hz);
                d2 += d * d;
            }
            sum += std::sqrt(d2 / n);
        }
        if (sum < least) least = sum, best = &c;
    }
    return best;
}

void ensureFormant(HarmonicEnvelope& envelope, double hz, double gainDb) {
    if (envelope.empty() || hz <= 0.0) return;
    for (std::size_t k = 1; k + 1 < envelope.db.size(); ++k) {
        const double f = envelope.f0 * static_cast<double>(k + 1);
        const double prominence = envelope.db[k] - std::max(envelope.at(f - 300.0), envelope.at(f + 300.0));
        if (f >= 0.85 * hz && f <= 1.15 * hz && envelope.db[k] >= envelope.db[k - 1] &&
            envelope.db[k] >= envelope.db[k + 1] && prominence >= 4.0)
            return;
    }
    const double sigma = 110.0;
    for (std::size_t k = 0; k < envelope.db.size(); ++k) {
        const double d = (envelope.f0 * static_cast<double>(k + 1) - hz) / sigma;
        envelope.db[k] += gainDb * std::exp(-0.5 * d * d);
    }
}

std::vector<double> matchingGainsDb(const HarmonicEnvelope& own, const HarmonicEnvelope& target, double maxDb) {
    if (own.empty() || target.empty()) return {};
    std::vector<double> gains(own.db.size());
    double power = 0.0, weighted = 0.0;
    for (std::size_t k = 0; k < gains.size(); ++k) {
        gains[k] = target.at(own.f0 * static_cast<double>(k + 1)) - own.db[k];
        const double p = std::pow(10.0, own.db[k] / 10.0);
        power += p;
        weighted += p * gains[k];
    }
    // Level apart: the shape alone is matched, then the stretch's power is kept.
    const double mean = power > 0.0 ? weighted / power : 0.0;
    for (double& g : gains) g = std::clamp(g - mean, -maxDb, maxDb);
    double after = 0.0;
    for (std::size_t k = 0; k < gains.size(); ++k) after += std::pow(10.0, (own.db[k] + gains[k]) / 10.0);
    const double keep = after > 0.0 && power > 0.0 ? 10.0 * std::log10(power / after) : 0.0;
    for (double& g : gains) g += keep;
    return gains;
}

void applyHarmonicGains(Signal& y, double rate, double f0, const std::vector<double>& gainsDb, std::size_t rampStart,
                        std::size_t rampEnd) {
    if (y.empty() || gainsDb.empty() || f0 <= 0.0) return;
    // One transform of the whole sample, with room so that the (short) response does not
    // wrap around onto it.
    std::size_t n = 1;
    while (n < y.size() + 8192) n <<= 1;
    std::vector<std::complex<double>> spectrum(n, 0.0);
    for (std::size_t i = 0; i < y.size(); ++i) spectrum[i] = y[i];
    fft(spectrum, false);
    for (std::size_t i = 0; i <= n / 2; ++i) {
        const double hz = static_cast<double>(i) * rate / static_cast<double>(n);
        // Nothing below the voice is lifted: what lies there is no harmonic, only rumble.
        double db = readLinear(gainsDb, f0, hz);
        if (hz < f0) {
            const double floor = std::min(gainsDb.front(), 0.0);
            db = hz <= 0.5 * f0 ? floor : floor + (db - floor) * (hz - 0.5 * f0) / (0.5 * f0);
        }
        const double g = std::pow(10.0, db / 20.0);
        spectrum[i] *= g;
        if (i > 0 && i < n / 2) spectrum[n - i] *= g;
    }
    fft(spectrum, true);
    for (std::size_t i = 0; i < y.size(); ++i) {
        double w = 1.0;
        if (i < rampStart) w = 0.0;
        else if (i < rampEnd) w = 0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(i - rampStart) / static_cast<double>(rampEnd - rampStart));
        y[i] = static_cast<float>(w * spectrum[i].real() + (1.0 - w) * y[i]);
    }
}

}  // namespace kantor::voicegen

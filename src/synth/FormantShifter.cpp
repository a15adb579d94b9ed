#include "synth/FormantShifter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace kantor {
namespace {

constexpr double kRate = 44100.0;
// The interpolator: a Kaiser-windowed sinc reading kTaps samples on either side.
constexpr int kTaps = 16;
constexpr double kKaiserBeta = 8.0;
// Unvoiced sound is copied by grains this far apart (samples), whose windows add up to one.
constexpr double kUnvoicedHop = 128.0;
// The shortest output period (samples), 2756 Hz, above any sung note: higher notes are
// resampled as designed (grains that short would only blur the sample).
constexpr double kShortestPeriod = 16.0;
// Density and level corrections stay within these factors.
constexpr double kMaxDensityGain = 2.0;
constexpr double kMaxGlideGain = 4.0;
// Grains are at most this many output periods wide on either side (a note far above its
// sample would otherwise add up very many of them).
constexpr double kWidestGrain = 2.0;

double besselI0(double x) {
    double sum = 1.0, term = 1.0;
    const double q = x * x / 4.0;
    for (int k = 1; k < 40; ++k) {
        term *= q / (double(k) * double(k));
        sum += term;
        if (term < 1e-12 * sum) break;
    }
    return sum;
}

// Taps of the interpolator for a position `frac` (0 < frac < 1) past a sample: weights of
// the samples -kTaps+1 .. kTaps around it, adding up to one.
class Taps {
public:
    void set(double frac) {
        static const double norm = 1.0 / besselI0(kKaiserBeta);
        double sum = 0.0;
        for (int k = -kTaps + 1; k <= kTaps; ++k) {
            const double u = double(k) - frac;
            const double r = u / double(kTaps);
            const double window = besselI0(kKaiserBeta * std::sqrt(std::max(0.0, 1.0 - r * r))) * norm;
            const double sinc = std::sin(std::numbers::pi * u) / (std::numbers::pi * u);
            const double h = sinc * window;
            w_[std::size_t(k + kTaps - 1)] = static_cast<float>(h);
            sum += h;
        }
        for (float& h : w_) h = static_cast<float>(h / sum);
    }
    // The value between p[0] and p[1]; p[-kTaps+1 .. kTaps] must be readable.
    float at(const float* p) const {
        float a = 0.0f, b = 0.0f;
        const float* q = p - kTaps + 1;
        for (int k = 0; k < 2 * kTaps; k += 2) {
            a += w_[std::size_t(k)] * q[k];
            b += w_[std::size_t(k + 1)] * q[k + 1];
        }
        return a + b;
    }

private:
    std::array<float, 2 * kTaps> w_{};
};

// One grain of the output.
struct Grain {
    double at = 0;     // centre in the output (samples)
    double from = 0;   // centre in the sample
    double left = 0;   // half-widths of the window
    double right = 0;
    double gain = 1;
    double level = 0;  // the sample's level around `from`
    bool voiced = false;
};

// Where each output time reads the sample: the sample's own time up to the loop, then the
// loop C..D over and over, then the tail.
struct TimeMap {
    bool loops = false;
    double c = 0, loop = 0, repeatEnd = 0, tailFrom = 0;
    double operator()(double t) const {
        if (!loops || t < c) return t;
        if (t < repeatEnd) return c + std::fmod(t - c, loop);
        return tailFrom + (t - repeatEnd);
    }
};

// The pitch marks with the half-widths of their grains: the distances to the neighbouring
// marks of their voiced stretch (at a stretch's ends, the distance on the other side).
struct MarkTable {
    std::vector<double> pos, left, right;

    MarkTable(const SamplePitchMarks& marks, double nominalPeriod) {
        const std::size_t n = marks.positions.size();
        pos.resize(n);
        left.resize(n);
        right.resize(n);
        std::vector<bool> starts(n + 1, false);
        for (uint32_t s : marks.runStarts)
            if (s < n) starts[s] = true;
        starts[n] = true;
        for (std::size_t i = 0; i < n; ++i) pos[i] = marks.positions[i];
        for (std::size_t i = 0; i < n; ++i) {
            const bool first = i == 0 || starts[i];
            const bool last = starts[i + 1];
            const double l = first ? 0 : pos[i] - pos[i - 1];
            const double r = last ? 0 : pos[i + 1] - pos[i];
            left[i] = l > 0 ? l : (r > 0 ? r : nominalPeriod);
            right[i] = r > 0 ? r : left[i];
        }
    }

    // The mark whose stretch covers sample time tau (the nearest mark, when tau lies within
    // half a period of it), or -1 where the sample is unvoiced.
    long voicedAt(double tau) const {
        if (pos.empty()) return -1;
        const auto it = std::lower_bound(pos.begin(), pos.end(), tau);
        const long hi = static_cast<long>(it - pos.begin());
        long best = -1;
        double dist = 0;
        for (long i : {hi - 1, hi}) {
            if (i < 0 || i >= static_cast<long>(pos.size())) continue;
            const double d = std::abs(pos[std::size_t(i)] - tau);
            if (best < 0 || d < dist) {
                best = i;
                dist = d;
            }
        }
        const std::size_t b = std::size_t(best);
        const double reach = 0.5 * (tau < pos[b] ? left[b] : right[b]);
        return dist <= reach ? best : -1;
    }
};

// The root-mean-square level of the sample over [tau - w, tau + w).
class LevelMeter {
public:
    LevelMeter(const float* s, std::size_t n, double halfWidth) : w_(std::max(1.0, halfWidth)) {
        sums_.resize(n + 1, 0.0);
        for (std::size_t i = 0; i < n; ++i) sums_[i + 1] = sums_[i] + double(s[i]) * s[i];
    }
    double operator()(double tau) const {
        const long n = static_cast<long>(sums_.size()) - 1;
        const long a = std::clamp(std::lround(tau - w_), 0L, n);
        const long b = std::clamp(std::lround(tau + w_), 0L, n);
        return std::sqrt(std::max(0.0, sums_[std::size_t(b)] - sums_[std::size_t(a)]) / (2.0 * w_));
    }

private:
    double w_;
    std::vector<double> sums_;
};

// The level glide of the designed synthesis, on grains: across the grains whose centres lie
// in [first, last), the level moves in a straight line from that of the first three to that
// of the last three, each grain scaled by the line's level over its own.
void glideGrains(std::vector<Grain>& grains, double first, double last) {
    if (last <= first) return;
    std::size_t a = 0;
    while (a < grains.size() && grains[a].at < first) ++a;
    std::size_t z = a;
    while (z < grains.size() && grains[z].at < last) ++z;
    if (z - a < 3) return;
    const double startLevel = (grains[a].level + grains[a + 1].level + grains[a + 2].level) / 3.0;
    const double endLevel = (grains[z - 1].level + grains[z - 2].level + grains[z - 3].level) / 3.0;
    if (!(startLevel > 0) || !(endLevel > 0)) return;
    for (std::size_t k = a; k < z; ++k) {
        Grain& g = grains[k];
        if (!(g.level > 0)) continue;
        const double target = startLevel + (endLevel - startLevel) * (g.at - first) / (last - first);
        g.gain *= std::clamp(target / g.level, 1.0 / kMaxGlideGain, kMaxGlideGain);
    }
}

// Adds one grain to the output: output sample n reads the sample at n + (from - at),
// weighted by the grain's window and gain.
void addGrain(const Grain& g, const std::vector<float>& padded, long pad, std::vector<float>& y) {
    const long outLen = static_cast<long>(y.size());
    const long srcLen = static_cast<long>(padded.size()) - 2 * pad;
    const long n0 = std::max(0L, static_cast<long>(std::floor(g.at - g.left)) + 1);
    const long n1 = std::min(outLen - 1, static_cast<long>(std::ceil(g.at + g.right)) - 1);
    if (n1 < n0) return;
    const double offset = g.from - g.at;
    double whole = std::floor(offset);
    double frac = offset - whole;
    if (frac < 1e-6) {
        frac = 0.0;
    } else if (frac > 1.0 - 1e-6) {
        frac = 0.0;
        whole += 1.0;
    }
    const long shift = static_cast<long>(whole);
    const bool exact = frac == 0.0;
    Taps taps;
    if (!exact) taps.set(frac);
    // Reads stay inside the padded sound, or the grain is read sample by sample with checks.
    const long lowest = n0 + shift - kTaps, highest = n1 + shift + kTaps;
    const bool inside = lowest >= -pad && highest < srcLen + pad;
    const float* base = padded.data() + pad;

    // The window halves by rotation: cos(pi u / half) one step at a time.
    auto half = [&](long from, long to, double width) {
        if (to < from) return;
        const double step = std::numbers::pi / width;
        const double start = (double(from) - g.at) * step;
        double c = std::cos(start), s = std::sin(start);
        const double cs = std::cos(step), sn = std::sin(step);
        for (long n = from; n <= to; ++n) {
            const double w = 0.5 + 0.5 * c;
            const long j = n + shift;
            float v = 0.0f;
            if (inside) {
                v = exact ? base[j] : taps.at(base + j);
            } else if (exact) {
                v = (j >= 0 && j < srcLen) ? base[j] : 0.0f;
            } else {
                float acc[2 * kTaps];
                for (int k = -kTaps + 1; k <= kTaps; ++k) {
                    const long q = j + k;
                    acc[k + kTaps - 1] = (q >= -pad && q < srcLen + pad) ? base[q] : 0.0f;
                }
                v = taps.at(acc + kTaps - 1);
            }
            y[std::size_t(n)] += static_cast<float>(g.gain * w) * v;
            const double nc = c * cs - s * sn;
            s = s * cs + c * sn;
            c = nc;
        }
    };
    const long mid = std::clamp(static_cast<long>(std::floor(g.at)), n0 - 1, n1);
    half(n0, mid, g.left);
    half(mid + 1, n1, g.right);
}

}  // namespace

bool shiftSyllableKeepingFormants(const SyllableShiftInput& in, const SamplePitchMarks& marks,
                                  SyllableShiftOutput& out) {
    const uint32_t fs = in.sampleFrequency;
    const uint32_t ft = in.targetFrequency;
    if (ft == 0 || in.sample == nullptr) return false;
    if (marks.positions.empty() || fs == 0 || kRate * 1000.0 / ft < kShortestPeriod) return shiftSyllable(in, out);
    const SoundBuffer& x = *in.sample;
    const uint32_t L = static_cast<uint32_t>(x.byteLength());
    const long length = static_cast<long>(x.sampleCount());

    // The lead-in is the consonant as it is: B itself, within the sample.
    const uint32_t Lb = std::min(in.markerB, L) & ~uint32_t(1);
    const uint64_t T64 = uint64_t(Lb) + in.neededBytes;
    if (!out.sound.allocate(static_cast<std::size_t>(T64))) return false;
    out.leadInBytes = Lb;
    const long total = static_cast<long>(T64 / 2);  // output samples
    if (total == 0) return true;

    const double nominalPeriod = kRate * 1000.0 / fs;
    const double period = kRate * 1000.0 / ft;

    // Time: the sample's own; when it is too short for the note, the loop C..D repeats
    // (count and tail as in the designed synthesis, in samples instead of scaled bytes).
    TimeMap map;
    if (length < total) {
        const long d = static_cast<long>(std::min(in.markerD, L) / 2);
        long c = std::min(static_cast<long>(in.markerC / 2), d);
        if (c == d) {
            const long one = std::max(1L, std::lround(nominalPeriod));
            c = d >= one ? d - one : 0;
        }
        if (c < d) {
            const long loop = d - c;
            const long count = (total - length + loop) / loop;
            const long repeatEnd = c + count * loop;
            const long tail = total - repeatEnd;
            map.loops = true;
            map.c = double(c);
            map.loop = double(loop);
            map.repeatEnd = double(repeatEnd);
            map.tailFrom = double(length - d >= tail ? d : c);
        }
    }

    std::vector<float> padded(std::size_t(length + 2 * (kTaps + 1)), 0.0f);
    const long pad = kTaps + 1;
    for (long i = 0; i < length; ++i) padded[std::size_t(i + pad)] = x.sample(std::size_t(i));

    // The grains: one output period apart where the sample is voiced, each cut around the
    // pitch mark nearest to the time it reads; a hop apart elsewhere, read in place.
    const MarkTable table(marks, nominalPeriod);
    const LevelMeter level(padded.data() + pad, std::size_t(length), std::clamp(nominalPeriod, 32.0, 2048.0));
    std::vector<Grain> grains;
    grains.reserve(std::size_t(double(total) / std::min(period, kUnvoicedHop)) + 4);
    for (double t = 0.0;; ) {
        const double tau = map(t);
        const long m = table.voicedAt(tau);
        Grain g;
        g.at = t;
        if (m >= 0) {
            const std::size_t i = std::size_t(m);
            g.voiced = true;
            g.from = table.pos[i];
            g.left = std::min(table.left[i], kWidestGrain * period);
            g.right = std::min(table.right[i], kWidestGrain * period);
            const double own = 0.5 * (table.left[i] + table.right[i]);
            g.gain = std::clamp(std::sqrt(period / own), 1.0 / kMaxDensityGain, kMaxDensityGain);
        } else {
            g.from = tau;
        }
        g.level = level(g.from);
        grains.push_back(g);
        if (t >= double(total)) break;
        t += g.voiced ? period : kUnvoicedHop;
    }
    // Where unvoiced grains meet others, the windows span the distance between their centres
    // on both sides, so that they add up to one there.
    for (std::size_t k = 0; k < grains.size(); ++k) {
        Grain& g = grains[k];
        const double before = k > 0 ? g.at - grains[k - 1].at : 0.0;
        const double after = k + 1 < grains.size() ? grains[k + 1].at - g.at : 0.0;
        if (!g.voiced) {
            g.left = before > 0 ? before : (after > 0 ? after : kUnvoicedHop);
            g.right = after > 0 ? after : g.left;
        } else {
            if (k > 0 && !grains[k - 1].voiced) g.left = before;
            if (k + 1 < grains.size() && !grains[k + 1].voiced) g.right = after;
        }
        g.left = std::max(1.0, g.left);
        g.right = std::max(1.0, g.right);
    }
    // The level glide of the designed synthesis over the repeated loop and over the tail.
    if (map.loops) {
        const long loops = static_cast<long>((map.repeatEnd - map.c) / map.loop + 0.5);
        if (loops > 1) glideGrains(grains, map.c, map.repeatEnd);
        glideGrains(grains, map.repeatEnd, double(total));
    }

    std::vector<float> y(std::size_t(total), 0.0f);
    for (const Grain& g : grains) addGrain(g, padded, pad, y);
    for (long n = 0; n < total; ++n) {
        const float v = std::nearbyint(y[std::size_t(n)]);
        out.sound.setSample(std::size_t(n), static_cast<int16_t>(std::clamp(v, -32768.0f, 32767.0f)));
    }
    return true;
}

}  // namespace kantor

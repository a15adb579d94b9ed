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
constexpr int kTaps = 8;
constexpr double kKaiserBeta = 7.0;
// Unvoiced sound is copied by grains this far apart (samples), whose windows add up to one.
constexpr double kUnvoicedHop = 128.0;
// The shortest output period (samples), 2756 Hz, above any sung note: higher notes are
// resampled as designed (grains that short would only blur the sample).
constexpr double kShortestPeriod = 16.0;
// Scratch space larger than this (floats) is not kept for the next syllable.
constexpr std::size_t kKeptScratch = std::size_t(1) << 22;
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

// The Kaiser window at r (|r| <= 1), from a table read between its points.
double kaiser(double r) {
    constexpr int kPoints = 2048;
    static const std::array<double, kPoints + 2> table = [] {
        std::array<double, kPoints + 2> t{};
        const double norm = 1.0 / besselI0(kKaiserBeta);
        for (int i = 0; i <= kPoints; ++i) {
            const double x = double(i) / kPoints;
            t[std::size_t(i)] = besselI0(kKaiserBeta * std::sqrt(std::max(0.0, 1.0 - x * x))) * norm;
        }
        t[kPoints + 1] = t[kPoints];
        return t;
    }();
    const double x = std::min(1.0, std::abs(r)) * kPoints;
    const int i = static_cast<int>(x);
    const double f = x - i;
    return table[std::size_t(i)] * (1.0 - f) + table[std::size_t(i + 1)] * f;
}

// Taps of the interpolator for a position `frac` (0 < frac < 1) past a sample: weights of
// the samples -kTaps+1 .. kTaps around it, adding up to one.
class Taps {
public:
    void set(double frac) {
        // sin(pi (k - frac)) = -(-1)^k sin(pi frac): one sine for all taps.
        const double s = std::sin(std::numbers::pi * frac) / std::numbers::pi;
        double sum = 0.0;
        for (int k = -kTaps + 1; k <= kTaps; ++k) {
            const double u = double(k) - frac;
            const double sinc = ((k & 1) ? s : -s) / u;
            const double h = sinc * kaiser(u / double(kTaps));
            w_[std::size_t(k + kTaps - 1)] = static_cast<float>(h);
            sum += h;
        }
        for (float& h : w_) h = static_cast<float>(h / sum);
    }
    // The weight of sample k (-kTaps+1 .. kTaps).
    float weight(int k) const { return w_[std::size_t(k + kTaps - 1)]; }

private:
    std::array<float, 2 * kTaps> w_{};
};

// out[i] += h * in[i] for n samples, in blocks of eight the compiler can vectorise.
void addScaled(float* __restrict out, const float* __restrict in, float h, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8)
        for (std::size_t j = 0; j < 8; ++j) out[i + j] += h * in[i + j];
    for (; i < n; ++i) out[i] += h * in[i];
}

// out[i] += a[i] * b[i] for n samples, likewise.
void addProduct(float* __restrict out, const float* __restrict a, const float* __restrict b, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8)
        for (std::size_t j = 0; j < 8; ++j) out[i + j] += a[i + j] * b[i + j];
    for (; i < n; ++i) out[i] += a[i] * b[i];
}

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

// The root-mean-square level of the sample over [tau - w, tau + w) (zeros outside it).
class LevelMeter {
public:
    LevelMeter(const float* s, long n, double halfWidth) : s_(s), n_(n), w_(std::max(1.0, halfWidth)) {}
    double operator()(double tau) const {
        const long a = std::clamp(std::lround(tau - w_), 0L, n_);
        const long b = std::clamp(std::lround(tau + w_), 0L, n_);
        double sum = 0.0;
        for (long i = a; i < b; ++i) sum += double(s_[i]) * s_[i];
        return std::sqrt(sum / (2.0 * w_));
    }

private:
    const float* s_;
    long n_;
    double w_;
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
// weighted by the grain's window and gain. `segment` and `window` are scratch space.
void addGrain(const Grain& g, const std::vector<float>& padded, long pad, std::vector<float>& y,
              std::vector<float>& segment, std::vector<float>& window) {
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
    const float* base = padded.data() + pad;

    // The grain's samples, read between the sample's own where the offset has a fraction:
    // tap by tap over the whole grain, so that the loops run over contiguous memory.
    const std::size_t count = std::size_t(n1 - n0 + 1);
    segment.assign(count, 0.0f);
    const long lowest = n0 + shift - kTaps, highest = n1 + shift + kTaps;
    if (lowest >= -pad && highest < srcLen + pad) {
        const float* src = base + (n0 + shift);
        if (frac == 0.0) {
            std::copy(src, src + count, segment.begin());
        } else {
            Taps taps;
            taps.set(frac);
            for (int k = -kTaps + 1; k <= kTaps; ++k) addScaled(segment.data(), src + k, taps.weight(k), count);
        }
    } else {
        // Near the ends of the sound, or beyond them: sample by sample, zeros outside.
        auto at = [&](long q) { return (q >= -pad && q < srcLen + pad) ? base[q] : 0.0f; };
        Taps taps;
        if (frac != 0.0) taps.set(frac);
        for (std::size_t i = 0; i < count; ++i) {
            const long j = n0 + long(i) + shift;
            if (frac == 0.0) {
                segment[i] = at(j);
            } else {
                float v = 0.0f;
                for (int k = -kTaps + 1; k <= kTaps; ++k) v += taps.weight(k) * at(j + k);
                segment[i] = v;
            }
        }
    }

    // The window (with the gain), its halves by rotation: cos(pi u / half) a step at a time.
    window.resize(count);
    // Four rotations side by side, each a fourth of the samples, so that they do not wait
    // for one another.
    auto half = [&](long from, long to, double width) {
        if (to < from) return;
        const double step = std::numbers::pi / width;
        const double start = (double(from) - g.at) * step;
        double c[4], s[4];
        for (int j = 0; j < 4; ++j) {
            c[j] = std::cos(start + j * step);
            s[j] = std::sin(start + j * step);
        }
        const double cs = std::cos(4 * step), sn = std::sin(4 * step);
        const double a = 0.5 * g.gain;
        float* w = window.data() + (from - n0);
        const long span = to - from + 1;
        long n = 0;
        for (; n + 4 <= span; n += 4) {
            for (int j = 0; j < 4; ++j) {
                w[n + j] = static_cast<float>(a + a * c[j]);
                const double nc = c[j] * cs - s[j] * sn;
                s[j] = s[j] * cs + c[j] * sn;
                c[j] = nc;
            }
        }
        for (int j = 0; n < span; ++n, ++j) w[n] = static_cast<float>(a + a * c[j]);
    };
    const long mid = std::clamp(static_cast<long>(std::floor(g.at)), n0 - 1, n1);
    half(n0, mid, g.left);
    half(mid + 1, n1, g.right);
    addProduct(y.data() + n0, window.data(), segment.data(), count);
}

}  // namespace

bool shiftSyllableKeepingFormants(const SyllableShiftInput& in, const SamplePitchMarks& marks,
                                  SyllableShiftOutput& out, const PitchBend* bend) {
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

    // Scratch space kept from one syllable to the next (fresh pages cost more than the work).
    thread_local std::vector<float> padded, y, segment, window;
    padded.assign(std::size_t(length + 2 * (kTaps + 1)), 0.0f);
    const long pad = kTaps + 1;
    for (long i = 0; i < length; ++i) padded[std::size_t(i + pad)] = x.sample(std::size_t(i));

    // The grains: one output period apart where the sample is voiced, each cut around the
    // pitch mark nearest to the time it reads; a hop apart elsewhere, read in place.
    const MarkTable table(marks, nominalPeriod);
    const LevelMeter level(padded.data() + pad, length, std::clamp(nominalPeriod, 32.0, 2048.0));
    std::vector<Grain> grains;
    grains.reserve(std::size_t(double(total) / std::min(period, kUnvoicedHop)) + 4);
    for (double t = 0.0;; ) {
        const double tau = map(t);
        const long m = table.voicedAt(tau);
        // The period here: fixed, or moved by the bend (never shorter than the shortest).
        const double here =
            bend ? std::max(kShortestPeriod, period / std::max(1e-3, (*bend)((t - double(Lb / 2)) * 1000.0 / kRate)))
                 : period;
        Grain g;
        g.at = t;
        if (m >= 0) {
            const std::size_t i = std::size_t(m);
            g.voiced = true;
            g.from = table.pos[i];
            g.left = std::min(table.left[i], kWidestGrain * here);
            g.right = std::min(table.right[i], kWidestGrain * here);
            const double own = 0.5 * (table.left[i] + table.right[i]);
            g.gain = std::clamp(std::sqrt(here / own), 1.0 / kMaxDensityGain, kMaxDensityGain);
        } else {
            g.from = tau;
        }
        // The level is needed only where it glides: across the loop and the tail.
        if (map.loops && t >= map.c) g.level = level(g.from);
        grains.push_back(g);
        if (t >= double(total)) break;
        t += g.voiced ? here : kUnvoicedHop;
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

    y.assign(std::size_t(total), 0.0f);
    for (const Grain& g : grains) addGrain(g, padded, pad, y, segment, window);
    for (long n = 0; n < total; ++n) {
        const float v = std::clamp(y[std::size_t(n)], -32768.0f, 32767.0f);
        out.sound.setSample(std::size_t(n), static_cast<int16_t>(v + (v < 0.0f ? -0.5f : 0.5f)));
    }
    // Scratch space grown for a very long note is given back.
    for (std::vector<float>* v : {&padded, &y, &segment, &window})
        if (v->capacity() > kKeptScratch) std::vector<float>().swap(*v);
    return true;
}

}  // namespace kantor

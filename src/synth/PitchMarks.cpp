#include "synth/PitchMarks.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kantor {
namespace {

constexpr double kRate = 44100.0;
// The period is looked for within this factor of the nominal one either way: less than an
// octave in all, so that neither twice nor half the period can win.
constexpr double kRange = 1.4;
// Frames whose normalised autocorrelation reaches this are voiced...
constexpr double kVoicedClarity = 0.6;
// ...when their level reaches this share of the loudest frame's (and a small floor).
constexpr double kVoicedLevel = 0.02;
constexpr double kLevelFloor = 20.0;
// A frame that clear seeds a chain of marks at once (else the clearest one left does).
constexpr double kSeedClarity = 0.8;
// One period follows another while they match at least this well.
constexpr double kFollowClarity = 0.5;

struct Frame {
    double center = 0;  // sample at the frame's middle (full rate)
    double period = 0;  // samples (full rate)
    double clarity = 0;
    double rms = 0;
    bool voiced = false;
};

// The sum of a[i] * b[i] over n samples, in eight lanes that the compiler can vectorise.
double dot(const float* a, const float* b, std::size_t n) {
    float lane[8] = {};
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8)
        for (std::size_t j = 0; j < 8; ++j) lane[j] += a[i + j] * b[i + j];
    double sum = 0;
    for (float v : lane) sum += v;
    for (; i < n; ++i) sum += double(a[i]) * b[i];
    return sum;
}

// Frames of the decimated sound every `hop` decimated samples: period by normalised
// autocorrelation over lags [lo, hi], refined by a parabola, and the level.
std::vector<Frame> analyseFrames(const std::vector<float>& s, std::size_t factor, double nominalPeriod) {
    std::vector<Frame> frames;
    const std::size_t nd = s.size() / factor;
    std::vector<float> d(nd);
    for (std::size_t j = 0; j < nd; ++j) {
        double sum = 0;
        for (std::size_t k = 0; k < factor; ++k) sum += s[j * factor + k];
        d[j] = static_cast<float>(sum / double(factor));
    }
    const double pd = nominalPeriod / double(factor);
    const std::size_t lo = std::max<std::size_t>(2, static_cast<std::size_t>(std::floor(pd / kRange)));
    const std::size_t hi = static_cast<std::size_t>(std::ceil(pd * kRange));
    if (nd < 2 * hi + 2) return frames;
    const std::size_t window = std::min<std::size_t>(2 * hi, nd - hi - 2);
    const std::size_t hop = std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(pd)));
    std::vector<double> r(hi + 2, 0.0);
    std::vector<double> squares(s.size() + 1, 0.0);
    for (std::size_t i = 0; i < s.size(); ++i) squares[i + 1] = squares[i] + double(s[i]) * s[i];
    for (std::size_t begin = 0; begin + window + hi + 1 < nd; begin += hop) {
        Frame f;
        f.center = (double(begin) + double(window + hi) / 2.0) * double(factor);
        const float* a = d.data() + begin;
        const double e0 = dot(a, a, window);
        const std::size_t f0 = begin * factor, f1 = (begin + window) * factor;
        f.rms = std::sqrt(std::max(0.0, squares[f1] - squares[f0]) / double(f1 - f0));
        if (e0 > 0) {
            double el = dot(a + lo - 1, a + lo - 1, window);
            for (std::size_t lag = lo - 1; lag <= hi + 1; ++lag) {
                if (lag > lo - 1) {
                    const double gone = a[lag - 1], come = a[lag - 1 + window];
                    el += come * come - gone * gone;
                }
                const double c = dot(a, a + lag, window);
                r[lag] = el > 0 ? c / std::sqrt(e0 * el) : 0.0;
            }
            std::size_t best = lo;
            for (std::size_t lag = lo + 1; lag <= hi; ++lag)
                if (r[lag] > r[best]) best = lag;
            // Highest at an end of the range: the period lies outside it, not a peak.
            if (best == lo || best == hi) {
                frames.push_back(f);
                continue;
            }
            const double ym = r[best - 1], y0 = r[best], yp = r[best + 1];
            const double den = ym - 2 * y0 + yp;
            const double shift = den < 0 ? std::clamp(0.5 * (ym - yp) / den, -0.5, 0.5) : 0.0;
            f.clarity = y0;
            f.period = (double(best) + shift) * double(factor);
        }
        frames.push_back(f);
    }
    double loudest = 0;
    for (const Frame& f : frames) loudest = std::max(loudest, f.rms);
    const double level = std::max(kLevelFloor, kVoicedLevel * loudest);
    for (Frame& f : frames) f.voiced = f.clarity >= kVoicedClarity && f.rms >= level && f.period > 0;
    return frames;
}

// The strongest sample of polarity `sign` in [a, b] (clamped to the sound).
long peakIn(const std::vector<float>& s, long a, long b, float sign) {
    a = std::max(0L, a);
    b = std::min(static_cast<long>(s.size()) - 1, b);
    long best = a;
    for (long i = a; i <= b; ++i)
        if (sign * s[std::size_t(i)] > sign * s[std::size_t(best)]) best = i;
    return best;
}

// From mark m with period p, the next mark in direction dir (+1 or -1), or -1 when the
// next period does not match this one well enough or leaves the sound.
long followMark(const std::vector<float>& s, long m, double p, int dir, float sign, double minP, double maxP) {
    const long n = static_cast<long>(s.size());
    const long half = std::max(2L, std::lround(p / 2));
    const long reach = std::max(3L, std::lround(p * 0.08));
    const long expect = m + dir * std::lround(p);
    if (m - half < 0 || m + half >= n) return -1;
    // The period at m against the one at each candidate c, by normalised correlation; the
    // candidate's energy slides along with it.
    const std::size_t len = std::size_t(2 * half + 1);
    const float* here = s.data() + (m - half);
    const double aa = dot(here, here, len);
    const long first = std::max(expect - reach, half), last = std::min(expect + reach, n - 1 - half);
    if (aa <= 0 || first > last) return -1;
    auto matchAt = [&](long c) {
        const float* there = s.data() + (c - half);
        const double bb = dot(there, there, len);
        return bb > 0 ? dot(here, there, len) / std::sqrt(aa * bb) : 0.0;
    };
    // Every other candidate first (the candidate's energy sliding along), then the
    // neighbours of the best of them.
    long best = -1;
    double bestMatch = -2;
    double bb = dot(s.data() + (first - half), s.data() + (first - half), len);
    for (long c = first; c <= last; c += 2) {
        if (c > first) {
            for (long k = c - 1; k <= c; ++k) {
                const double gone = s[std::size_t(k - half - 1)], come = s[std::size_t(k + half)];
                bb += come * come - gone * gone;
            }
        }
        const double v = bb > 0 ? dot(here, s.data() + (c - half), len) / std::sqrt(aa * bb) : 0.0;
        if (v > bestMatch) {
            bestMatch = v;
            best = c;
        }
    }
    const long coarse = best;
    for (long c : {coarse - 1, coarse + 1}) {
        if (c < first || c > last) continue;
        const double v = matchAt(c);
        if (v > bestMatch) {
            bestMatch = v;
            best = c;
        }
    }
    if (best < 0 || bestMatch < kFollowClarity) return -1;
    const long snap = std::max(1L, std::lround(p / 12));
    const long mark = peakIn(s, best - snap, best + snap, sign);
    const double step = double(dir * (mark - m));
    if (step < minP || step > maxP) return -1;
    return mark;
}

}  // namespace

SamplePitchMarks findPitchMarks(const SoundBuffer& x, uint32_t nominalFrequency) {
    SamplePitchMarks out;
    out.sampleCount = x.sampleCount();
    out.nominalFrequency = nominalFrequency;
    if (nominalFrequency < 20000 || nominalFrequency > 5000000) return out;
    const double period = kRate * 1000.0 / nominalFrequency;
    const std::size_t n = x.sampleCount();
    if (double(n) < 2.5 * period) return out;
    std::vector<float> s(n);
    for (std::size_t i = 0; i < n; ++i) s[i] = x.sample(i);

    // Decimated so that a period spans about 32 samples: the frames cost little.
    const std::size_t factor = std::max<std::size_t>(1, static_cast<std::size_t>(period / 32));
    const std::vector<Frame> frames = analyseFrames(s, factor, period);
    const double minP = period / kRange, maxP = period * kRange;

    long last = -1;  // the last mark placed so far
    std::vector<bool> tried(frames.size(), false);
    std::size_t i = 0;
    while (i < frames.size()) {
        if (!frames[i].voiced) {
            ++i;
            continue;
        }
        // A voiced stretch: frames i..j, a single unvoiced frame bridged.
        std::size_t j = i;
        while (j + 1 < frames.size() && (frames[j + 1].voiced || (j + 2 < frames.size() && frames[j + 2].voiced)))
            j += frames[j + 1].voiced ? 1 : 2;
        const std::size_t first = i;
        i = j + 1;

        // Its polarity: the sign whose peaks are larger over the stretch.
        double up = 0, down = 0;
        for (std::size_t k = first; k <= j; ++k) {
            const long h = std::lround(frames[k].period / 2);
            const long a = std::max(0L, std::lround(frames[k].center) - h);
            const long b = std::min(static_cast<long>(n) - 1, std::lround(frames[k].center) + h);
            float top = 0, bottom = 0;
            for (long t = a; t <= b; ++t) {
                top = std::max(top, s[std::size_t(t)]);
                bottom = std::min(bottom, s[std::size_t(t)]);
            }
            up += top;
            down -= bottom;
        }
        const float sign = up >= down ? 1.0f : -1.0f;

        // Chains of marks, each seeded at a frame of the stretch not yet covered and followed
        // both ways for as long as one period matches the next; another seed is tried
        // wherever a chain stopped short (a transition, a rough moment). Seeds are taken in
        // order, the first clear frame first, so that the chains come in order too.
        for (;;) {
            std::size_t seedFrame = frames.size();
            for (std::size_t k = first; k <= j; ++k) {
                const Frame& f = frames[k];
                if (!f.voiced || tried[k] || f.center <= double(last) + 1.5 * f.period) continue;
                if (f.clarity >= kSeedClarity) {
                    seedFrame = k;
                    break;
                }
                if (seedFrame == frames.size() || f.clarity > frames[seedFrame].clarity) seedFrame = k;
            }
            if (seedFrame == frames.size()) break;
            tried[seedFrame] = true;
            const Frame& f = frames[seedFrame];
            const long h = std::lround(f.period / 2);
            const long seed = peakIn(s, std::lround(f.center) - h, std::lround(f.center) + h, sign);
            if (last >= 0 && double(seed - last) < minP) continue;

            std::vector<uint32_t> chain;
            double p = f.period;
            for (long m = seed;;) {
                const long b = followMark(s, m, p, -1, sign, minP, maxP);
                if (b < 0 || (last >= 0 && double(b - last) < minP)) break;
                chain.push_back(static_cast<uint32_t>(b));
                p = double(m - b);
                m = b;
            }
            std::reverse(chain.begin(), chain.end());
            chain.push_back(static_cast<uint32_t>(seed));
            p = f.period;
            for (long m = seed;;) {
                const long a = followMark(s, m, p, +1, sign, minP, maxP);
                if (a < 0) break;
                chain.push_back(static_cast<uint32_t>(a));
                p = double(a - m);
                m = a;
            }
            if (chain.size() < 2) continue;
            out.runStarts.push_back(static_cast<uint32_t>(out.positions.size()));
            out.positions.insert(out.positions.end(), chain.begin(), chain.end());
            last = chain.back();
        }
    }
    return out;
}

const SamplePitchMarks& samplePitchMarks(const VoiceSample& sample, const SoundBuffer& x, uint32_t nominalFrequency) {
    const std::shared_ptr<const SamplePitchMarks>& kept = sample.pitchMarks;
    if (!kept || kept->sampleCount != x.sampleCount() || kept->nominalFrequency != nominalFrequency)
        sample.pitchMarks = std::make_shared<const SamplePitchMarks>(findPitchMarks(x, nominalFrequency));
    return *sample.pitchMarks;
}

}  // namespace kantor

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
// One period follows another while they match at least this well.
constexpr double kFollowClarity = 0.5;

struct Frame {
    double center = 0;  // sample at the frame's middle (full rate)
    double period = 0;  // samples (full rate)
    double clarity = 0;
    double rms = 0;
    bool voiced = false;
};

// Normalised correlation of s[a - half, a + half] with s[b - half, b + half]; both inside s.
double match(const std::vector<float>& s, long a, long b, long half) {
    double ab = 0, aa = 0, bb = 0;
    const float* pa = s.data() + (a - half);
    const float* pb = s.data() + (b - half);
    const long len = 2 * half + 1;
    for (long i = 0; i < len; ++i) {
        ab += double(pa[i]) * pb[i];
        aa += double(pa[i]) * pa[i];
        bb += double(pb[i]) * pb[i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
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
    const std::size_t hop = std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(pd / 2)));
    std::vector<double> r(hi + 2, 0.0);
    for (std::size_t begin = 0; begin + window + hi + 1 < nd; begin += hop) {
        Frame f;
        f.center = (double(begin) + double(window + hi) / 2.0) * double(factor);
        const float* a = d.data() + begin;
        double e0 = 0;
        for (std::size_t i = 0; i < window; ++i) e0 += double(a[i]) * a[i];
        double full = 0;
        const std::size_t f0 = begin * factor, f1 = (begin + window) * factor;
        for (std::size_t i = f0; i < f1; ++i) full += double(s[i]) * s[i];
        f.rms = std::sqrt(full / double(f1 - f0));
        if (e0 > 0) {
            double el = 0;
            for (std::size_t i = 0; i < window; ++i) el += double(a[i + lo - 1]) * a[i + lo - 1];
            for (std::size_t lag = lo - 1; lag <= hi + 1; ++lag) {
                if (lag > lo - 1) {
                    const double gone = a[lag - 1], come = a[lag - 1 + window];
                    el += come * come - gone * gone;
                }
                double c = 0;
                for (std::size_t i = 0; i < window; ++i) c += double(a[i]) * a[i + lag];
                r[lag] = el > 0 ? c / std::sqrt(e0 * el) : 0.0;
            }
            std::size_t best = lo;
            for (std::size_t lag = lo + 1; lag <= hi; ++lag)
                if (r[lag] > r[best]) best = lag;
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
    const long reach = std::max(2L, std::lround(p * 0.2));
    const long expect = m + dir * std::lround(p);
    if (m - half < 0 || m + half >= n) return -1;
    long best = -1;
    double bestMatch = -2;
    for (long c = expect - reach; c <= expect + reach; ++c) {
        if (c - half < 0 || c + half >= n) continue;
        const double v = match(s, m, c, half);
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
            const long c = std::lround(frames[k].center);
            const long h = std::lround(frames[k].period / 2);
            up += s[std::size_t(peakIn(s, c - h, c + h, 1.0f))];
            down -= s[std::size_t(peakIn(s, c - h, c + h, -1.0f))];
        }
        const float sign = up >= down ? 1.0f : -1.0f;

        // Seeded at the peak of its loudest frame not yet covered by marks.
        std::size_t seedFrame = frames.size();
        for (std::size_t k = first; k <= j; ++k) {
            if (!frames[k].voiced || frames[k].center <= double(last) + 1.5 * frames[k].period) continue;
            if (seedFrame == frames.size() || frames[k].rms > frames[seedFrame].rms) seedFrame = k;
        }
        if (seedFrame == frames.size()) continue;
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
    return out;
}

const SamplePitchMarks& samplePitchMarks(const VoiceSample& sample, const SoundBuffer& x, uint32_t nominalFrequency) {
    const std::shared_ptr<const SamplePitchMarks>& kept = sample.pitchMarks;
    if (!kept || kept->sampleCount != x.sampleCount() || kept->nominalFrequency != nominalFrequency)
        sample.pitchMarks = std::make_shared<const SamplePitchMarks>(findPitchMarks(x, nominalFrequency));
    return *sample.pitchMarks;
}

}  // namespace kantor

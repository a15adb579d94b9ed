#include "voicemaker/AutoMarker.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "voicemaker/MarkerRules.h"

namespace kantor {
namespace {

constexpr std::size_t kHop = 220;    // 5 ms
constexpr std::size_t kFrame = 441;  // 10 ms
constexpr std::size_t kMinLag = 44;  // 1000 Hz
constexpr std::size_t kMaxLag = 882; // 50 Hz
constexpr double kVoicedCorrelation = 0.75;
constexpr double kSilentPeak = 30.0;
constexpr std::size_t kLongestLoop = 22050;  // half a second

// Normalised correlation of x[s, s+n) with x[s+lag, s+lag+n); the caller keeps the
// ranges inside x.
double correlation(std::span<const int16_t> x, std::size_t s, std::size_t n, std::size_t lag) {
    const int16_t* p = x.data() + s;
    const int16_t* q = p + lag;
    double xy = 0, xx = 0, yy = 0;
    for (std::size_t i = 0; i < n; ++i) {
        double a = p[i], b = q[i];
        xy += a * b;
        xx += a * a;
        yy += b * b;
    }
    if (xx <= 0 || yy <= 0) return 0;
    return xy / std::sqrt(xx * yy);
}

// sum p[i] * p[lag + i] for i < n, for every lag of [lagFrom, lagTo], as whole numbers.
void crossSumsPlain(const int16_t* p, std::size_t n, std::size_t lagFrom, std::size_t lagTo, int64_t* xy) {
    for (std::size_t lag = lagFrom; lag <= lagTo; ++lag) {
        int64_t sum = 0;
        for (std::size_t i = 0; i < n; ++i) sum += int64_t(p[i]) * p[lag + i];
        xy[lag - lagFrom] = sum;
    }
}

#if defined(__x86_64__)
// The same eight or sixteen products at a time. _mm_madd_epi16 adds two products into 32
// bits, which only two products of -32768 by -32768 overflow: the caller keeps such
// stretches on the plain loop.
void crossSumsSse2(const int16_t* p, std::size_t n, std::size_t lagFrom, std::size_t lagTo, int64_t* xy) {
    for (std::size_t lag = lagFrom; lag <= lagTo; ++lag) {
        const int16_t* q = p + lag;
        __m128i acc = _mm_setzero_si128();
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            const __m128i m = _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)),
                                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + i)));
            const __m128i sign = _mm_srai_epi32(m, 31);
            acc = _mm_add_epi64(acc, _mm_unpacklo_epi32(m, sign));
            acc = _mm_add_epi64(acc, _mm_unpackhi_epi32(m, sign));
        }
        int64_t lanes[2];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), acc);
        int64_t sum = lanes[0] + lanes[1];
        for (; i < n; ++i) sum += int64_t(p[i]) * q[i];
        xy[lag - lagFrom] = sum;
    }
}

__attribute__((target("avx2"))) void crossSumsAvx2(const int16_t* p, std::size_t n, std::size_t lagFrom,
                                                   std::size_t lagTo, int64_t* xy) {
    for (std::size_t lag = lagFrom; lag <= lagTo; ++lag) {
        const int16_t* q = p + lag;
        __m256i acc = _mm256_setzero_si256();
        std::size_t i = 0;
        for (; i + 16 <= n; i += 16) {
            const __m256i m = _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i)),
                                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + i)));
            acc = _mm256_add_epi64(acc, _mm256_cvtepi32_epi64(_mm256_castsi256_si128(m)));
            acc = _mm256_add_epi64(acc, _mm256_cvtepi32_epi64(_mm256_extracti128_si256(m, 1)));
        }
        int64_t lanes[4];
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes), acc);
        int64_t sum = lanes[0] + lanes[1] + lanes[2] + lanes[3];
        for (; i < n; ++i) sum += int64_t(p[i]) * q[i];
        xy[lag - lagFrom] = sum;
    }
}
#endif

// correlation() at every lag of [lagFrom, lagTo] into r[lag], with the same values, made
// faster: products of 16-bit samples summed over a window shorter than 2^23 are whole
// numbers below 2^53, so the double sums of correlation() are exact and equal to integer
// sums in any order. The energies come from running sums of squares, the cross sums from
// integer arithmetic many products at a time.
void correlations(std::span<const int16_t> x, std::size_t s, std::size_t n, std::size_t lagFrom, std::size_t lagTo,
                  std::vector<double>& r) {
    const int16_t* p = x.data() + s;
    std::vector<int64_t> energy(lagTo - lagFrom + n + 1, 0);  // running sum of squares from s + lagFrom
    for (std::size_t i = 0; i + 1 < energy.size(); ++i) {
        const int64_t v = p[lagFrom + i];
        energy[i + 1] = energy[i] + v * v;
    }
    int64_t xx = 0;
    for (std::size_t i = 0; i < n; ++i) xx += int64_t(p[i]) * p[i];
    std::vector<int64_t> xy(lagTo - lagFrom + 1);
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (std::find(p, p + lagTo + n, int16_t(-32768)) != p + lagTo + n) crossSumsPlain(p, n, lagFrom, lagTo, xy.data());
    else if (avx2) crossSumsAvx2(p, n, lagFrom, lagTo, xy.data());
    else crossSumsSse2(p, n, lagFrom, lagTo, xy.data());
#else
    crossSumsPlain(p, n, lagFrom, lagTo, xy.data());
#endif
    for (std::size_t lag = lagFrom; lag <= lagTo; ++lag) {
        const int64_t yy = energy[lag - lagFrom + n] - energy[lag - lagFrom];
        const double dxx = double(xx), dyy = double(yy);
        r[lag] = dxx <= 0 || dyy <= 0 ? 0.0 : double(xy[lag - lagFrom]) / std::sqrt(dxx * dyy);
    }
}

bool risingZero(std::span<const int16_t> x, std::size_t i) { return i > 0 && i < x.size() && x[i - 1] < 0 && x[i] >= 0; }

struct Analysis {
    std::vector<double> rms;
    std::vector<bool> voiced;
};

bool reject(std::string* why, const char* reason) {
    if (why) *why = reason;
    return false;
}

}  // namespace

LoopSeam loopSeam(std::span<const int16_t> x, uint32_t c, uint32_t d) {
    LoopSeam s;
    if (c == 0 || d <= c + 1 || d > x.size()) return s;
    s.seamJump = std::abs(int(x[c]) - int(x[d - 1]));
    for (std::size_t i = c; i + 1 < d; ++i) s.largestInnerJump = std::max(s.largestInnerJump, std::abs(int(x[i + 1]) - int(x[i])));
    return s;
}

double estimatePeriod(std::span<const int16_t> x, std::size_t centre) {
    std::size_t window = 2048;
    if (x.size() < window + kMaxLag + 1) {
        if (x.size() < 512 + kMaxLag + 1) return 0;
        window = x.size() - kMaxLag - 1;
    }
    std::size_t start = centre > window / 2 ? centre - window / 2 : 0;
    start = std::min(start, x.size() - window - kMaxLag - 1);
    std::vector<double> r(kMaxLag + 2, 0.0);
    double best = 0;
    correlations(x, start, window, kMinLag - 1, kMaxLag + 1, r);
    for (std::size_t lag = kMinLag; lag <= kMaxLag; ++lag) best = std::max(best, r[lag]);
    if (best < 0.5) return 0;
    // The shortest lag that is nearly as good as the best avoids taking two periods for one.
    for (std::size_t lag = kMinLag; lag <= kMaxLag; ++lag) {
        if (r[lag] >= 0.85 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
            double a = r[lag - 1], b = r[lag], c = r[lag + 1];
            double denom = a - 2 * b + c;
            double shift = denom < 0 ? 0.5 * (a - c) / denom : 0.0;
            return double(lag) + std::clamp(shift, -0.5, 0.5);
        }
    }
    return 0;
}

bool autoMark(VoiceItem& item, std::string* why) {
    if (why) why->clear();
    if (!item.hasData()) return reject(why, "no wave data");
    const std::vector<int16_t> all = item.data.samples();
    const std::size_t n = std::min<std::size_t>(all.size(), kMarkerRange);
    std::span<const int16_t> x(all.data(), n);
    if (n < kFrame * 8) return reject(why, "the recording is too short");

    // Level per frame.
    const std::size_t frames = (n - kFrame) / kHop + 1;
    Analysis an;
    an.rms.resize(frames);
    double peak = 0;
    for (std::size_t f = 0; f < frames; ++f) {
        double sum = 0;
        for (std::size_t i = 0; i < kFrame; ++i) sum += double(x[f * kHop + i]) * x[f * kHop + i];
        an.rms[f] = std::sqrt(sum / kFrame);
        peak = std::max(peak, an.rms[f]);
    }
    if (peak < kSilentPeak) return reject(why, "the recording is silent");

    // The pitch period where the sound is loudest over about 45 ms.
    std::size_t loudest = 0;
    double loudestSum = -1;
    for (std::size_t f = 0; f + 9 <= frames; ++f) {
        double sum = 0;
        for (std::size_t k = 0; k < 9; ++k) sum += an.rms[f + k];
        if (sum > loudestSum) loudestSum = sum, loudest = f + 4;
    }
    const double period = estimatePeriod(x, loudest * kHop + kFrame / 2);
    if (period <= 0) return reject(why, "no periodic (voiced) sound found");

    // Voicing per frame: correlation near one period.
    const std::size_t lagLo = std::max<std::size_t>(kMinLag, std::size_t(period * 0.9));
    const std::size_t lagHi = std::min<std::size_t>(kMaxLag, std::size_t(period * 1.1) + 1);
    const std::size_t span = std::max<std::size_t>(kFrame, std::size_t(2 * period));
    an.voiced.assign(frames, false);
    for (std::size_t f = 0; f < frames; ++f) {
        if (an.rms[f] < 0.1 * peak || f * kHop + span + lagHi > n) continue;
        double best = 0;
        for (std::size_t lag = lagLo; lag <= lagHi; ++lag) best = std::max(best, correlation(x, f * kHop, span, lag));
        an.voiced[f] = best > kVoicedCorrelation;
    }

    // The vowel's level: the median of the loud voiced frames.
    std::vector<double> levels;
    for (std::size_t f = 0; f < frames; ++f)
        if (an.voiced[f] && an.rms[f] > 0.2 * peak) levels.push_back(an.rms[f]);
    if (levels.empty()) return reject(why, "no voiced sound found");
    std::nth_element(levels.begin(), levels.begin() + levels.size() / 2, levels.end());
    const double vowel = levels[levels.size() / 2];

    // Onset: the first frame clearly above the quietest one.
    const double floorLevel = *std::min_element(an.rms.begin(), an.rms.end());
    const double threshold = std::max(4 * floorLevel, 0.02 * vowel);
    std::size_t onsetFrame = 0;
    while (onsetFrame < frames && an.rms[onsetFrame] <= threshold) ++onsetFrame;
    if (onsetFrame == frames) return reject(why, "no sound onset found");
    std::size_t onset = onsetFrame * kHop;
    for (std::size_t i = onsetFrame > 0 ? (onsetFrame - 1) * kHop : 0; i < onsetFrame * kHop + kFrame && i < n; ++i) {
        if (std::abs(double(x[i])) > threshold) {
            onset = i;
            break;
        }
    }

    // The vowel: the first run of six steady voiced frames at half its level or more,
    // extended back over its rising start and forward to where it falls away.
    auto steady = [&](std::size_t f) { return an.voiced[f] && an.rms[f] >= 0.5 * vowel; };
    std::size_t first = onsetFrame;
    for (; first + 6 <= frames; ++first) {
        bool run = true;
        for (std::size_t k = 0; k < 6 && run; ++k) run = steady(first + k);
        if (run) break;
    }
    if (first + 6 > frames) return reject(why, "no steady vowel found");
    std::size_t last = first;
    while (last + 1 < frames && steady(last + 1)) ++last;
    while (first > onsetFrame && an.voiced[first - 1] && an.rms[first - 1] >= 0.25 * vowel) --first;

    Markers m;
    m.b = static_cast<uint32_t>(first * kHop);
    m.a = static_cast<uint32_t>(std::min<std::size_t>(onset > kHop ? onset - kHop : 0, m.b));
    if (m.b > kMarkerRange - kMarkerMaxLoopReach) return reject(why, "the vowel starts more than one second in");
    const std::size_t vowelEnd = last * kHop + kFrame;
    const std::size_t length = vowelEnd - m.b;

    // The stretch the loop may take: past the vowel's start, short of its end, within one
    // second of B and inside the data.
    const std::size_t s0 = m.b + std::max<std::size_t>(2 * kMarkerGap, length / 5);
    const std::size_t s1 = std::min<std::size_t>({vowelEnd - length / 10, std::size_t(m.b) + kMarkerMaxLoopReach, n - 2});
    const std::size_t minLoop = std::max<std::size_t>(2 * kMarkerGap, std::size_t(3 * period));
    if (s1 <= s0 || s1 - s0 < minLoop + std::size_t(2 * period)) return reject(why, "the vowel is too short for a loop");
    const std::size_t room = s1 - s0 - std::size_t(2 * period);
    const std::size_t target = std::clamp<std::size_t>(room * 6 / 10, minLoop, std::min(room, kLongestLoop));

    // Where the level holds steadiest over the target length.
    std::size_t bestStart = s0;
    double bestRatio = std::numeric_limits<double>::max();
    for (std::size_t c = s0; c + target <= s0 + room; c += kHop) {
        double lo = std::numeric_limits<double>::max(), hi = 0;
        for (std::size_t f = (c + kHop - 1) / kHop; f * kHop + kFrame <= c + target && f < frames; ++f)
            lo = std::min(lo, an.rms[f]), hi = std::max(hi, an.rms[f]);
        if (hi <= 0) continue;
        double ratio = hi / std::max(lo, 1.0);
        if (ratio < bestRatio * 0.99) bestRatio = ratio, bestStart = c;
    }

    // Cut at rising zero crossings whole periods apart, where the waveform at D matches
    // the one at C, and keep the best pair that passes the seam rule.
    double local = estimatePeriod(x, bestStart + target / 2);
    if (local <= 0 || std::abs(local - period) > 0.2 * period) local = period;
    const std::size_t periods = std::max<std::size_t>(2, std::size_t(std::lround(double(target) / local)));
    const std::size_t limitD = std::min<std::size_t>({std::size_t(m.b) + kMarkerMaxLoopReach, n - 2, kMarkerRange});
    double bestCost = std::numeric_limits<double>::max();
    Markers chosen;
    bool found = false;
    for (std::size_t c = bestStart; c < bestStart + std::size_t(2 * local) && c + 2 < n; ++c) {
        if (!risingZero(x, c)) continue;
        const double d0 = double(c) + double(periods) * local;
        const std::size_t dLo = std::size_t(std::max(0.0, d0 - local / 2)), dHi = std::size_t(d0 + local / 2);
        for (std::size_t d = std::max(dLo, c + 2 * kMarkerGap); d <= dHi && d <= limitD; ++d) {
            if (!risingZero(x, d)) continue;
            double cost = std::abs(double(x[d - 1]) - x[c - 1]) + std::abs(double(x[d]) - x[c]) +
                          std::abs(double(x[d + 1]) - x[c + 1]) + std::abs(double(x[d - 2]) - x[c - 2]);
            if (cost >= bestCost) continue;
            LoopSeam seam = loopSeam(x, static_cast<uint32_t>(c), static_cast<uint32_t>(d));
            if (seam.clicks()) continue;
            bestCost = cost;
            chosen = m;
            chosen.c = static_cast<uint32_t>(c);
            chosen.d = static_cast<uint32_t>(d);
            found = true;
        }
    }
    if (!found) return reject(why, "no click-free loop found in the vowel");
    if (!markersFollowRules(chosen, item.sampleCount())) return reject(why, "the markers would break the marker rules");
    item.setMarkers(chosen);
    return true;
}

int autoMarkAll(VoiceProject& project, bool overwrite, std::vector<std::string>* problems) {
    int marked = 0;
    for (auto& item : project.items) {
        if (!item || item->isBlank() || !item->hasData()) continue;
        if (item->hasProperties() && !overwrite) continue;
        std::string why;
        if (autoMark(*item, &why)) {
            ++marked;
        } else if (problems) {
            problems->push_back(item->listLine(false) + why);
        }
    }
    if (marked > 0) project.markItemsEdited();
    return marked;
}

}  // namespace kantor

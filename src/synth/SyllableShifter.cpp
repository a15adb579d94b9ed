#include "synth/SyllableShifter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace kantor {
namespace {

int16_t clampSample(long double v) {
    if (v > 32767.0L) return 32767;
    if (v < -32768.0L) return -32768;
    return static_cast<int16_t>(v);  // truncation toward zero
}

long double meanAbs(const SoundBuffer& y, std::size_t first, std::size_t count) {
    long double sum = 0;
    for (std::size_t i = first; i < first + count; ++i) sum += std::abs(static_cast<int>(y.sample(i)));
    return count ? sum / count : 0;
}

void copyBytes(SoundBuffer& dst, std::size_t at, const SoundBuffer& src, std::size_t from, std::size_t n) {
    if (n) std::memcpy(dst.data() + at, src.data() + from, n);
}

}  // namespace

uint32_t scaleMarker(uint32_t bytes, uint32_t fs, uint32_t ft) {
    if (ft == 0) return 0;
    const long double v = static_cast<long double>(bytes) * fs / ft;
    const uint64_t t = v >= 4294967295.0L ? 0xFFFFFFFFull : static_cast<uint64_t>(v);
    return static_cast<uint32_t>(t & ~uint64_t(1));
}

uint32_t pitchShift(const SoundBuffer& x, uint32_t fs, uint32_t ft, SoundBuffer& y, uint32_t maxBytes) {
    const std::size_t in = x.byteLength() / 2;
    const std::size_t outMax = std::min<std::size_t>(maxBytes / 2, (y.capacity()) / 2);
    std::size_t out = 0;
    if (ft == 0) return 0;
    if (ft < fs) {
        // Sung lower: for each input sample, count the steps the accumulator needs to get
        // back to fs and fill them with interpolated samples before the sample itself.
        uint64_t acc = fs;
        int32_t u = 0;
        for (std::size_t i = 0; i < in && out < outMax; ++i) {
            uint64_t pending = 0;
            while (acc < fs) {
                acc += ft;
                ++pending;
            }
            const int32_t w = x.sample(i);
            for (uint64_t j = 1; j <= pending && out < outMax; ++j) {
                const long double step = static_cast<long double>(w - u) / static_cast<long double>(pending + 1) * j;
                y.setSample(out++, static_cast<int16_t>(u + static_cast<int32_t>(step)));
            }
            if (out < outMax) y.setSample(out++, static_cast<int16_t>(w));
            u = w;
            acc %= fs;
            acc += ft;
        }
    } else {
        // Sung at the same pitch or higher: input samples are copied or dropped.
        uint64_t acc = ft;
        std::size_t i = 0;
        while (i < in && out < outMax) {
            if (acc >= ft) {
                uint64_t n = acc / ft;
                acc %= ft;
                for (; n > 0 && i < in && out < outMax; --n) y.setSample(out++, x.sample(i++));
            } else {
                ++i;
            }
            acc += fs;
        }
    }
    return static_cast<uint32_t>(out * 2);
}

void levelGlide(SoundBuffer& y, std::size_t first, std::size_t last, uint32_t ft) {
    if (ft == 0 || last <= first) return;
    const std::size_t p = 44100000u / ft;
    const std::size_t len = last - first;
    if (p == 0 || len < 3 * p) return;
    const long double a = meanAbs(y, first, 3 * p);
    const long double z = meanAbs(y, last - 3 * p, 3 * p);
    if (!(a > 0) || !(z > 0)) return;
    const std::size_t K = len / p;
    for (std::size_t i = 0; i < K; ++i) {
        const std::size_t s0 = first + i * p;
        const long double own = meanAbs(y, s0, p);
        if (own == 0) continue;
        const long double factor = (a + (z - a) * static_cast<long double>(i) / static_cast<long double>(K)) / own;
        for (std::size_t k = s0; k < s0 + p; ++k) y.setSample(k, clampSample(y.sample(k) * factor));
    }
}

bool shiftSyllable(const SyllableShiftInput& in, SyllableShiftOutput& out) {
    const uint32_t fs = in.sampleFrequency;
    const uint32_t ft = in.targetFrequency;
    if (ft == 0 || in.sample == nullptr) return false;
    const SoundBuffer& x = *in.sample;
    const uint32_t L = static_cast<uint32_t>(x.byteLength());

    // The whole sample, shifted.
    const long double e = static_cast<long double>(L) * fs / ft;
    const uint64_t E64 = e >= 4294967295.0L ? 0xFFFFFFFEull : (static_cast<uint64_t>(e) & ~uint64_t(1));
    SoundBuffer shifted;
    if (!shifted.allocate(static_cast<std::size_t>(E64))) return false;
    const uint32_t P = pitchShift(x, fs, ft, shifted, static_cast<uint32_t>(E64));

    const uint32_t D = std::min(in.markerD, L);
    const uint32_t Lb = scaleMarker(in.markerB, fs, ft);
    uint32_t Lc = scaleMarker(in.markerC, fs, ft);
    uint32_t Ld = scaleMarker(D, fs, ft);

    const uint64_t T64 = uint64_t(Lb) + in.neededBytes;
    const std::size_t T = static_cast<std::size_t>(T64);
    if (!out.sound.allocate(T)) return false;
    out.leadInBytes = Lb;

    if (P >= T) {
        copyBytes(out.sound, 0, shifted, 0, T);
        return true;
    }

    // Sustain. The loop must lie inside the shifted sound and hold at least one period:
    // rounding can leave the sound shorter than Ld, and a sample's C and D may coincide.
    Ld = std::min(Ld, P);
    Lc = std::min(Lc, Ld);
    if (Lc == Ld) {
        const uint32_t period = 2 * std::max<uint32_t>(1, 44100000u / ft);
        Lc = Ld >= period ? Ld - period : 0;
    }
    if (Lc == Ld) {
        // Nothing to repeat: the sound as it is, then silence.
        copyBytes(out.sound, 0, shifted, 0, P);
        return true;
    }
    copyBytes(out.sound, 0, shifted, 0, Lc);
    const std::size_t loop = Ld - Lc;
    const std::size_t count = (T - P + loop) / loop;
    std::size_t pos = Lc;
    for (std::size_t r = 0; r < count; ++r, pos += loop) copyBytes(out.sound, pos, shifted, Lc, loop);
    if (count > 1) levelGlide(out.sound, Lc / 2, pos / 2, ft);
    const std::size_t tail = T - pos;
    const std::size_t from = (P - Ld >= tail) ? Ld : Lc;
    copyBytes(out.sound, pos, shifted, from, tail);
    levelGlide(out.sound, pos / 2, T / 2, ft);
    return true;
}

}  // namespace kantor

namespace kantor {
namespace {

// The bend is evaluated every so many output samples and read straight between.
constexpr std::size_t kBendStep = 64;
constexpr double kMsPerSample = 1000.0 / 44100.0;

int16_t roundSample(double v) {
    v = std::clamp(v, -32768.0, 32767.0);
    // To the nearest, halves away from 0; without a branch on the sign, which sound makes
    // unpredictable.
    return static_cast<int16_t>(v + std::copysign(0.5, v));
}

}  // namespace

bool shiftSyllableBent(const SyllableShiftInput& in, const PitchBend& bend, double maxRatio,
                       SyllableShiftOutput& out) {
    const uint32_t fs = in.sampleFrequency;
    const uint32_t ft = in.targetFrequency;
    if (ft == 0 || in.sample == nullptr) return false;
    maxRatio = std::max(1.0, maxRatio);
    const uint32_t Lb = scaleMarker(in.markerB, fs, ft);

    // The lead-in is read at the ratio the bend starts with.
    const double r0 = std::max(1e-3, bend(-1.0));
    const std::size_t leadOut = static_cast<std::size_t>(std::lround(double(Lb / 2) / r0));
    const std::size_t total = leadOut + in.neededBytes / 2;
    // The ratio at the start of each block of kBendStep output samples (read straight
    // between), and how far the reading gets: the sound at ft needs to be that long.
    const std::size_t blocks = (total + kBendStep - 1) / kBendStep;
    thread_local std::vector<double> ratios;
    ratios.resize(blocks + 1);
    ratios[0] = r0;
    double reach = 0;
    for (std::size_t j = 1; j <= blocks; ++j) {
        ratios[j] = bend((double(j * kBendStep) - double(leadOut)) * kMsPerSample);
        reach += double(kBendStep) * ratios[j - 1] + (ratios[j] - ratios[j - 1]) * double(kBendStep - 1) / 2.0;
    }
    const double wantedSamples = std::min(reach, double(total) * maxRatio) + 128.0;
    SyllableShiftInput wide = in;
    const double wanted = 2.0 * wantedSamples - double(Lb);
    wide.neededBytes = static_cast<uint32_t>(std::min(4.0e9, std::max(0.0, wanted))) & ~uint32_t(1);
    SyllableShiftOutput base;
    if (!shiftSyllable(wide, base)) return false;
    const std::size_t baseLen = base.sound.sampleCount();

    if (!out.sound.allocate(total * 2)) return false;
    out.leadInBytes = static_cast<uint32_t>(leadOut * 2);

    // Raw bytes (little-endian 16-bit), kept in locals the stores cannot alias.
    const uint8_t* x = base.sound.data();
    uint8_t* y = out.sound.data();
    auto at = [x](std::size_t i) { return int64_t(int16_t(uint16_t(x[2 * i] | (x[2 * i + 1] << 8)))); };
    // The position in 32.32 fixed point; within a block the step grows by the same amount
    // each sample (the ratio read straight between the block's ends).
    constexpr double kOne = 4294967296.0;
    uint64_t pos = 0;
    for (std::size_t j = 0, n = 0; j < blocks; ++j) {
        const double r = ratios[j], slope = (ratios[j + 1] - r) / double(kBendStep);
        int64_t step = std::llround(r * kOne);
        const int64_t grow = std::llround(slope * kOne);
        const std::size_t count = std::min(total - n, kBendStep);
        // The block reads past the sound's end only when its last position does.
        const double last = double(pos) / kOne + r * double(count - 1) + slope * double(count - 1) * double(count - 2) / 2.0;
        const bool inside = last + 2.0 < double(baseLen);
        for (std::size_t k = 0; k < count; ++k, ++n) {
            const std::size_t i = static_cast<std::size_t>(pos >> 32);
            if (!inside && i + 1 >= baseLen) return true;  // the rest stays silent
            // Between two samples (no clamp needed), the fraction in 16 bits; to the
            // nearest, halves away from 0, without a branch on the sign.
            const int64_t a = at(i), b = at(i + 1);
            const int64_t f = int64_t((pos >> 16) & 0xFFFF);
            const int64_t v = a * 65536 + (b - a) * f;
            const int64_t sign = v >> 63;
            const int64_t mag = (((v ^ sign) - sign) + 32768) >> 16;
            const uint16_t out16 = static_cast<uint16_t>((mag ^ sign) - sign);
            y[2 * n] = static_cast<uint8_t>(out16 & 0xFF);
            y[2 * n + 1] = static_cast<uint8_t>(out16 >> 8);
            pos += uint64_t(step);
            step += grow;
        }
    }
    return true;
}

bool retimeLeadIn(SyllableShiftOutput& io, double speed) {
    if (speed <= 0 || speed == 1.0) return true;
    const std::size_t lead = io.leadInBytes / 2;
    const std::size_t total = io.sound.sampleCount();
    if (lead == 0 || lead > total) return true;
    const std::size_t newLead = static_cast<std::size_t>(std::lround(double(lead) / speed));
    SoundBuffer y;
    if (!y.allocate((newLead + total - lead) * 2)) return false;
    for (std::size_t n = 0; n < newLead; ++n) {
        const double pos = double(n) * speed;
        const std::size_t i = static_cast<std::size_t>(pos);
        const double f = pos - double(i);
        const double a = i < lead ? io.sound.sample(i) : 0.0;
        const double b = i + 1 < total ? io.sound.sample(i + 1) : a;
        y.setSample(n, roundSample(a * (1 - f) + b * f));
    }
    for (std::size_t n = lead; n < total; ++n) y.setSample(newLead + n - lead, io.sound.sample(n));
    io.sound = std::move(y);
    io.leadInBytes = static_cast<uint32_t>(newLead * 2);
    return true;
}

void applyLevel(SoundBuffer& y, const std::function<double(std::size_t)>& level) {
    const std::size_t n = y.sampleCount();
    for (std::size_t i = 0; i < n; ++i) y.setSample(i, roundSample(y.sample(i) * level(i)));
}

void falsettoTimbre(SoundBuffer& y) {
    const std::size_t n = y.sampleCount();
    const double lowpass = std::exp(-2 * M_PI * 900.0 / 44100.0);
    const double follow = std::exp(-2 * M_PI * 30.0 / 44100.0);
    double a = 0, b = 0, env = 0, prevNoise = 0;
    uint32_t seed = 0x9E3779B9u;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = y.sample(i);
        a = (1 - lowpass) * x + lowpass * a;
        b = (1 - lowpass) * a + lowpass * b;
        env = (1 - follow) * std::abs(x) + follow * env;
        seed = seed * 1664525u + 1013904223u;
        const double white = double(int32_t(seed >> 8) - (1 << 23)) / double(1 << 23);
        const double breath = white - prevNoise;  // tilted up: aspiration is hiss, not rumble
        prevNoise = white;
        y.setSample(i, roundSample(1.15 * b + 0.12 * env * breath));
    }
}

}  // namespace kantor

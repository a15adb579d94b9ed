#include "Signal.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>

#include "sound/WavFile.h"
#include "sound/SoundBuffer.h"
#include "sound/SoundFormat.h"

namespace kantor::voicegen {

namespace {

double sinc(double t) {
    if (std::abs(t) < 1e-9) return 1.0;
    const double a = std::numbers::pi * t;
    return std::sin(a) / a;
}

// Blackman window over |t| < half.
double blackman(double t, double half) {
    if (std::abs(t) >= half) return 0.0;
    const double u = (t / half + 1.0) * 0.5;  // 0..1
    return 0.42 - 0.5 * std::cos(2 * std::numbers::pi * u) + 0.08 * std::cos(4 * std::numbers::pi * u);
}

}  // namespace

namespace {

// The resampling kernel, tabulated finely and read with linear interpolation.
class KernelTable {
public:
    KernelTable(double fc, double half) : half_(half) {
        const std::size_t n = static_cast<std::size_t>(std::ceil(half * kSteps)) + 2;
        table_.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            const double d = static_cast<double>(i) / kSteps;
            table_[i] = fc * sinc(fc * d) * blackman(d, half);
        }
    }
    double operator()(double d) const {
        const double a = std::abs(d) * kSteps;
        const std::size_t i = static_cast<std::size_t>(a);
        if (i + 1 >= table_.size()) return 0.0;
        const double f = a - static_cast<double>(i);
        return table_[i] + (table_[i + 1] - table_[i]) * f;
    }
    double half() const { return half_; }

private:
    static constexpr double kSteps = 1024.0;
    double half_;
    std::vector<double> table_;
};

}  // namespace

Signal resample(std::span<const float> x, double fsIn, double fsOut) {
    const double ratio = fsOut / fsIn;
    const std::size_t n = static_cast<std::size_t>(std::llround(static_cast<double>(x.size()) * ratio));
    Signal y(n, 0.0f);
    const double fc = 0.95 * std::min(1.0, ratio);  // cutoff relative to the input Nyquist
    const KernelTable kernel(fc, 16.0 / fc);         // half-width in input samples
    const double half = kernel.half();
    const long long len = static_cast<long long>(x.size());
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / ratio;
        const long long lo = static_cast<long long>(std::ceil(t - half));
        const long long hi = static_cast<long long>(std::floor(t + half));
        double acc = 0.0;
        for (long long k = std::max(lo, 0LL); k <= std::min(hi, len - 1); ++k)
            acc += x[static_cast<std::size_t>(k)] * kernel(t - static_cast<double>(k));
        y[i] = static_cast<float>(acc);
    }
    return y;
}

FractionalTaps::FractionalTaps(double frac) {
    for (int k = -kHalf + 1; k <= kHalf; ++k) {
        const double d = frac - k;
        w_[static_cast<std::size_t>(k + kHalf - 1)] = static_cast<float>(sinc(0.97 * d) * 0.97 * blackman(d, kHalf));
    }
}

float FractionalTaps::apply(std::span<const float> x, long long base) const {
    const long long len = static_cast<long long>(x.size());
    double acc = 0.0;
    for (int k = -kHalf + 1; k <= kHalf; ++k) {
        const long long idx = base + k;
        if (idx < 0 || idx >= len) continue;
        acc += x[static_cast<std::size_t>(idx)] * w_[static_cast<std::size_t>(k + kHalf - 1)];
    }
    return static_cast<float>(acc);
}

float readAt(std::span<const float> x, double pos) {
    const double fl = std::floor(pos);
    const double frac = pos - fl;
    const long long base = static_cast<long long>(fl);
    const long long len = static_cast<long long>(x.size());
    if (frac < 1e-7) return (base >= 0 && base < len) ? x[static_cast<std::size_t>(base)] : 0.0f;
    if (frac > 1.0 - 1e-7) return (base + 1 >= 0 && base + 1 < len) ? x[static_cast<std::size_t>(base + 1)] : 0.0f;
    return FractionalTaps(frac).apply(x, base);
}

std::vector<int16_t> toPcm16(std::span<const float> x) {
    std::vector<int16_t> y(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double v = std::clamp(std::round(static_cast<double>(x[i])), -32768.0, 32767.0);
        y[i] = static_cast<int16_t>(v);
    }
    return y;
}

Signal fromPcm16(std::span<const int16_t> x) {
    Signal y(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) y[i] = static_cast<float>(x[i]);
    return y;
}

std::size_t unwrapOverflow(Signal& x) {
    // An excursion past full scale shows as a jump from near one rail to near the other,
    // a short stretch on the wrong side, and the jump back. Only such pairs are undone;
    // a lone big step (loud noise can make one) is left as it is.
    constexpr double kRail = 16384.0;
    constexpr std::size_t kLongest = 64;  // samples an excursion may last
    std::size_t changed = 0;
    for (std::size_t n = 1; n < x.size(); ++n) {
        const double a = x[n - 1], b = x[n];
        if (std::abs(b - a) <= 32767.0 || std::abs(a) < kRail || std::abs(b) < kRail || (a > 0) == (b > 0)) continue;
        const double sign = b > 0 ? 1.0 : -1.0;  // the side the wrapped stretch lies on
        std::size_t m = n + 1;
        while (m < x.size() && m - n <= kLongest && x[m] * sign > 0) ++m;
        if (m >= x.size() || m - n > kLongest) continue;
        // x[m] is back on the right side: was that the jump back from the rail?
        if (std::abs(static_cast<double>(x[m]) - x[m - 1]) <= 32767.0 || std::abs(x[m - 1]) < kRail) continue;
        for (std::size_t k = n; k < m; ++k) x[k] = static_cast<float>(x[k] - sign * 65536.0);
        changed += m - n;
        n = m;
    }
    return changed;
}

double rms(std::span<const float> x, std::size_t begin, std::size_t end) {
    end = std::min(end, x.size());
    if (begin >= end) return 0.0;
    double acc = 0.0;
    for (std::size_t i = begin; i < end; ++i) acc += static_cast<double>(x[i]) * x[i];
    return std::sqrt(acc / static_cast<double>(end - begin));
}

float peak(std::span<const float> x) {
    float p = 0.0f;
    for (float v : x) p = std::max(p, std::abs(v));
    return p;
}

bool readWavMono16(const std::string& path, Signal& x, uint32_t& rate, std::string& error) {
    WavReader reader;
    WaveFormatTriple format;
    if (!reader.readFormat(path, format)) {
        error = path + ": " + reader.lastError();
        return false;
    }
    if (format.bitsPerSample != 16 || format.channels != 1) {
        error = path + ": not 16-bit mono";
        return false;
    }
    SoundBuffer data;
    if (!reader.readData(path, data)) {
        error = path + ": " + reader.lastError();
        return false;
    }
    rate = format.samplesPerSec;
    const std::vector<int16_t> pcm = data.samples();
    x = fromPcm16(pcm);
    return true;
}

bool writeWavMono16(const std::string& path, std::span<const int16_t> pcm, uint32_t rate, std::string& error) {
    const uint32_t bytes = static_cast<uint32_t>(pcm.size() * 2);
    std::vector<uint8_t> file = wavHeader(packFormat(16, 1), rate, bytes);
    file.reserve(file.size() + bytes);
    for (int16_t s : pcm) {
        const uint16_t u = static_cast<uint16_t>(s);
        file.push_back(static_cast<uint8_t>(u & 0xFF));
        file.push_back(static_cast<uint8_t>(u >> 8));
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    out.close();
    if (!out) {
        error = path + ": cannot write";
        return false;
    }
    return true;
}

float Noise::next() {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<float>(static_cast<double>(state_ >> 8) / 8388608.0 - 1.0);
}

}  // namespace kantor::voicegen

#include "synth/SoundPrimitives.h"

#include <algorithm>
#include <cstdlib>

namespace kantor {
namespace {

int16_t clampSample(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767)); }

}  // namespace

void applyVolume(SoundBuffer& sound, uint16_t percent) {
    if (percent == 100 || sound.byteLength() == 0) return;
    // The count includes a last odd byte, whose sample reaches into the spare bytes.
    const std::size_t n = (sound.byteLength() + 1) / 2;
    for (std::size_t i = 0; i < n; ++i) {
        // percent * 0.01 * x exactly: C++ division truncates toward zero.
        int64_t v = int64_t{percent} * sound.sample(i) / 100;
        sound.setSample(i, clampSample(v));
    }
}

void fadeOutEnd(SoundBuffer& sound) {
    if (sound.byteLength() < 26) return;
    std::size_t samples = sound.sampleCount();
    while (samples > 0 && sound.sample(samples - 1) == 0) --samples;
    const std::size_t n = samples * 2;  // bytes up to the last non-zero sample
    std::size_t a = std::min<std::size_t>((n / 13) & ~std::size_t{1}, 1000);
    if (a == 0) return;
    const std::size_t first = (n - a) / 2;
    const int64_t ai = static_cast<int64_t>(a);
    for (std::size_t k = 0; k < a / 2; ++k) {
        int64_t x = sound.sample(first + k);
        sound.setSample(first + k, static_cast<int16_t>(x * (ai - 2 * static_cast<int64_t>(k)) / ai));
    }
}

void normaliseLevel(SoundBuffer& sound, std::size_t startOffset) {
    const std::size_t samples = sound.sampleCount();
    const std::size_t from = startOffset / 2;
    if (from >= samples) return;
    int64_t sum = 0;
    for (std::size_t i = from; i < samples; ++i) sum += std::abs(int64_t{sound.sample(i)});
    if (sum <= 0) return;
    const int64_t count = static_cast<int64_t>(samples - from);
    // x * 4000 / m with m = sum / count, kept exact: x * 4000 * count / sum, truncated toward
    // zero. Below 2^32 samples the product fits 64 bits, and the quotient is taken from a
    // double estimate made exact by one correction: wherever it is not clamped it is below
    // 40,001, so the estimate is off by less than one. 128-bit division is kept for the rest.
    if (count < (int64_t(1) << 32)) {
        const int64_t clamped = 40001 * sum;  // a quotient at least this large is clamped anyway
        const double inverse = 1.0 / double(sum);
        for (std::size_t i = 0; i < samples; ++i) {
            const int64_t x = sound.sample(i);
            const int64_t a = (x < 0 ? -x : x) * 4000 * count;
            int64_t q = 40001;
            if (a < clamped) {
                q = static_cast<int64_t>(double(a) * inverse);
                int64_t r = a - q * sum;
                if (r < 0) --q, r += sum;
                if (r >= sum) ++q;
            }
            sound.setSample(i, clampSample(std::clamp<int64_t>(x < 0 ? -q : q, -40000, 40000)));
        }
        return;
    }
    for (std::size_t i = 0; i < samples; ++i) {
        __int128 v = static_cast<__int128>(sound.sample(i)) * 4000 * count / sum;
        sound.setSample(i, clampSample(static_cast<int64_t>(std::clamp<__int128>(v, -40000, 40000))));
    }
}

}  // namespace kantor

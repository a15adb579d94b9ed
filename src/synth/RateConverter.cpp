#include "synth/RateConverter.h"

#include "base/Texts.h"
#include "sound/SoundFormat.h"

namespace kantor {
namespace {

bool supportedRate(uint32_t rate) { return rate == kRate11025 || rate == kRate22050 || rate == kRate44100; }

// The j-th of k samples between u and w: u + (w - u) / (k + 1) * j, truncated toward zero.
int16_t interpolate(int64_t u, int64_t w, int64_t k, int64_t j) {
    return static_cast<int16_t>((u * (k + 1) + (w - u) * j) / (k + 1));
}

}  // namespace

bool RateConverter::convert(uint32_t packed, uint32_t srcRate, SoundBuffer& sound, uint32_t dstRate) {
    clearError();
    if (formatBits(packed) != 16 || srcRate == dstRate) return true;
    // The factors must be whole multiples of 11025 Hz; anything else would divide by
    // zero or play at the wrong speed.
    if (!supportedRate(srcRate) || !supportedRate(dstRate)) return fail(kUnsupportedRateText);
    const uint64_t sf = srcRate / kRate11025;
    const uint64_t df = dstRate / kRate11025;
    const uint64_t d = uint64_t{sound.byteLength()} * df / sf;
    SoundBuffer out;
    if (!out.allocate(static_cast<std::size_t>(d), kSoundSpare)) return fail(text::kOutOfMemory);

    const std::size_t nIn = sound.sampleCount();
    const std::size_t nOut = static_cast<std::size_t>(d / 2);
    std::size_t i = 0, o = 0;
    if (df < sf) {
        uint64_t acc = sf;
        while (i < nIn && o < nOut) {
            if (acc >= sf) {
                uint64_t n = acc / sf;
                acc %= sf;
                for (; n > 0 && i < nIn && o < nOut; --n) out.setSample(o++, sound.sample(i++));
            } else {
                ++i;  // dropped
            }
            acc += df;
        }
    } else {
        uint64_t acc = df;
        int64_t pending = 0;
        int64_t u = 0;  // the last input sample written
        while (i < nIn && o < nOut) {
            if (acc >= df) {
                const int64_t w = sound.sample(i);
                for (int64_t j = 1; j <= pending && o < nOut; ++j) out.setSample(o++, interpolate(u, w, pending, j));
                uint64_t n = acc / df;
                acc %= df;
                for (; n > 0 && i < nIn && o < nOut; --n) {
                    u = sound.sample(i++);
                    out.setSample(o++, static_cast<int16_t>(u));
                }
                pending = 0;
            } else {
                ++pending;
            }
            acc += sf;
        }
    }
    sound = std::move(out);
    return true;
}

bool convertRate(uint32_t packed, uint32_t srcRate, SoundBuffer& sound, uint32_t dstRate) {
    RateConverter c;
    return c.convert(packed, srcRate, sound, dstRate);
}

}  // namespace kantor

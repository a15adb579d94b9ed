#include "sound/SoundFormat.h"

namespace kantor {

WaveFormatRecord makeWaveFormat(uint32_t packed, uint32_t rate) {
    WaveFormatRecord f;
    f.channels = formatChannels(packed);
    f.bitsPerSample = formatBits(packed);
    f.samplesPerSec = rate;
    uint32_t bytesPerSample = f.bitsPerSample / 8u;
    f.blockAlign = static_cast<uint16_t>(f.channels * bytesPerSample);
    f.avgBytesPerSec = static_cast<uint32_t>(uint64_t{f.channels} * bytesPerSample * rate);
    f.extraSize = 0;
    return f;
}

// The products are kept exact in 64 bits, so the results are the truncated (or rounded)
// values of the real quotients, with no rounding error of a decimal constant.
uint32_t bytesForMilliseconds(uint32_t packed, uint32_t rate, uint32_t ms) {
    WaveFormatRecord f = makeWaveFormat(packed, rate);
    if (f.avgBytesPerSec == 0) return 0;
    uint64_t x = uint64_t{ms} * f.avgBytesPerSec / 1000u;
    if (f.blockAlign > 1 && x % f.blockAlign != 0) x += f.blockAlign - x % f.blockAlign;
    return x > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(x);
}

uint32_t millisecondsForBytes(uint32_t packed, uint32_t rate, uint64_t bytes) {
    WaveFormatRecord f = makeWaveFormat(packed, rate);
    if (f.avgBytesPerSec == 0) return 0;
    // floor(bytes * 1000 / avg + 0.5) = floor((2000 * bytes + avg) / (2 * avg))
    if (bytes < (uint64_t{1} << 50)) {
        uint64_t ms = (bytes * 2000u + f.avgBytesPerSec) / (2u * uint64_t{f.avgBytesPerSec});
        return ms > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(ms);
    }
    unsigned __int128 num = static_cast<unsigned __int128>(bytes) * 2000u + f.avgBytesPerSec;
    unsigned __int128 ms = num / (2u * static_cast<uint64_t>(f.avgBytesPerSec));
    return ms > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(ms);
}

uint16_t sampleFormatCode(uint32_t packed, uint32_t rate) {
    uint16_t code = rate == kRate11025 ? 0 : rate == kRate22050 ? 4 : 8;
    if (formatBits(packed) != 16) code += 2;
    if (formatChannels(packed) != 1) code += 1;
    return code;
}

bool decodeSampleFormatCode(uint16_t code, uint32_t& packed, uint32_t& rate) {
    if (code > 11) return false;
    static constexpr uint32_t kRates[3] = {kRate11025, kRate22050, kRate44100};
    rate = kRates[code / 4];
    uint16_t bits = (code & 2) ? 8 : 16;
    uint16_t channels = (code & 1) ? 2 : 1;
    packed = packFormat(bits, channels);
    return true;
}

}  // namespace kantor

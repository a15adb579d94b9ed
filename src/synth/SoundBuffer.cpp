#include "sound/SoundBuffer.h"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace kantor {

bool SoundBuffer::allocate(std::size_t byteLength, std::size_t spare) {
    spare = std::max<std::size_t>(spare, 2);
    if (byteLength > SIZE_MAX - spare) return false;
    try {
        std::vector<uint8_t> fresh(byteLength + spare, 0);
        storage_ = std::move(fresh);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    length_ = byteLength;
    return true;
}

bool SoundBuffer::assign(std::span<const uint8_t> bytes, std::size_t spare) {
    SoundBuffer fresh;
    if (!fresh.allocate(bytes.size(), spare)) return false;
    std::copy(bytes.begin(), bytes.end(), fresh.storage_.begin());
    *this = std::move(fresh);
    return true;
}

SoundBuffer SoundBuffer::fromSamples(std::span<const int16_t> samples, std::size_t spare) {
    SoundBuffer b;
    if (!b.allocate(samples.size() * 2, spare)) return b;
    for (std::size_t i = 0; i < samples.size(); ++i) b.setSample(i, samples[i]);
    return b;
}

std::vector<int16_t> SoundBuffer::samples() const {
    std::vector<int16_t> out(sampleCount());
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = sample(i);
    return out;
}

}  // namespace kantor

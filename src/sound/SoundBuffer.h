#pragma once
// An owning block of sound bytes: a nominal byte length followed by zero-filled spare
// bytes, as every producer of sound allocates it. Samples are 16-bit little-endian
// whatever the host order; 8-bit data is handled as plain bytes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kantor {

// Spare bytes after the nominal length, by producer.
inline constexpr std::size_t kSoundSpare = 1000;       // most buffers, voice sample data
inline constexpr std::size_t kPhraseSpare = 1100;      // a rendered phrase
inline constexpr std::size_t kMixerSpare = 100;        // mixer and plug-in output

class SoundBuffer {
public:
    SoundBuffer() = default;

    // Allocates byteLength + spare zero bytes (spare is at least 2, so that the last
    // sample of an odd length can always be read whole). Returns false, leaving the
    // buffer as it was, when memory runs out.
    bool allocate(std::size_t byteLength, std::size_t spare = kSoundSpare);
    // Allocates and copies bytes in.
    bool assign(std::span<const uint8_t> bytes, std::size_t spare = kSoundSpare);
    // Gives the memory back. (`storage_ = {}` would pick the initializer-list assignment,
    // which empties the vector but keeps its capacity: a played phrase's block stayed.)
    void reset() {
        std::vector<uint8_t>().swap(storage_);
        length_ = 0;
    }
    // Bytes held from the heap, spare and unused capacity included.
    std::size_t heldBytes() const { return storage_.capacity(); }

    // A buffer that was never allocated (or was reset) holds no data: the "null" entry.
    bool hasData() const { return !storage_.empty(); }
    std::size_t byteLength() const { return length_; }
    // Whole 16-bit samples inside the nominal length.
    std::size_t sampleCount() const { return length_ / 2; }
    // Nominal length plus spare bytes.
    std::size_t capacity() const { return storage_.size(); }
    // Sets the nominal length; it must stay within the capacity.
    void setByteLength(std::size_t n) { length_ = n <= storage_.size() ? n : storage_.size(); }

    uint8_t* data() { return storage_.data(); }
    const uint8_t* data() const { return storage_.data(); }
    std::span<const uint8_t> bytes() const { return {storage_.data(), length_}; }

    // Sample at byte offset 2*i; i may reach into the spare bytes, never past them.
    int16_t sample(std::size_t i) const {
        const uint8_t* p = storage_.data() + 2 * i;
        return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
    }
    void setSample(std::size_t i, int16_t v) {
        uint8_t* p = storage_.data() + 2 * i;
        p[0] = static_cast<uint8_t>(static_cast<uint16_t>(v));
        p[1] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
    }

    // Makes a buffer of 16-bit samples (spare bytes as given); for tests and tools.
    static SoundBuffer fromSamples(std::span<const int16_t> samples, std::size_t spare = kSoundSpare);
    std::vector<int16_t> samples() const;

private:
    std::vector<uint8_t> storage_;
    std::size_t length_ = 0;
};

}  // namespace kantor

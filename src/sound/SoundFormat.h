#pragma once
// Sample formats and the byte <-> millisecond arithmetic used wherever sound is placed
// in time. A format travels packed in 32 bits (bits per sample low, channel count
// high) with the rate beside it.
#include <cstdint>

namespace kantor {

// Rates of everything the system renders and stores.
inline constexpr uint32_t kRate11025 = 11025;
inline constexpr uint32_t kRate22050 = 22050;
inline constexpr uint32_t kRate44100 = 44100;

constexpr uint32_t packFormat(uint16_t bitsPerSample, uint16_t channels) {
    return static_cast<uint32_t>(bitsPerSample) | (static_cast<uint32_t>(channels) << 16);
}
constexpr uint16_t formatBits(uint32_t packed) { return static_cast<uint16_t>(packed & 0xFFFF); }
constexpr uint16_t formatChannels(uint32_t packed) { return static_cast<uint16_t>(packed >> 16); }

inline constexpr uint32_t kMono16 = packFormat(16, 1);

// The standard PCM wave format record (18 bytes in a file, see WavFile).
struct WaveFormatRecord {
    uint16_t formatTag = 1;  // PCM
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;
};

// Fills the record from (packed format, rate): average bytes per second =
// channels * (bits / 8) * rate, block alignment = channels * (bits / 8).
WaveFormatRecord makeWaveFormat(uint32_t packed, uint32_t rate);

// Bytes for milliseconds: ms * average bytes per second / 1000, truncated, then raised
// to the next multiple of the block alignment. 16-bit mono 44100 Hz: 1 ms -> 88, 10 -> 882.
// A format with no bytes per second gives 0.
uint32_t bytesForMilliseconds(uint32_t packed, uint32_t rate, uint32_t ms);
// Milliseconds for bytes: bytes * 1000 / average bytes per second, rounded to nearest
// (halves up). A format with no bytes per second gives 0.
uint32_t millisecondsForBytes(uint32_t packed, uint32_t rate, uint64_t bytes);

// The sample format code (0..11) of voice files and of the sound quality setting:
// 0 for 11025 Hz, 4 for 22050 Hz, 8 for 44100 Hz, +2 when not 16 bits, +1 when not mono.
// A rate other than those three encodes as 44100 Hz.
uint16_t sampleFormatCode(uint32_t packed, uint32_t rate);
// Decodes a code into (packed, rate). A code outside 0..11 leaves both unchanged and
// returns false.
bool decodeSampleFormatCode(uint16_t code, uint32_t& packed, uint32_t& rate);

}  // namespace kantor

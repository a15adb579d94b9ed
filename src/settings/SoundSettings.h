#pragma once
// The 24-byte sound settings block of the settings file. The sync correction window and the
// voice data maker receive and return it whole; the bytes nobody here interprets are kept
// as they were read.
#include <array>
#include <cstdint>

namespace kantor {

// Sample format of the rendered vocal and of the wave output, as chosen by a quality code.
struct OutputFormat {
    uint32_t sampleRate = 44100;
    uint16_t bitsPerSample = 16;
    uint16_t channels = 1;
    friend bool operator==(const OutputFormat&, const OutputFormat&) = default;
};

class SoundSettings {
public:
    static constexpr std::size_t kSize = 24;
    static constexpr std::size_t kDelayOffset = 4;
    static constexpr std::size_t kGuideInstrumentOffset = 8;
    static constexpr std::size_t kQualityOffset = 10;

    static constexpr int32_t kMinDelay = -500;
    static constexpr int32_t kMaxDelay = 500;
    // 16-bit mono 44100 Hz.
    static constexpr uint16_t kDefaultQualityCode = 8;
    static constexpr uint16_t kQualityCodeCount = 12;

    SoundSettings();

    const std::array<uint8_t, kSize>& bytes() const { return bytes_; }
    void setBytes(const std::array<uint8_t, kSize>& b) { bytes_ = b; }

    // MIDI–wave delay correction in milliseconds, as stored (any signed 32-bit value).
    int32_t storedMidiDelayCorrection() const;
    // The correction limited to -500..+500 ms: what the renderer and the windows use, so
    // that a damaged value cannot move the vocal by minutes.
    int32_t midiDelayCorrection() const;
    // Stores the correction limited to -500..+500 ms.
    void setMidiDelayCorrection(int32_t ms);

    // The voice data maker's guide instrument (a General MIDI program number).
    uint8_t guideInstrument() const { return bytes_[kGuideInstrumentOffset]; }
    void setGuideInstrument(uint8_t program) { bytes_[kGuideInstrumentOffset] = program; }

    // The output quality code as stored.
    uint16_t storedOutputQualityCode() const;
    // The output quality code, or the default 8 when the stored one names no format.
    uint16_t outputQualityCode() const;
    // Stores the code; a code that names no format is refused (returns false).
    bool setOutputQualityCode(uint16_t code);

    friend bool operator==(const SoundSettings&, const SoundSettings&) = default;

private:
    std::array<uint8_t, kSize> bytes_{};
};

// The quality code is 4 x rate index + 2 x (1 for 8-bit) + (1 for stereo), with rate index
// 0 = 11025 Hz, 1 = 22050 Hz, 2 = 44100 Hz. Codes 0 to 11 are valid.
bool isValidQualityCode(uint16_t code);
// A code the renderer can produce: 16-bit (the channel count is forced to mono).
bool isRenderableQualityCode(uint16_t code);
// The format of a valid code; an invalid code gives the format of the default code 8.
OutputFormat outputFormatOfQualityCode(uint16_t code);
// The code of a format; false when the rate is not 11025, 22050 or 44100, the bits not 8
// or 16, or the channels not 1 or 2.
bool qualityCodeOfFormat(const OutputFormat& format, uint16_t& code);

}  // namespace kantor

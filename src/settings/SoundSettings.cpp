#include "settings/SoundSettings.h"

#include <algorithm>

#include "base/ByteIO.h"

namespace kantor {
namespace {
constexpr uint32_t kRates[3] = {11025, 22050, 44100};
}

SoundSettings::SoundSettings() { storeLE16(bytes_.data() + kQualityOffset, kDefaultQualityCode); }

int32_t SoundSettings::storedMidiDelayCorrection() const {
    return static_cast<int32_t>(loadLE32(bytes_.data() + kDelayOffset));
}

int32_t SoundSettings::midiDelayCorrection() const {
    return std::clamp(storedMidiDelayCorrection(), kMinDelay, kMaxDelay);
}

void SoundSettings::setMidiDelayCorrection(int32_t ms) {
    storeLE32(bytes_.data() + kDelayOffset, static_cast<uint32_t>(std::clamp(ms, kMinDelay, kMaxDelay)));
}

uint16_t SoundSettings::storedOutputQualityCode() const { return loadLE16(bytes_.data() + kQualityOffset); }

uint16_t SoundSettings::outputQualityCode() const {
    // Only 16-bit sound can be mixed: an 8-bit code would make every render fail.
    uint16_t code = storedOutputQualityCode();
    return isValidQualityCode(code) && isRenderableQualityCode(code) ? code : kDefaultQualityCode;
}

bool SoundSettings::setOutputQualityCode(uint16_t code) {
    if (!isValidQualityCode(code)) return false;
    storeLE16(bytes_.data() + kQualityOffset, code);
    return true;
}

bool isValidQualityCode(uint16_t code) { return code < SoundSettings::kQualityCodeCount; }

bool isRenderableQualityCode(uint16_t code) { return isValidQualityCode(code) && (code & 2) == 0; }

OutputFormat outputFormatOfQualityCode(uint16_t code) {
    if (!isValidQualityCode(code)) code = SoundSettings::kDefaultQualityCode;
    OutputFormat f;
    f.sampleRate = kRates[code / 4];
    f.bitsPerSample = (code & 2) ? 8 : 16;
    f.channels = (code & 1) ? 2 : 1;
    return f;
}

bool qualityCodeOfFormat(const OutputFormat& format, uint16_t& code) {
    const uint32_t* rate = std::find(std::begin(kRates), std::end(kRates), format.sampleRate);
    if (rate == std::end(kRates)) return false;
    if (format.bitsPerSample != 8 && format.bitsPerSample != 16) return false;
    if (format.channels != 1 && format.channels != 2) return false;
    code = static_cast<uint16_t>(4 * (rate - kRates) + (format.bitsPerSample == 8 ? 2 : 0) +
                                 (format.channels == 2 ? 1 : 0));
    return true;
}

}  // namespace kantor

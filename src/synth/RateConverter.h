#pragma once
// Sample-rate conversion of 16-bit sound between 11025, 22050 and 44100 Hz by dropping
// samples (downward) or interpolating linearly (upward), with no filtering.
#include <cstdint>

#include "base/LastError.h"
#include "sound/SoundBuffer.h"

namespace kantor {

inline constexpr const char* kUnsupportedRateText = "Unsupported sampling rate.";

class RateConverter : public LastError {
public:
    // Converts `sound` (in the packed format at srcRate) to dstRate in place: on success
    // it holds the new data (length = length * dstFactor / srcFactor with the factors
    // rate / 11025), followed by 1000 spare bytes. Sound that is not 16-bit, or equal
    // rates, are left as they are. A rate other than 11025, 22050 and 44100 Hz fails
    // (kUnsupportedRateText), as does running out of memory ("メモリが不足しています。");
    // the sound is then untouched.
    bool convert(uint32_t packed, uint32_t srcRate, SoundBuffer& sound, uint32_t dstRate);
};

// Convenience for callers that only need the result.
bool convertRate(uint32_t packed, uint32_t srcRate, SoundBuffer& sound, uint32_t dstRate);

}  // namespace kantor

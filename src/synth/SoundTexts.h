#pragma once
// Texts that describe sound: sample format, sizes and durations.
#include <cstdint>
#include <string>

namespace kantor {

// "%dbit, %dHz, " followed by "Mono" (one channel) or "Stereo".
std::string sampleFormatText(uint32_t packed, uint32_t rate);
// "%d byte" below 1024; "%d.%02d KB" up to 1048575 (hundredths = (n mod 1024) * 25 / 256);
// "%d.%02d MB" above (hundredths = (n mod 1048576) * 100 / 1048576).
std::string sizeText(uint64_t bytes);
// "%d min %d sec %d ms".
std::string durationText(uint32_t ms);

}  // namespace kantor

#include "synth/SoundTexts.h"

#include <cstdio>

#include "sound/SoundFormat.h"

namespace kantor {

std::string sampleFormatText(uint32_t packed, uint32_t rate) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%ubit, %uHz, ", static_cast<unsigned>(formatBits(packed)),
                  static_cast<unsigned>(rate));
    return std::string(buf) + (formatChannels(packed) == 1 ? "Mono" : "Stereo");
}

std::string sizeText(uint64_t n) {
    char buf[64];
    if (n < 1024) {
        std::snprintf(buf, sizeof buf, "%llu byte", static_cast<unsigned long long>(n));
    } else if (n <= 1048575) {
        std::snprintf(buf, sizeof buf, "%llu.%02llu KB", static_cast<unsigned long long>(n / 1024),
                      static_cast<unsigned long long>((n % 1024) * 25 / 256));
    } else {
        std::snprintf(buf, sizeof buf, "%llu.%02llu MB", static_cast<unsigned long long>(n / 1048576),
                      static_cast<unsigned long long>((n % 1048576) * 100 / 1048576));
    }
    return buf;
}

std::string durationText(uint32_t ms) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%u min %u sec %u ms", ms / 60000, (ms / 1000) % 60, ms % 1000);
    return buf;
}

}  // namespace kantor

#include "voicemaker/VoiceItem.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "voice/VoiceBank.h"
#include "voicemaker/PitchNames.h"

namespace kantor {

std::string VoiceItem::listLine(bool withFlags) const {
    std::string line;
    if (isBlank()) {
        line = std::string(13, ' ') + ": " + std::string(18, ' ') + ": ";
    } else {
        std::string codeField = code;
        if (codeField.size() < 5) codeField.resize(5, ' ');
        line = padColumns(pitchName, 13) + ": " + padColumns(codeField + "- " + notation, 18) + ": ";
    }
    if (!withFlags) return line;
    if (hasData()) line += " R ";
    if (hasProperties()) {
        line += " P ";
        if (normalize == 1) {
            line += " N ";
        } else {
            char v[24];
            std::snprintf(v, sizeof v, " V%d ", static_cast<int>(volume));
            line += v;
        }
    }
    return line;
}

std::unique_ptr<VoiceItem> VoiceItem::make(const std::string& code, const std::string& notation, int pitch) {
    auto item = std::make_unique<VoiceItem>();
    item->code = code;
    item->notation = notation;
    item->pitchName = makerPitchName(pitch);
    item->pitchNumber = static_cast<uint32_t>(pitch);
    return item;
}

bool sameSyllableAndPitch(const VoiceItem& a, const VoiceItem& b) {
    if (a.isBlank() || b.isBlank()) return false;
    return a.pitchNumber == b.pitchNumber && codesEqual(a.code, b.code);
}

bool setItemSoundBytes(VoiceItem& item, std::span<const uint8_t> bytes) {
    std::size_t n = bytes.size() & ~std::size_t(1);
    SoundBuffer fitted;
    if (n < kItemMinBytes) {
        // The sound ends the second: silence before it.
        if (!fitted.allocate(kItemMinBytes)) return false;
        std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n),
                  fitted.data() + (kItemMinBytes - n));
    } else {
        n = std::min<std::size_t>(n, kItemMaxImportBytes);
        if (!fitted.assign(bytes.first(n))) return false;
    }
    item.data = std::move(fitted);
    item.clearProperties();
    return true;
}

bool setItemSound(VoiceItem& item, std::span<const int16_t> samples) {
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(samples.size() * 2);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (std::size_t i = 0; i < samples.size(); ++i) {
        uint16_t v = static_cast<uint16_t>(samples[i]);
        bytes[2 * i] = static_cast<uint8_t>(v);
        bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    return setItemSoundBytes(item, bytes);
}

}  // namespace kantor

#pragma once
// Singing settings: the song defaults and each channel's defaults (144 bytes), and a
// phrase's settings (the first 104 bytes of the same layout). A field group applies only
// when its own flag is set; otherwise it is inherited phrase -> channel -> song.
#include <array>
#include <cstdint>
#include <string>

#include "base/ByteIO.h"

namespace kantor {

struct VoiceSettings {
    static constexpr std::size_t kSize = 144;        // song and channel defaults
    static constexpr std::size_t kPhraseSize = 104;  // phrase settings
    static constexpr std::size_t kVoiceNameSize = 32;
    static constexpr std::size_t kTailSize = kSize - 72;
    static constexpr std::size_t kPhraseTailSize = kPhraseSize - 72;

    uint8_t ownVoice = 0;
    uint8_t ownTuning = 0;
    uint8_t ownVolume = 0;
    uint8_t ownTiming = 0;
    uint8_t ownEffects = 0;
    uint8_t ownPositionValue = 0;
    std::array<uint8_t, 10> reserved1{};
    std::string voiceName;       // UTF-8 in memory, 32 bytes of cp932 in the file
    uint32_t tuning = 0;         // pitch of A in thousandths of a hertz
    uint16_t phraseVolume = 0;   // percent
    uint16_t positionValue = 0;  // carried into every rendered phrase
    int32_t timingOffset = 0;    // milliseconds, negative = earlier
    std::array<int32_t, 3> effect{};
    std::array<uint8_t, kTailSize> reserved2{};  // only the first 32 bytes in the phrase form

    // The song defaults of a new song: "MaleVox", 440 Hz, 100 %, position value 20.
    static VoiceSettings newSongDefaults();

    // Takes every field group whose own flag is clear from `from`.
    void inheritFrom(const VoiceSettings& from);

    // size is kSize or kPhraseSize.
    void write(ByteWriter& w, std::size_t size) const;
    static VoiceSettings read(ByteReader& r, std::size_t size);

    bool operator==(const VoiceSettings&) const = default;
};

inline constexpr const char* kDefaultVoiceName = "MaleVox";
inline constexpr uint32_t kDefaultTuning = 440000;

}  // namespace kantor

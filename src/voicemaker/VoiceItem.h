#pragma once
// One item of a voice data project: a syllable sung at one pitch, with its wave data
// (16-bit mono 44,100 Hz), its four sample markers and its level settings. An item with
// an empty code is a blank line of the list.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "sound/SoundBuffer.h"

namespace kantor {

// Sample positions in an item's data. A: first sample that goes into the voice file;
// B: where the note proper begins; C..D: the stretch synthesis may repeat.
struct Markers {
    uint32_t a = 0;
    uint32_t b = 0;
    uint32_t c = 0;
    uint32_t d = 0;
    bool operator==(const Markers&) const = default;
};

// Limits of an item's data.
inline constexpr uint32_t kItemMinBytes = 88200;     // one second: imports are padded to this
inline constexpr uint32_t kItemMaxImportBytes = 176400;  // two seconds: imports are cut here
inline constexpr uint32_t kItemMaxStoredBytes = 177400;  // the most a project file stores
inline constexpr uint16_t kDefaultVolume = 100;

struct VoiceItem {
    std::string notation;   // hiragana, UTF-8
    std::string code;       // romaji; empty for a blank item
    std::string pitchName;  // as the pitch list shows it
    uint32_t pitchNumber = 0;
    // 16-bit mono 44,100 Hz samples; empty (no data) when nothing was recorded or imported.
    SoundBuffer data;
    uint32_t recordedPosition = 0;  // wave-input byte position at the downbeat; 0 for files
    uint32_t markerA = 0;
    uint32_t markerB = 0;
    uint32_t markerC = 0;
    uint32_t markerD = 0;
    uint16_t normalize = 1;  // 1 = normalize
    uint16_t volume = kDefaultVolume;  // percent, 0..300
    // Context items (a voice's VCV and CVVC samples, VoiceProject::contextItems): their
    // kind (1 = reached from `after`, 2 = ending into the consonant `code` names), the
    // sound before ("a".."o", "n") and where the crossfade with it ends (a sample
    // position between A and B). Plain items keep 0 and "".
    uint8_t contextKind = 0;
    std::string after;
    uint32_t markerOverlap = 0;

    bool isBlank() const { return code.empty(); }
    bool hasData() const { return data.byteLength() != 0; }
    bool hasProperties() const { return markerD != 0; }
    uint32_t dataLength() const { return static_cast<uint32_t>(data.byteLength()); }
    uint32_t sampleCount() const { return dataLength() / 2; }

    Markers markers() const { return {markerA, markerB, markerC, markerD}; }
    void setMarkers(const Markers& m) {
        markerA = m.a;
        markerB = m.b;
        markerC = m.c;
        markerD = m.d;
    }
    // Forgets the markers and the level settings (after new data came in).
    void clearProperties() {
        setMarkers({});
        recordedPosition = 0;
        normalize = 1;
        volume = kDefaultVolume;
    }

    // The list line: pitch name padded to 13 columns, ": ", the code padded to 5, "- "
    // and the notation, padded together to 18 columns, ": ", then " R " with wave data
    // and, with properties, " P " and " N " (normalize) or " V%d " (volume). A blank item
    // gives a line of spaces and colons. withFlags false leaves out everything after the
    // last ": ".
    std::string listLine(bool withFlags = true) const;

    // Item of a pitch and a syllable: the pitch name comes from the pitch list.
    static std::unique_ptr<VoiceItem> make(const std::string& code, const std::string& notation, int pitch);
    static std::unique_ptr<VoiceItem> blank() { return std::make_unique<VoiceItem>(); }
};

// Whether two items are "the same" for the duplicate question when adding one: the same
// pitch number and the same code ignoring case. Blank items never match.
bool sameSyllableAndPitch(const VoiceItem& a, const VoiceItem& b);

// Gives the item new sound (16-bit mono 44,100 Hz samples), fitted to one to two seconds
// as an import does: shorter sound ends a zero-filled second, longer sound is cut after
// two seconds. The recorded position and markers become 0, normalize 1, volume 100.
// False (item unchanged) when memory runs out.
bool setItemSound(VoiceItem& item, std::span<const int16_t> samples44100);
// The same from 16-bit little-endian bytes (an odd last byte is dropped).
bool setItemSoundBytes(VoiceItem& item, std::span<const uint8_t> bytes44100);

}  // namespace kantor

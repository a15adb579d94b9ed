#pragma once
// One note of a Vox channel with up to four sung syllables (104 bytes in the song file).
#include <array>
#include <cstdint>
#include <string>

#include "base/ByteIO.h"

namespace kantor {

struct VoxEvent {
    static constexpr std::size_t kSize = 104;
    static constexpr int kSlots = 4;
    static constexpr std::size_t kCodeSize = 4;
    static constexpr std::size_t kReservedSize = 36;

    uint16_t midiEventIndex = 0;  // 0-based entry of the note in the channel's MIDI event list
    uint16_t noteNumber = 0;      // 1-based ordinal among the channel's notes
    uint32_t noteKey = 0;
    uint32_t startTick = 0;
    uint32_t endTick = 0;
    uint16_t hasLyric = 0;  // 1 when a syllable length is non-zero (set on save); 2 = highlighted
    uint16_t noteVolume = 100;
    std::array<std::array<char, kCodeSize>, kSlots> syllableCode{};  // ASCII, zero padded
    std::array<uint16_t, kSlots> syllableLength{};
    std::array<uint16_t, kSlots> syllableVolume{100, 100, 100, 100};
    std::array<uint16_t, kSlots> syllableSettingsIndex{};  // 1-based, 0 = default settings
    uint16_t phraseIndex = 0;                              // 1-based, non-zero on a phrase head
    uint16_t phraseGroup = 0;                              // 0..5 = "A".."F"
    uint16_t noteSettingsIndex = 0;                        // 1-based, 0 = none
    uint16_t noteParam = 0;
    std::array<uint8_t, kReservedSize> reserved{};  // carried unchanged

    // An all-zero record: what the file reader starts from.
    static VoxEvent zeroed();

    // True when the slot's four code bytes are all zero or blank.
    bool isBlankCode(int slot) const;
    // The slot's code with trailing blanks and zeros removed.
    std::string codeText(int slot) const;
    // Sets a slot's code (at most four bytes, zero padded).
    void setCode(int slot, const std::string& code);
    // Any syllable length non-zero.
    bool hasSyllable() const;

    void write(ByteWriter& w) const;
    static VoxEvent read(ByteReader& r);

    bool operator==(const VoxEvent&) const = default;
};

}  // namespace kantor

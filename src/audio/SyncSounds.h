#pragma once
// The four wave sounds of the MIDI–wave sync correction window, made by the program: a
// synthesised rim-shot click and the syllables "A", "O" and "Pa" sung from a built-in voice.
// Each is raw 16-bit mono PCM at 44100 Hz of a fixed byte length. When no voice (or no
// sample of a syllable) is at hand, a synthesised vowel-like tone of the same length stands
// in, so that all four always exist. Making them is deterministic.
#include <array>
#include <cstdint>
#include <string>

#include "sound/SoundBuffer.h"

namespace kantor {

struct Voice;
class VoiceBank;

class SyncSounds {
public:
    enum Id { kRimShot = 0, kVoiceA = 1, kVoiceO = 2, kVoicePa = 3 };
    static constexpr int kCount = 4;
    static constexpr std::array<uint32_t, kCount> kByteLengths = {3336, 44014, 46616, 46338};
    // The syllable codes of the voice sounds (index 1 to 3).
    static constexpr std::array<const char*, kCount> kCodes = {"", "A", "O", "PA"};
    // The note the voice sounds are sung near (in the system's pitch convention), for a
    // male or any other voice, and for the built-in female voice.
    static constexpr uint32_t kMaleNote = 69;    // 220 Hz
    static constexpr uint32_t kFemaleNote = 81;  // 440 Hz

    // Silent placeholders of the right lengths; make() fills them.
    SyncSounds();

    // The voice sounds sung from `voice` at `note` (nullptr: the synthesised tones).
    static SyncSounds make(const Voice* voice, uint32_t note = kMaleNote);
    // The voice sounds sung from the built-in male voice when present (loaded in the bank,
    // or read from the bank's voice folder without loading it there), else the built-in
    // female voice, else the first loaded voice.
    static SyncSounds make(const VoiceBank& bank);

    const SoundBuffer& sound(int id) const { return sounds_[static_cast<std::size_t>(id)]; }
    // Whether sound `id` was sung from a voice (false: synthesised).
    bool sung(int id) const { return sung_[static_cast<std::size_t>(id)]; }
    // The voice the sung sounds came from ("" when none).
    const std::string& voiceName() const { return voiceName_; }

private:
    std::array<SoundBuffer, kCount> sounds_;
    std::array<bool, kCount> sung_{};
    std::string voiceName_;
};

// The building blocks, for tests: exactly `bytes` bytes each.
SoundBuffer synthRimShot(uint32_t bytes);
// A vowel-like tone: 1 "A", 2 "O", 3 "Pa" (a lip burst, then "A").
SoundBuffer synthVowelTone(int id, uint32_t bytes);
// A syllable of `voice` sung at the pitch of its sample nearest to `note`, cut or held to
// `bytes` bytes and faded at the end. False (out left empty) when the voice has no usable
// sample of the code or its data cannot be converted.
bool singSyllable(const Voice& voice, const std::string& code, uint32_t note, uint32_t bytes, SoundBuffer& out);

}  // namespace kantor

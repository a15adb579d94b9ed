#pragma once
// A loaded voice: its samples in file order, each with its sound data and markers.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "synth/SoundBuffer.h"

namespace kantor {

struct VoiceSample {
    std::string kana;  // UTF-8
    std::string code;  // ASCII letters as stored; empty for a placeholder record
    uint32_t pitch = 0;  // MIDI note at which the sample was sung
    // The sample data in the voice's format, data size + 1000 zero bytes; no data
    // (hasData() false) when the data size is 0.
    SoundBuffer data;
    // Byte offsets from the start of the data (marker A is the start itself).
    uint32_t markerB = 0;
    uint32_t markerC = 0;
    uint32_t markerD = 0;

    uint32_t dataSize() const { return static_cast<uint32_t>(data.byteLength()); }
    // A sample answers lookups only when it has a code and data.
    bool usable() const { return !code.empty() && dataSize() != 0; }
};

struct Voice {
    std::string name;  // the file title, trailing blanks removed
    uint16_t formatCode = 8;
    uint32_t tuning = 440000;  // thousandths of a hertz
    std::vector<std::unique_ptr<VoiceSample>> samples;
};

}  // namespace kantor

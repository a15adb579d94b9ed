#pragma once
// A loaded voice: its samples in file order, each with its sound data and markers.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/FileIO.h"
#include "sound/SoundBuffer.h"

namespace kantor {

// The pitch marks of a sample's sound at 44100 Hz, one per period of its voiced stretches.
// Formant-keeping synthesis finds them (synth/PitchMarks.h) the first time it sings the
// sample and keeps them with the sample for as long as its voice is loaded.
struct SamplePitchMarks {
    std::vector<uint32_t> positions;  // sample positions, ascending
    std::vector<uint32_t> runStarts;  // index in `positions` of the first mark of each voiced stretch
    // What they were found for: the sound's length in samples and its nominal pitch.
    std::size_t sampleCount = 0;
    uint32_t nominalFrequency = 0;  // thousandths of a hertz
};

// What a sample is for. Plain samples are the voice's own records; the others are kept in
// the voice file's context area (VoiceFile.h), which readers of plain voices never reach.
enum class SampleKind : uint8_t {
    Plain = 0,
    // The syllable reached from the sound in `after` ("a か": sung after a note ending in a).
    After = 1,
    // The end of a syllable going into a consonant ("a k"): `after` is the vowel, the code
    // the consonant letters of the next syllable ("K", "SY"); sung before that syllable.
    Ending = 2,
};

struct VoiceSample {
    std::string kana;  // UTF-8
    std::string code;  // ASCII letters as stored; empty for a placeholder record
    uint32_t pitch = 0;  // MIDI note at which the sample was sung
    // The sample data in the voice's format, data size + 1000 zero bytes; no data
    // (hasData() false) when the data size is 0 or the data lies in the mapped file.
    SoundBuffer data;
    // The data where it lies in the voice's mapped file (see Voice::file), read from disk
    // only when it is used; empty when the sample owns its data.
    std::span<const uint8_t> mapped;
    // Byte offsets from the start of the data (marker A is the start itself).
    uint32_t markerB = 0;
    uint32_t markerC = 0;
    uint32_t markerD = 0;
    // Context samples only: their kind, the sound before them ("a", "i", "u", "e", "o",
    // "n"; lower case) and where the crossfade with the sound before ends (byte offset from
    // the start of the data, as the markers; 0 when the bank gave none).
    SampleKind kind = SampleKind::Plain;
    std::string after;
    uint32_t overlap = 0;

    // The sound, owned or mapped.
    std::span<const uint8_t> sound() const { return data.hasData() ? data.bytes() : mapped; }
    bool hasSound() const { return data.hasData() || !mapped.empty(); }
    uint32_t dataSize() const { return static_cast<uint32_t>(sound().size()); }
    // A sample answers lookups only when it has a code and data.
    bool usable() const { return !code.empty() && dataSize() != 0; }

    // Found when first needed, then kept (a cache: it changes nothing a reader of the
    // sample sees, and like the rest of the bank it is used from one thread at a time).
    mutable std::shared_ptr<const SamplePitchMarks> pitchMarks;
};

struct Voice {
    std::string name;  // the file title, trailing blanks removed
    uint16_t formatCode = 8;
    uint32_t tuning = 440000;  // thousandths of a hertz
    std::vector<std::unique_ptr<VoiceSample>> samples;
    // Samples chosen by the sound before a note (VCV, CVVC); empty for a plain voice,
    // which then sings exactly as one that never had them.
    std::vector<std::unique_ptr<VoiceSample>> contextSamples;
    // The mapped voice file the samples' `mapped` data lies in, kept as long as the voice.
    std::shared_ptr<const MappedFile> file;
};

}  // namespace kantor

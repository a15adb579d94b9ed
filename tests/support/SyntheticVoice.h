#pragma once
// A small voice made of generated syllables, written into a voice folder for tests:
// each syllable is a short noise burst (the consonant) and then a steady harmonic vowel
// at the note frequency of its pitch.
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "synth/NoteFrequency.h"
#include "voice/VoiceFile.h"

namespace kantor::test {

struct SyntheticSyllable {
    std::string code;
    std::string kana;
    uint32_t pitch;
};

inline std::vector<int16_t> syntheticSyllableSound(uint32_t pitch, uint32_t tuning, std::size_t consonant,
                                                   std::size_t vowel, uint32_t seed) {
    std::vector<int16_t> s;
    s.reserve(consonant + vowel);
    uint32_t r = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < consonant; ++i) {
        r = r * 1664525u + 1013904223u;
        s.push_back(static_cast<int16_t>(static_cast<int32_t>(r >> 16) % 3000 - 1500));
    }
    const double f = noteFrequency(pitch, tuning) / 1000.0;
    for (std::size_t i = 0; i < vowel; ++i) {
        const double t = static_cast<double>(i) / 44100.0;
        const double v = 6000 * std::sin(2 * M_PI * f * t) + 2500 * std::sin(4 * M_PI * f * t) +
                         1200 * std::sin(6 * M_PI * f * t);
        s.push_back(static_cast<int16_t>(v));
    }
    return s;
}

// Writes <folder>/<name>.vxb and returns its path. Markers: B after the consonant,
// C and D a stretch of the vowel.
inline std::string writeSyntheticVoice(const std::string& folder, const std::string& name,
                                       const std::vector<SyntheticSyllable>& syllables,
                                       std::size_t consonant = 2205, std::size_t vowel = 44100) {
    VoiceFileHeader header;
    header.voiceName = name;
    header.comment = "test voice";
    header.formatCode = 8;
    header.tuning = 440000;
    std::vector<std::unique_ptr<VoiceSample>> samples;
    uint32_t seed = 1;
    for (const SyntheticSyllable& syl : syllables) {
        auto s = std::make_unique<VoiceSample>();
        s->code = syl.code;
        s->kana = syl.kana;
        s->pitch = syl.pitch;
        std::vector<int16_t> sound = syntheticSyllableSound(syl.pitch, header.tuning, consonant, vowel, seed++);
        s->data = SoundBuffer::fromSamples(sound);
        s->markerB = static_cast<uint32_t>(2 * consonant);
        s->markerC = static_cast<uint32_t>(2 * (consonant + vowel / 4));
        s->markerD = static_cast<uint32_t>(2 * (consonant + vowel / 2));
        samples.push_back(std::move(s));
    }
    header.sampleCount = static_cast<uint32_t>(samples.size());
    const std::string path = folder + "/" + name + ".vxb";
    VoiceFileWriter writer;
    writer.write(path, header, samples);
    return path;
}

}  // namespace kantor::test

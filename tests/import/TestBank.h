#pragma once
// Voice banks in the oto.ini form made by the tests: WAV files of synthetic syllables
// (silence, a quiet noise consonant, a loud vowel at a known pitch that starts at a known
// place) in any of the WAV formats banks come in.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/Codepage.h"
#include "synth/NoteFrequency.h"

namespace kantor::test {

enum class WavKind { Pcm8, Pcm16, Pcm24, Float32 };

inline void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// A WAV file of mono sound (-1..1) in the given form; stereo files carry it on both channels.
inline std::vector<uint8_t> wavBytes(const std::vector<float>& x, int rate, int channels, WavKind kind) {
    const int bits = kind == WavKind::Pcm8 ? 8 : kind == WavKind::Pcm16 ? 16 : kind == WavKind::Pcm24 ? 24 : 32;
    const uint32_t block = uint32_t(channels * bits / 8);
    const uint32_t dataSize = uint32_t(x.size()) * block;
    std::vector<uint8_t> b;
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put32(b, 36 + dataSize);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(b, 16);
    put16(b, kind == WavKind::Float32 ? 3 : 1);
    put16(b, uint32_t(channels));
    put32(b, uint32_t(rate));
    put32(b, uint32_t(rate) * block);
    put16(b, block);
    put16(b, uint32_t(bits));
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put32(b, dataSize);
    for (float v : x) {
        for (int c = 0; c < channels; ++c) {
            switch (kind) {
                case WavKind::Pcm8: b.push_back(uint8_t(std::lround(128 + v * 127))); break;
                case WavKind::Pcm16: put16(b, uint16_t(int16_t(std::lround(v * 32767)))); break;
                case WavKind::Pcm24: {
                    const uint32_t s = uint32_t(int32_t(std::lround(v * 8388607)));
                    b.push_back(uint8_t(s));
                    b.push_back(uint8_t(s >> 8));
                    b.push_back(uint8_t(s >> 16));
                    break;
                }
                case WavKind::Float32: {
                    uint32_t u;
                    static_assert(sizeof u == sizeof v);
                    std::memcpy(&u, &v, sizeof u);
                    put32(b, u);
                    break;
                }
            }
        }
    }
    return b;
}

// The hertz of a note of this system (note 81 at 440 Hz).
inline double noteHz(int note) { return noteFrequency(uint32_t(note), 440000) / 1000.0; }

// A syllable: `silenceMs` of silence, `consonantMs` of quiet noise, then the vowel (two
// harmonics at `hz`, starting at full level on a rising zero crossing) for `vowelMs`,
// with a 30 ms fade at its end.
inline std::vector<float> syllableSound(double hz, int rate, double silenceMs = 50, double consonantMs = 60,
                                        double vowelMs = 650) {
    const std::size_t s0 = std::size_t(silenceMs * rate / 1000), s1 = s0 + std::size_t(consonantMs * rate / 1000);
    const std::size_t n = s1 + std::size_t(vowelMs * rate / 1000), fade = std::size_t(0.03 * rate);
    std::vector<float> x(n, 0.0f);
    uint32_t seed = 12345;
    for (std::size_t i = s0; i < s1; ++i) {
        seed = seed * 1664525u + 1013904223u;
        x[i] = 0.05f * (float(seed >> 8) / float(1u << 24) * 2.0f - 1.0f);
    }
    for (std::size_t i = s1; i < n; ++i) {
        const double t = double(i - s1) / rate;
        double v = 0.4 * std::sin(2 * M_PI * hz * t) + 0.15 * std::sin(4 * M_PI * hz * t);
        if (n - i < fade) v *= double(n - i) / double(fade);
        x[i] = float(v);
    }
    return x;
}

inline void writeFile(const std::filesystem::path& p, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
inline void writeText(const std::filesystem::path& p, const std::string& utf8, bool cp932) {
    const std::string t = cp932 ? utf8ToCp932(utf8) : utf8;
    writeFile(p, std::vector<uint8_t>(t.begin(), t.end()));
}

// The usual note name of a note of this system ("C4" for note 72).
inline std::string usualNoteName(int note) {
    static const char* names[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    return std::string(names[note % 12]) + std::to_string(note / 12 - 2);
}

}  // namespace kantor::test

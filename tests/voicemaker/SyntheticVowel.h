#pragma once
// Synthetic recordings for the maker's tests: silence, an optional noise-burst consonant,
// then a harmonic "vowel" with a short attack and release.
#include <cmath>
#include <cstdint>
#include <vector>

namespace kantor::test {

struct SyntheticVowel {
    double f0 = 150.0;              // Hz
    double leadSilence = 0.25;      // seconds before anything sounds
    double burst = 0.06;            // noise burst length (0 for none)
    double gap = 0.01;              // silence between burst and vowel
    double vowel = 0.8;             // vowel length including attack and release
    double amplitude = 6000;
    double burstAmplitude = 3000;
    double vibrato = 0.0;           // relative frequency deviation (0.01 = 1 %)
    double tremolo = 0.0;           // relative level deviation

    std::size_t burstStart() const { return std::size_t(leadSilence * 44100); }
    std::size_t vowelStart() const { return std::size_t((leadSilence + burst + gap) * 44100); }
    std::size_t vowelEnd() const { return vowelStart() + std::size_t(vowel * 44100); }

    std::vector<int16_t> render(double total = 1.5) const {
        std::vector<int16_t> x(std::size_t(total * 44100), 0);
        uint32_t seed = 12345;
        for (std::size_t i = burstStart(); i < burstStart() + std::size_t(burst * 44100) && i < x.size(); ++i) {
            seed = seed * 1664525u + 1013904223u;
            double r = double(seed >> 8) / double(1u << 24) * 2 - 1;
            x[i] = int16_t(r * burstAmplitude);
        }
        const double phases[8] = {0.0, 1.3, 2.1, 0.4, 4.0, 2.9, 5.1, 0.7};
        double phase = 0;
        const std::size_t v0 = vowelStart(), n = std::size_t(vowel * 44100);
        for (std::size_t k = 0; k < n && v0 + k < x.size(); ++k) {
            double t = double(k) / 44100;
            double env = std::min({1.0, t / 0.02, (vowel - t) / 0.1});
            env *= 1.0 + tremolo * std::sin(2 * M_PI * 5.0 * t);
            double f = f0 * (1.0 + vibrato * std::sin(2 * M_PI * 5.5 * t));
            phase += 2 * M_PI * f / 44100;
            double s = 0;
            for (int h = 1; h <= 8; ++h) s += std::sin(h * phase + phases[h - 1]) / h;
            x[v0 + k] = int16_t(std::lround(amplitude * env * s / 2.0));
        }
        return x;
    }
};

}  // namespace kantor::test

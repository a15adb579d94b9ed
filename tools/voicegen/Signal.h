#pragma once
// Plain float signals for the voice generator: samples in 16-bit units (full scale
// 32768), band-limited resampling, reading between samples, and conversion to PCM.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kantor::voicegen {

using Signal = std::vector<float>;

// Band-limited rate change by the ratio fsOut / fsIn (windowed sinc, 32 zero crossings
// wide; lowpass at 0.95 of the lower Nyquist frequency). The output has
// round(x.size() * ratio) samples.
Signal resample(std::span<const float> x, double fsIn, double fsOut);

// x at a fractional position (windowed sinc, 16 taps); positions outside the signal
// read zeros.
float readAt(std::span<const float> x, double pos);

// The interpolation weights of one fractional offset, for reading many samples at the
// same offset: apply(x, base) is x at base + frac.
class FractionalTaps {
public:
    explicit FractionalTaps(double frac);
    float apply(std::span<const float> x, long long base) const;
    static constexpr int kHalf = 8;

private:
    float w_[2 * kHalf] = {};
};

// Rounded and saturated to 16 bits.
std::vector<int16_t> toPcm16(std::span<const float> x);
Signal fromPcm16(std::span<const int16_t> x);

// Undoes 16-bit wrap-around (the diphone voices' synthesis overflows that way on loud
// vowels): a jump from near one rail to near the other, a stretch of at most 64 samples
// on the wrong side, and a jump back are taken as the sound having gone past full scale,
// and the lost 65536 is put back, so that it continues beyond full scale instead of
// jumping to the other side. A lone big step is left alone. Returns the number of
// samples changed.
std::size_t unwrapOverflow(Signal& x);

// Root mean square of x[begin, end) (0 for an empty range).
double rms(std::span<const float> x, std::size_t begin, std::size_t end);
// Largest absolute sample value.
float peak(std::span<const float> x);

// 16-bit mono WAV files. read accepts 16-bit mono PCM at any rate.
bool readWavMono16(const std::string& path, Signal& x, uint32_t& rate, std::string& error);
bool writeWavMono16(const std::string& path, std::span<const int16_t> pcm, uint32_t rate, std::string& error);

// Deterministic white noise in -1..1 (a fixed linear congruential generator).
class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed) {}
    float next();

private:
    uint32_t state_;
};

}  // namespace kantor::voicegen

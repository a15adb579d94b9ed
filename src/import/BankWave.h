#pragma once
// The WAV files of a voice bank: 8-, 16-, 24- and 32-bit integer or 32-bit float PCM,
// mono or stereo, at any rate (libsndfile reads them), brought to the voice's working
// format, 16-bit mono at 44,100 Hz (channels averaged, the rate converted by libsamplerate).
#include <cstdint>
#include <string>
#include <vector>

#include "base/LastError.h"

namespace kantor {

struct BankWaveInfo {
    int64_t frames = 0;
    int rate = 0;
    int channels = 0;
    double durationMs() const { return rate > 0 ? double(frames) * 1000.0 / rate : 0.0; }
};

// Files longer than this are refused: no bank records a syllable this long, and reading
// one would take a large part of the memory.
inline constexpr double kBankWaveLongestSeconds = 600.0;

class BankWave : public LastError {
public:
    // Reads only the header. Fails with libsndfile's reason for a file that is not a sound
    // file it knows, or "longer than 10 minutes".
    bool probe(const std::string& path, BankWaveInfo& info);
    // The whole sound as 16-bit mono samples at 44,100 Hz.
    bool read(const std::string& path, std::vector<int16_t>& mono44100);
};

}  // namespace kantor

#pragma once
// The WAV files of a voice bank: 8-, 16-, 24- and 32-bit integer or 32-bit float PCM,
// mono or stereo, at any rate (libsndfile reads them), brought to the voice's working
// format, 16-bit mono at 44,100 Hz (channels averaged, the rate converted by libsamplerate).
// 16-bit files at 44,100 Hz are taken as they are, without a detour through floats.
//
// Memory follows what a file holds, never what its header claims: a header may declare
// gigabytes that the file does not have.
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
    // file it knows, "longer than 10 minutes", or the system's reason it cannot be opened.
    // Only a regular file is opened, and a link is not followed at the last step.
    bool probe(const std::string& path, BankWaveInfo& info);
    // The whole sound as 16-bit mono samples at 44,100 Hz. A float file with samples that
    // are not numbers (NaN or infinite) is refused; failing to get memory gives
    // "メモリが不足しています。".
    bool read(const std::string& path, std::vector<int16_t>& mono44100);
};

}  // namespace kantor

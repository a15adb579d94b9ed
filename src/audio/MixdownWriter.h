#pragma once
// Writes a long stereo 16-bit 44100 Hz mixdown to a WAV file as it is produced: the samples
// are spooled to an unnamed temporary file (so memory stays small however long the song),
// and finish() writes the header and the spooled data to the target through an AtomicFile,
// which replaces the target only once the file is complete.
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "base/LastError.h"

namespace kantor {

class MixdownWriter : public LastError {
public:
    static constexpr uint32_t kRate = 44100;
    static constexpr uint16_t kChannels = 2;

    MixdownWriter() = default;
    ~MixdownWriter();
    MixdownWriter(const MixdownWriter&) = delete;
    MixdownWriter& operator=(const MixdownWriter&) = delete;

    bool begin(const std::string& path);
    // Interleaved stereo samples.
    bool append(std::span<const int16_t> samples);
    bool finish();

    uint64_t frames() const { return bytes_ / 4; }

private:
    void discard();

    std::string path_;
    std::FILE* spool_ = nullptr;
    uint64_t bytes_ = 0;
};

}  // namespace kantor

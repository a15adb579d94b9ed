#include "audio/MixdownWriter.h"

#include <algorithm>
#include <vector>

#include "sound/WavFile.h"
#include "base/ByteIO.h"
#include "base/FileIO.h"
#include "sound/SoundFormat.h"

namespace kantor {

MixdownWriter::~MixdownWriter() { discard(); }

void MixdownWriter::discard() {
    if (spool_) std::fclose(spool_);
    spool_ = nullptr;
    bytes_ = 0;
}

bool MixdownWriter::begin(const std::string& path) {
    discard();
    clearError();
    if (wavPathTooLong(path)) return fail(wavtext::kPathTooLong);
    path_ = path;
    spool_ = std::tmpfile();
    if (!spool_) return fail(wavtext::kWriteFailed);
    return true;
}

bool MixdownWriter::append(std::span<const int16_t> samples) {
    if (!spool_) return fail(wavtext::kWriteFailed);
    std::vector<uint8_t> bytes(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) storeLE16(bytes.data() + 2 * i, static_cast<uint16_t>(samples[i]));
    // A WAV file holds at most 4 GiB of data.
    if (bytes_ + bytes.size() > 0xFFFFFFFFull - kWavHeaderSize) {
        discard();
        return fail(wavtext::kWriteFailed);
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), spool_) != bytes.size()) {
        discard();
        return fail(wavtext::kWriteFailed);
    }
    bytes_ += bytes.size();
    return true;
}

bool MixdownWriter::finish() {
    if (!spool_ || std::fflush(spool_) != 0 || std::fseek(spool_, 0, SEEK_SET) != 0) {
        discard();
        return fail(wavtext::kWriteFailed);
    }
    AtomicFile file(path_);
    bool ok = file.isOpen() && file.write(wavHeader(packFormat(16, kChannels), kRate, static_cast<uint32_t>(bytes_)));
    std::vector<uint8_t> chunk(1 << 16);
    uint64_t left = bytes_;
    while (ok && left > 0) {
        const std::size_t n = std::fread(chunk.data(), 1, static_cast<std::size_t>(std::min<uint64_t>(left, chunk.size())), spool_);
        if (n == 0) {
            ok = false;
            break;
        }
        ok = file.write(chunk.data(), n);
        left -= n;
    }
    ok = ok && file.commit();
    discard();
    if (!ok) return fail(wavtext::kWriteFailed);
    return true;
}

}  // namespace kantor

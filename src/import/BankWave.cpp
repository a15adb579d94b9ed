#include "import/BankWave.h"

#include <sndfile.h>
#include <samplerate.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cerrno>
#include <cmath>
#include <memory>
#include <new>

#include "base/FileIO.h"
#include "base/Texts.h"
#include "base/Translation.h"
#include "import/BankFiles.h"

namespace kantor {
namespace {

struct SndCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndFile = std::unique_ptr<SNDFILE, SndCloser>;

constexpr int kWorkingRate = 44100;

// A bank's sound file, read by libsndfile through calls of ours on a descriptor that we own
// (so that only a regular file is opened, a pipe never blocks, and the descriptor is closed
// exactly once whatever libsndfile does on failure).
struct SoundSource {
    int fd = -1;
    sf_count_t size = 0;
    sf_count_t at = 0;
    ~SoundSource() {
        if (fd >= 0) ::close(fd);
    }
};

sf_count_t sourceLength(void* user) { return static_cast<SoundSource*>(user)->size; }
sf_count_t sourceSeek(sf_count_t offset, int whence, void* user) {
    auto* s = static_cast<SoundSource*>(user);
    const sf_count_t base = whence == SEEK_CUR ? s->at : whence == SEEK_END ? s->size : 0;
    if (offset > 0 && base > INT64_MAX - offset) return -1;
    const sf_count_t to = base + offset;
    if (to < 0) return -1;
    s->at = to;
    return to;
}
sf_count_t sourceRead(void* ptr, sf_count_t count, void* user) {
    auto* s = static_cast<SoundSource*>(user);
    sf_count_t got = 0;
    while (got < count && s->at < s->size) {
        const ssize_t n = ::pread(s->fd, static_cast<char*>(ptr) + got, std::size_t(std::min(count - got, s->size - s->at)),
                                  off_t(s->at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += n;
        s->at += n;
    }
    return got;
}
sf_count_t sourceWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t sourceTell(void* user) { return static_cast<SoundSource*>(user)->at; }

SF_VIRTUAL_IO kSourceIo = {sourceLength, sourceSeek, sourceRead, sourceWrite, sourceTell};

// Opens a bank's sound file. `source` must outlive the returned file.
SndFile openSound(const std::string& path, SoundSource& source, SF_INFO& sf, std::string& error) {
    source.fd = openBankFile(path);
    if (source.fd < 0) {
        error = errno == EINVAL ? std::string(KANTOR_TEXT("通常のファイルではありません。")) : systemErrorText(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(source.fd, &st) != 0) {
        error = systemErrorText(errno);
        return nullptr;
    }
    source.size = sf_count_t(st.st_size);
    SndFile file(sf_open_virtual(&kSourceIo, SFM_READ, &sf, &source));
    if (!file) {
        error = sf_strerror(nullptr);
        return nullptr;
    }
    if (sf.samplerate <= 0 || sf.channels <= 0 || sf.frames < 0) {
        error = KANTOR_TEXT("使えない音の形式です。");
        return nullptr;
    }
    if (double(sf.frames) > kBankWaveLongestSeconds * sf.samplerate) {
        error = KANTOR_TEXT("10分より長いです。");
        return nullptr;
    }
    return file;
}

// The frames worth reserving: what the header declares, but never more than the file can
// hold (every frame takes at least a byte per channel).
std::size_t framesToReserve(const SF_INFO& sf, int64_t fileBytes) {
    return std::size_t(std::clamp<int64_t>(std::min<int64_t>(sf.frames, fileBytes / sf.channels), 0, int64_t(1) << 31));
}

// 16-bit mono or stereo at the working rate: the samples themselves, two channels averaged
// with the rounding the float path gives (halves to even).
bool readPcm16(SNDFILE* file, const SF_INFO& sf, int64_t fileBytes, std::vector<int16_t>& out) {
    const int channels = sf.channels;
    out.reserve(framesToReserve(sf, fileBytes));
    constexpr sf_count_t kChunk = 32768;
    std::vector<short> chunk(static_cast<std::size_t>(kChunk * channels));
    for (;;) {
        const sf_count_t got = sf_readf_short(file, chunk.data(), kChunk);
        if (got <= 0) break;
        if (channels == 1) {
            out.insert(out.end(), chunk.begin(), chunk.begin() + got);
        } else {
            for (sf_count_t i = 0; i < got; ++i) {
                const int sum = int(chunk[std::size_t(2 * i)]) + int(chunk[std::size_t(2 * i + 1)]);
                out.push_back(static_cast<int16_t>(std::lrint(0.5 * sum)));
            }
        }
    }
    return true;
}

}  // namespace

bool BankWave::probe(const std::string& path, BankWaveInfo& info) {
    clearError();
    SF_INFO sf{};
    SoundSource source;
    std::string error;
    SndFile file = openSound(path, source, sf, error);
    if (!file) return fail(error);
    info.frames = sf.frames;
    info.rate = sf.samplerate;
    info.channels = sf.channels;
    return true;
}

bool BankWave::read(const std::string& path, std::vector<int16_t>& out) {
    clearError();
    out.clear();
    try {
        SF_INFO sf{};
        SoundSource source;
        std::string error;
        SndFile file = openSound(path, source, sf, error);
        const int64_t fileBytes = source.size;
        if (!file) return fail(error);
        const int channels = sf.channels;
        if ((sf.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 && sf.samplerate == kWorkingRate && channels <= 2) {
            readPcm16(file.get(), sf, fileBytes, out);
            if (sf_error(file.get()) != SF_ERR_NO_ERROR) return fail(sf_strerror(file.get()));
            return true;
        }
        // Float samples are read as they are (no normalisation of float files beyond 1.0).
        sf_command(file.get(), SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
        std::vector<float> mono;
        mono.reserve(framesToReserve(sf, fileBytes));
        constexpr sf_count_t kChunk = 16384;
        std::vector<float> chunk(static_cast<std::size_t>(kChunk * channels));
        std::size_t notNumbers = 0;
        for (;;) {
            const sf_count_t got = sf_readf_float(file.get(), chunk.data(), kChunk);
            if (got <= 0) break;
            for (sf_count_t i = 0; i < got; ++i) {
                float sum = 0;
                for (int c = 0; c < channels; ++c) sum += chunk[static_cast<std::size_t>(i * channels + c)];
                if (!std::isfinite(sum)) ++notNumbers;
                mono.push_back(sum / float(channels));
            }
        }
        if (sf_error(file.get()) != SF_ERR_NO_ERROR) return fail(sf_strerror(file.get()));
        // Such a file would become silence that looks like a voice.
        if (notNumbers > 0) return fail(KANTOR_TEXT("数でないサンプル（NaN か無限大）があります。"));
        if (sf.samplerate != kWorkingRate && !mono.empty()) {
            const double ratio = double(kWorkingRate) / sf.samplerate;
            std::vector<float> converted(static_cast<std::size_t>(std::ceil(double(mono.size()) * ratio)) + 16);
            SRC_DATA data{};
            data.data_in = mono.data();
            data.input_frames = static_cast<long>(mono.size());
            data.data_out = converted.data();
            data.output_frames = static_cast<long>(converted.size());
            data.src_ratio = ratio;
            const int e = src_simple(&data, SRC_SINC_FASTEST, 1);
            if (e != 0) return fail(src_strerror(e));
            converted.resize(static_cast<std::size_t>(data.output_frames_gen));
            mono.swap(converted);
        }
        out.resize(mono.size());
        for (std::size_t i = 0; i < mono.size(); ++i) {
            const float x = std::isfinite(mono[i]) ? mono[i] : 0.0f;
            const float v = std::clamp(x * 32768.0f, -32768.0f, 32767.0f);
            out[i] = static_cast<int16_t>(std::lrint(v));
        }
        return true;
    } catch (const std::bad_alloc&) {
        out = std::vector<int16_t>();
        return fail(text::kOutOfMemory);
    } catch (const std::length_error&) {
        out = std::vector<int16_t>();
        return fail(text::kOutOfMemory);
    }
}

}  // namespace kantor

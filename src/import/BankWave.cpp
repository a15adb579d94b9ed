#include "import/BankWave.h"

#include "base/Translation.h"

#include <sndfile.h>
#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace kantor {
namespace {

struct SndCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndFile = std::unique_ptr<SNDFILE, SndCloser>;

constexpr int kWorkingRate = 44100;

}  // namespace

bool BankWave::probe(const std::string& path, BankWaveInfo& info) {
    clearError();
    SF_INFO sf{};
    SndFile file(sf_open(path.c_str(), SFM_READ, &sf));
    if (!file) return fail(sf_strerror(nullptr));
    if (sf.samplerate <= 0 || sf.channels <= 0 || sf.frames < 0) return fail(KANTOR_TEXT("使えない音の形式です。"));
    info.frames = sf.frames;
    info.rate = sf.samplerate;
    info.channels = sf.channels;
    if (info.durationMs() > kBankWaveLongestSeconds * 1000.0) return fail(KANTOR_TEXT("10分より長いです。"));
    return true;
}

bool BankWave::read(const std::string& path, std::vector<int16_t>& out) {
    clearError();
    out.clear();
    SF_INFO sf{};
    SndFile file(sf_open(path.c_str(), SFM_READ, &sf));
    if (!file) return fail(sf_strerror(nullptr));
    if (sf.samplerate <= 0 || sf.channels <= 0 || sf.frames < 0) return fail(KANTOR_TEXT("使えない音の形式です。"));
    if (double(sf.frames) > kBankWaveLongestSeconds * sf.samplerate) return fail(KANTOR_TEXT("10分より長いです。"));
    // Float samples are read as they are (no normalisation of float files beyond 1.0).
    sf_command(file.get(), SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    const int channels = sf.channels;
    std::vector<float> mono;
    mono.reserve(static_cast<std::size_t>(sf.frames));
    constexpr sf_count_t kChunk = 16384;
    std::vector<float> chunk(static_cast<std::size_t>(kChunk * channels));
    for (;;) {
        const sf_count_t got = sf_readf_float(file.get(), chunk.data(), kChunk);
        if (got <= 0) break;
        for (sf_count_t i = 0; i < got; ++i) {
            float sum = 0;
            for (int c = 0; c < channels; ++c) sum += chunk[static_cast<std::size_t>(i * channels + c)];
            mono.push_back(sum / float(channels));
        }
    }
    if (sf_error(file.get()) != SF_ERR_NO_ERROR) return fail(sf_strerror(file.get()));
    if (sf.samplerate != kWorkingRate && !mono.empty()) {
        const double ratio = double(kWorkingRate) / sf.samplerate;
        std::vector<float> converted(static_cast<std::size_t>(std::ceil(double(mono.size()) * ratio)) + 16);
        SRC_DATA data{};
        data.data_in = mono.data();
        data.input_frames = static_cast<long>(mono.size());
        data.data_out = converted.data();
        data.output_frames = static_cast<long>(converted.size());
        data.src_ratio = ratio;
        const int error = src_simple(&data, SRC_SINC_FASTEST, 1);
        if (error != 0) return fail(src_strerror(error));
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
}

}  // namespace kantor

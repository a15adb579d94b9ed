#pragma once
// Helpers of the voice tests: small voices and a temporary voice folder.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "voice/VoiceFile.h"

namespace kantor::testing {

inline std::unique_ptr<VoiceSample> makeSample(const std::string& code, const std::string& kana, uint32_t pitch,
                                               std::vector<int16_t> samples, uint32_t b = 0, uint32_t c = 0,
                                               uint32_t d = 0) {
    auto s = std::make_unique<VoiceSample>();
    s->code = code;
    s->kana = kana;
    s->pitch = pitch;
    if (!samples.empty()) s->data = SoundBuffer::fromSamples(samples);
    s->markerB = b;
    s->markerC = c;
    s->markerD = d;
    return s;
}

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kantor-voice-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        path_ = ::mkdtemp(buf.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace kantor::testing

#pragma once
// Helpers of the voice tests: small voices and a temporary voice folder.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/TempDir.h"
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

using TempDir = kantor::test::TempDir;

}  // namespace kantor::testing

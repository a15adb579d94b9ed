#pragma once
// Loading a voice into the voice bank by name, as opening a song needs it. The voice
// bank implements it; tests record the names asked for.
#include <string>

namespace kantor {

class VoiceLoader {
public:
    virtual ~VoiceLoader() = default;
    // Makes sure the voice of that name (the voice file's title) is loaded. Returns false
    // when it cannot be loaded; the song opens all the same.
    virtual bool loadVoice(const std::string& name) = 0;
};

}  // namespace kantor

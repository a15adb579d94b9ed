#pragma once
// Opening a song loads the voices it names into the voice bank.
#include "song/VoiceLoader.h"
#include "voice/VoiceBank.h"

namespace kantor {

class VoiceBankLoader : public VoiceLoader {
public:
    explicit VoiceBankLoader(VoiceBank& bank) : bank_(bank) {}
    bool loadVoice(const std::string& name) override { return bank_.ensureVoiceLoaded(name); }

private:
    VoiceBank& bank_;
};

}  // namespace kantor

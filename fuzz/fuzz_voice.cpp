// The voice data file reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "voice/VoiceFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kantor::VoiceFileReader reader;
    kantor::VoiceFileHeader header;
    std::unique_ptr<kantor::Voice> voice = reader.read({data, size}, "fuzz ", &header);
    if (voice) {
        // What was read must write back to a file that reads the same.
        std::vector<uint8_t> again = kantor::buildVoiceFile(header, voice->samples);
        std::unique_ptr<kantor::Voice> second = reader.read(again, "fuzz");
        if (!second || second->samples.size() != voice->samples.size()) __builtin_trap();
        for (std::size_t i = 0; i < voice->samples.size(); ++i)
            if (second->samples[i]->dataSize() != voice->samples[i]->dataSize()) __builtin_trap();
    }
    return 0;
}

// The WAV reader on arbitrary bytes: format, data size and data.
#include <cstddef>
#include <cstdint>

#include "sound/WavFile.h"
#include "sound/SoundFormat.h"
#include "synth/SoundTexts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kantor::WavReader reader;
    std::span<const uint8_t> bytes(data, size);
    kantor::WaveFormatTriple format;
    if (reader.readFormat(bytes, format)) {
        uint32_t dataSize = 0;
        if (reader.readDataSize(bytes, dataSize)) {
            if (dataSize > size) __builtin_trap();  // never more than the file holds
            kantor::SoundBuffer sound;
            if (!reader.readData(bytes, sound) || sound.byteLength() != dataSize) __builtin_trap();
            // What info shows for it.
            uint32_t ms = kantor::millisecondsForBytes(format.packed(), format.samplesPerSec, dataSize);
            (void)kantor::durationText(ms);
            std::vector<uint8_t> left;
            kantor::splitChannel(format.packed(), format.samplesPerSec, 0, sound.bytes(), left);
        }
    }
    return 0;
}

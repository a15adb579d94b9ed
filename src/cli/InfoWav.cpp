// kantor-cli info FILE.wav: the format, data size and duration of a WAV file.
#include <ostream>

#include "audio/WavFile.h"
#include "base/Json.h"
#include "cli/Commands.h"
#include "synth/SoundFormat.h"
#include "synth/SoundTexts.h"

namespace kantor::cli {

int infoWav(const std::string& path, bool json, std::ostream& out, std::ostream& err) {
    WavReader reader;
    WaveFormatTriple f;
    uint32_t size = 0;
    if (!reader.readFormat(path, f) || !reader.readDataSize(path, size)) {
        err << path << ": " << reader.lastError() << "\n";
        return 1;
    }
    const uint32_t ms = millisecondsForBytes(f.packed(), f.samplesPerSec, size);
    // The format text knows mono and stereo; more channels are counted.
    const std::string format = f.channels <= 2 ? sampleFormatText(f.packed(), f.samplesPerSec)
                                               : std::to_string(f.bitsPerSample) + "bit, " +
                                                     std::to_string(f.samplesPerSec) + "Hz, " +
                                                     std::to_string(f.channels) + " channels";
    if (json) {
        JsonWriter j;
        j.beginObject();
        j.field("formatTag", f.formatTag).field("bitsPerSample", f.bitsPerSample).field("channels", f.channels);
        j.field("samplesPerSec", f.samplesPerSec).field("format", format).field("dataSize", size);
        j.field("milliseconds", ms).field("duration", durationText(ms));
        j.endObject();
        out << j.str() << "\n";
        return 0;
    }
    out << "WAV file: " << path << "\n";
    out << "Format : " << format;
    if (f.formatTag != kWaveFormatPcm) out << "  (format tag " << f.formatTag << ", not PCM)";
    out << "\n";
    out << "Data : " << size << " byte";
    if (size >= 1024) out << " (" << sizeText(size) << ")";
    out << "\n";
    out << "Time : " << durationText(ms) << "\n";
    return 0;
}

}  // namespace kantor::cli

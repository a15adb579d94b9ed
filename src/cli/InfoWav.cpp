// kantor-cli info FILE.wav: the format, data size and duration of a WAV file.
#include <ostream>

#include "base/Translation.h"
#include "sound/WavFile.h"
#include "cli/Commands.h"
#include "cli/JsonOut.h"
#include "sound/SoundFormat.h"
#include "synth/SoundTexts.h"

namespace kantor::cli {

int infoWav(const std::string& path, bool json, std::ostream& out, std::ostream& err) {
    WavReader reader;
    WaveFormatTriple f;
    uint32_t size = 0;
    if (!reader.readFormat(path, f) || !reader.readDataSize(path, size)) {
        err << path << ": " << translated(reader.lastError()) << "\n";
        return 1;
    }
    const uint32_t ms = millisecondsForBytes(f.packed(), f.samplesPerSec, size);
    // The format text knows mono and stereo; more channels are counted.
    const std::string format = f.channels <= 2 ? sampleFormatText(f.packed(), f.samplesPerSec)
                                               : std::to_string(f.bitsPerSample) + "bit, " +
                                                     std::to_string(f.samplesPerSec) + "Hz, " +
                                                     std::to_string(f.channels) + " channels";
    if (json) {
        writeJson(Json{{"formatTag", f.formatTag},
                       {"bitsPerSample", f.bitsPerSample},
                       {"channels", f.channels},
                       {"samplesPerSec", f.samplesPerSec},
                       {"format", format},
                       {"dataSize", size},
                       {"milliseconds", ms},
                       {"duration", durationText(ms)}},
                  out);
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

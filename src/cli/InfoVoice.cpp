// kantor-cli info VOICE.vxb: the header of a voice data file and its samples.
#include <cstdio>
#include <ostream>

#include "base/FileIO.h"
#include "base/Json.h"
#include "cli/Commands.h"
#include "synth/SoundFormat.h"
#include "synth/SoundTexts.h"
#include "voice/VoiceFile.h"

namespace kantor::cli {
namespace {

std::string titleOf(const std::string& path) {
    std::string name = fileNameOf(path);
    std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// The format text of a code; a code outside the table is shown as such.
std::string formatTextOf(uint16_t code) {
    uint32_t packed = 0, rate = 0;
    if (!decodeSampleFormatCode(code, packed, rate)) return "unknown format";
    return sampleFormatText(packed, rate);
}

}  // namespace

int infoVoice(const std::string& path, bool json, std::ostream& out, std::ostream& err) {
    // Only the header and the records are read, never the sound.
    VoiceFileReader reader;
    VoiceFileHeader h;
    std::vector<SampleRecord> samples;
    if (!reader.readIndex(path, h, samples)) {
        err << path << ": " << reader.lastError() << "\n";
        return 1;
    }
    const std::string title = trimTrailingBlanks(titleOf(path));
    const std::string formatText = formatTextOf(h.formatCode);
    if (json) {
        JsonWriter j;
        j.beginObject();
        j.field("title", title).field("magic", h.magic).field("voiceName", h.voiceName);
        j.field("comment", h.comment).field("comment2", h.comment2).field("version", h.version);
        j.field("formatCode", h.formatCode).field("format", formatText).field("tuning", h.tuning);
        j.field("sampleCount", h.sampleCount).field("extensionSize", h.extensionSize);
        j.key("samples").beginArray();
        for (const SampleRecord& s : samples) {
            j.beginObject();
            j.field("code", s.code).field("kana", s.kana).field("pitch", s.pitch);
            j.field("dataSize", s.dataSize).field("markerB", s.markerB).field("markerC", s.markerC);
            j.field("markerD", s.markerD).field("usable", !s.code.empty() && s.dataSize != 0);
            j.endObject();
        }
        j.endArray();
        j.endObject();
        out << j.str() << "\n";
        return 0;
    }
    char line[256];
    out << "Voice file: " << path << "\n";
    out << "Voice名: " << h.voiceName << "\n";
    out << "ｺﾒﾝﾄ: " << h.comment << "\n";
    out << "ｺﾒﾝﾄ2: " << h.comment2 << "\n";
    std::snprintf(line, sizeof line, "Version: %u   Format: %u (%s)   Tuning: %u.%03u Hz\n", h.version, h.formatCode,
                  formatText.c_str(), h.tuning / 1000, h.tuning % 1000);
    out << line;
    std::snprintf(line, sizeof line, "Samples: %u   Extension block: %u\n", h.sampleCount, h.extensionSize);
    out << line;
    out << "  #  code  kana    pitch  data size  marker B  marker C  marker D\n";
    int index = 0;
    for (const SampleRecord& s : samples) {
        std::string code = s.code.empty() ? "-" : s.code;
        std::string kana = s.kana.empty() ? "-" : s.kana;
        std::snprintf(line, sizeof line, "%3d  %-4s  %s\t  %5u  %9u  %8u  %8u  %8u\n", index++, code.c_str(),
                      kana.c_str(), s.pitch, s.dataSize, s.markerB, s.markerC, s.markerD);
        out << line;
    }
    return 0;
}

}  // namespace kantor::cli

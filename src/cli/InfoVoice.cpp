// kantor-cli info VOICE.vxb: the header of a voice data file and its samples.
#include <cstdio>
#include <ostream>

#include "base/FileIO.h"
#include "base/PrintableText.h"
#include "base/Translation.h"
#include "cli/Commands.h"
#include "cli/JsonOut.h"
#include "import/BankImporter.h"
#include "sound/SoundFormat.h"
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

// The readme kept beside a voice imported from a bank (its terms of use), "" when none.
std::string readmeOf(const std::string& voicePath) {
    std::vector<uint8_t> bytes;
    if (readWholeFile(readmePathFor(voicePath), bytes, std::size_t(1) << 20) != ReadStatus::Ok) return {};
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

int infoVoice(const std::string& path, bool json, std::ostream& out, std::ostream& err) {
    // Only the header and the records are read, never the sound.
    VoiceFileReader reader;
    VoiceFileHeader h;
    std::vector<SampleRecord> samples;
    if (!reader.readIndex(path, h, samples)) {
        err << path << ": " << translated(reader.lastError()) << "\n";
        return 1;
    }
    const std::string title = trimTrailingBlanks(titleOf(path));
    const std::string formatText = formatTextOf(h.formatCode);
    if (json) {
        Json j;
        j["title"] = title;
        j["magic"] = h.magic;
        j["voiceName"] = h.voiceName;
        j["comment"] = h.comment;
        j["comment2"] = h.comment2;
        j["version"] = h.version;
        j["formatCode"] = h.formatCode;
        j["format"] = formatText;
        j["tuning"] = h.tuning;
        j["sampleCount"] = h.sampleCount;
        j["extensionSize"] = h.extensionSize;
        Json records = Json::array();
        for (const SampleRecord& s : samples) {
            records.push_back(Json{{"code", s.code},
                                   {"kana", s.kana},
                                   {"pitch", s.pitch},
                                   {"dataSize", s.dataSize},
                                   {"markerB", s.markerB},
                                   {"markerC", s.markerC},
                                   {"markerD", s.markerD},
                                   {"usable", !s.code.empty() && s.dataSize != 0}});
        }
        j["samples"] = std::move(records);
        if (std::string readme = readmeOf(path); !readme.empty()) j["readme"] = readme;
        writeJson(j, out);
        return 0;
    }
    char line[256];
    out << "Voice file: " << path << "\n";
    // The texts of the voice file and its readme are shown escaped (base/PrintableText.h).
    out << translated(KANTOR_TEXT("Voice名: ")) << printableText(h.voiceName) << "\n";
    out << translated(KANTOR_TEXT("ｺﾒﾝﾄ: ")) << printableText(h.comment) << "\n";
    out << translated(KANTOR_TEXT("ｺﾒﾝﾄ2: ")) << printableText(h.comment2) << "\n";
    std::snprintf(line, sizeof line, "Version: %u   Format: %u (%s)   Tuning: %u.%03u Hz\n", h.version, h.formatCode,
                  formatText.c_str(), h.tuning / 1000, h.tuning % 1000);
    out << line;
    std::snprintf(line, sizeof line, "Samples: %u   Extension block: %u\n", h.sampleCount, h.extensionSize);
    out << line;
    out << "  #  code  kana    pitch  data size  marker B  marker C  marker D\n";
    int index = 0;
    for (const SampleRecord& s : samples) {
        std::string code = s.code.empty() ? "-" : printableText(s.code);
        std::string kana = s.kana.empty() ? "-" : printableText(s.kana);
        std::snprintf(line, sizeof line, "%3d  %-4s  %s\t  %5u  %9u  %8u  %8u  %8u\n", index++, code.c_str(),
                      kana.c_str(), s.pitch, s.dataSize, s.markerB, s.markerC, s.markerD);
        out << line;
    }
    if (std::string readme = readmeOf(path); !readme.empty()) {
        readme = printableLines(readme);
        out << "\nreadme.txt of the bank (" << readmePathFor(path) << "):\n" << readme;
        if (readme.empty() || readme.back() != '\n') out << "\n";
    }
    return 0;
}

}  // namespace kantor::cli

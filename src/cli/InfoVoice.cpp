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

const char* contextKindName(uint8_t kind) { return kind == 1 ? "VCV" : "ending"; }

// "a か" for a syllable reached from a, "a k" for an ending into k.
std::string contextAlias(const SampleRecord& s) {
    std::string target = s.kind == 1 && !s.kana.empty() ? s.kana : s.code;
    if (s.kind == 2)
        for (char& c : target) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return s.after + " " + target;
}

}  // namespace

int infoVoice(const std::string& path, bool json, std::ostream& out, std::ostream& err) {
    // Only the header and the records are read, never the sound.
    VoiceFileReader reader;
    VoiceFileHeader h;
    std::vector<SampleRecord> samples, context;
    if (!reader.readIndex(path, h, samples, &context)) {
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
        Json contextRecords = Json::array();
        for (const SampleRecord& s : context) {
            contextRecords.push_back(Json{{"kind", contextKindName(s.kind)},
                                          {"alias", contextAlias(s)},
                                          {"code", s.code},
                                          {"after", s.after},
                                          {"kana", s.kana},
                                          {"pitch", s.pitch},
                                          {"dataSize", s.dataSize},
                                          {"markerB", s.markerB},
                                          {"markerC", s.markerC},
                                          {"markerD", s.markerD},
                                          {"overlap", s.overlap}});
        }
        j["contextSamples"] = std::move(contextRecords);
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
    if (!context.empty()) {
        int vcv = 0, endings = 0;
        for (const SampleRecord& s : context) (s.kind == 1 ? vcv : endings) += 1;
        std::snprintf(line, sizeof line, "Context samples: %zu (VCV: %d, CVVC endings: %d)\n", context.size(), vcv,
                      endings);
        out << line;
        out << "  #  kind    alias     pitch  data size  marker B  marker C  marker D   overlap\n";
        index = 0;
        for (const SampleRecord& s : context) {
            std::snprintf(line, sizeof line, "%3d  %-6s  %s\t  %5u  %9u  %8u  %8u  %8u  %8u\n", index++,
                          contextKindName(s.kind), contextAlias(s).c_str(), s.pitch, s.dataSize, s.markerB, s.markerC,
                          s.markerD, s.overlap);
            out << line;
        }
    }
    if (std::string readme = readmeOf(path); !readme.empty()) {
        readme = printableLines(readme);
        out << "\nreadme.txt of the bank (" << readmePathFor(path) << "):\n" << readme;
        if (readme.empty() || readme.back() != '\n') out << "\n";
    }
    return 0;
}

}  // namespace kantor::cli

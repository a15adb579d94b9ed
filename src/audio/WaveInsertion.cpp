#include "audio/WaveInsertion.h"

#include <algorithm>
#include <filesystem>

#include "sound/WavFile.h"
#include "base/Codepage.h"
#include "base/FileIO.h"
#include "base/Texts.h"
#include "midi/TempoMap.h"
#include "platform/UserPrompt.h"
#include "song/Song.h"
#include "sound/SoundFormat.h"
#include "voice/VoiceLibrary.h"

namespace kantor {

namespace {

std::string fill(const char* format, const std::string& arg) { return fillText(format, {arg}); }

}  // namespace

bool hasWavExtension(const std::string& path) {
    const std::string name = fileNameOf(path);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext == "wav";
}

WaveSteps WaveSteps::of(const TempoMap& map) {
    WaveSteps s;
    if (map.measures().empty()) return s;
    uint32_t largest = 0;
    for (const Measure& m : map.measures()) largest = std::max<uint32_t>(largest, m.denominator);
    s.end = map.measures().back().start;
    if (largest != 0) s.step = uint32_t{map.division()} * 4 / (4 * largest);
    return s;
}

uint32_t WaveSteps::round(uint32_t tick) const {
    if (step == 0) return tick;
    const uint64_t t = (uint64_t{tick} + step / 2) / step * step;
    return static_cast<uint32_t>(std::min<uint64_t>(t, uint64_t{0xFFFFFFFFu} / step * step));
}

bool insertableFormat(const WaveFormatTriple& f, uint16_t outputBits) {
    const bool rate = f.samplesPerSec == kRate11025 || f.samplesPerSec == kRate22050 || f.samplesPerSec == kRate44100;
    return rate && f.bitsPerSample == outputBits && (f.channels == 1 || f.channels == 2);
}

std::string unsupportedFormatText() { return fill(wavetext::kUnsupported, wavetext::kSupportedFormats); }

std::vector<std::string> insertedWaveProblems(const Song& song, const std::string& midiPath, uint16_t outputBits) {
    std::vector<std::string> problems;
    const std::string folder = folderOf(midiPath);
    for (const auto& w : song.waveInserts()) {
        if (!w) continue;
        const std::string name = w->fileName();
        const std::string path = joinPath(folder.empty() ? "." : folder, name);
        WavReader reader;
        WaveFormatTriple format;
        if (name.empty() || !fileExists(path)) {
            problems.push_back(fill(wavetext::kNotBesideMidi, name));
        } else if (!reader.readFormat(path, format)) {
            problems.push_back(name + " : " + reader.lastError() + "\n");
        } else if (!insertableFormat(format, outputBits)) {
            problems.push_back(fillText(wavetext::kUnsupportedFile, {name, wavetext::kSupportedFormats}));
        }
    }
    return problems;
}

WaveInsertResult insertWaveFile(Song& song, const std::string& midiPath, uint32_t position,
                                const std::string& chosen, uint16_t outputBits, UserPrompt& prompt) {
    WaveInsertResult r;
    auto failed = [&](const std::string& text) {
        prompt.notice(wavetext::kErrorCaption, text);
        r.outcome = WaveInsertOutcome::Failed;
        r.error = text;
        return r;
    };
    if (midiPath.empty() || !hasWavExtension(chosen)) return r;
    WavReader reader;
    WaveFormatTriple format;
    if (!reader.readFormat(chosen, format)) return failed(reader.lastError());
    // The sound is read whole when the song plays: a file whose data cannot be read is refused now.
    uint32_t dataSize = 0;
    if (!reader.readDataSize(chosen, dataSize)) return failed(reader.lastError());
    if (!insertableFormat(format, outputBits)) return failed(unsupportedFormatText());
    // The song file keeps the name in cp932: a name it cannot write would not be found again.
    bool exact = true;
    utf8ToCp932(fileNameOf(chosen), &exact);
    if (!exact) return failed(wavetext::kNameNotStorable);

    std::string path = chosen;
    const std::string midiFolder = folderOf(midiPath).empty() ? "." : folderOf(midiPath);
    if (canonicalFolderOf(chosen) != canonicalFolderOf(midiPath)) {
        if (prompt.askYesNo(wavetext::kConfirmCaption, wavetext::kMustCopy) != PromptAnswer::Yes) return r;
        const std::string target = joinPath(midiFolder, fileNameOf(chosen));
        VoiceLibrary copier(midiFolder, &prompt);
        switch (copier.copyFile(chosen, target, true)) {
            case Outcome::Done: break;
            case Outcome::Cancelled: return r;
            case Outcome::Failed: return failed(copier.lastError());
        }
        path = target;
    }

    WaveInsert record;
    record.position = position;
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    record.setPath(ec ? path : full.lexically_normal().string());
    record.waveValue1 = format.packed();
    record.waveValue2 = format.samplesPerSec;

    auto& list = song.waveInserts();
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!list[i]) continue;
        if (list[i]->position == position) {
            if (prompt.askYesNo(wavetext::kConfirmCaption, wavetext::kAskReplace) != PromptAnswer::Yes) return r;
            *list[i] = std::move(record);
            r.outcome = WaveInsertOutcome::Replaced;
            r.index = static_cast<long>(i);
            return r;
        }
        if (list[i]->position > position) {
            list.insert(list.begin() + static_cast<std::ptrdiff_t>(i), std::make_unique<WaveInsert>(std::move(record)));
            r.outcome = WaveInsertOutcome::Inserted;
            r.index = static_cast<long>(i);
            return r;
        }
    }
    list.push_back(std::make_unique<WaveInsert>(std::move(record)));
    r.outcome = WaveInsertOutcome::Inserted;
    r.index = static_cast<long>(list.size() - 1);
    return r;
}

bool removeWaveInsert(Song& song, long index) {
    auto& list = song.waveInserts();
    if (index < 0 || static_cast<std::size_t>(index) >= list.size() || !list[static_cast<std::size_t>(index)])
        return false;
    list.erase(list.begin() + index);
    return true;
}

long waveInsertAtOrBefore(const Song& song, uint32_t tick) {
    const auto& list = song.waveInserts();
    for (std::size_t i = list.size(); i-- > 0;)
        if (list[i] && list[i]->position <= tick) return static_cast<long>(i);
    return -1;
}

}  // namespace kantor

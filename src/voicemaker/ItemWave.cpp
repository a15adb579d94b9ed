#include "voicemaker/ItemWave.h"

#include <algorithm>
#include <cctype>

#include "sound/WavFile.h"
#include "base/FileIO.h"
#include "base/Texts.h"
#include "platform/UserPrompt.h"
#include "synth/RateConverter.h"
#include "sound/SoundFormat.h"
#include "voicemaker/MakerTexts.h"

namespace kantor {

bool hasWaveFileExtension(const std::string& path) {
    std::string name = fileNameOf(path);
    std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == "wav";
}

std::string unsupportedWaveText() {
    std::string s = makertext::kUnsupportedWave;
    s.replace(s.find("%s"), 2, makertext::kSupportedWaveFormats);
    return s;
}

template <typename Source>
Outcome ItemWave::importFrom(VoiceItem& item, const Source& source) {
    WavReader reader;
    WaveFormatTriple format;
    if (!reader.readFormat(source, format)) {
        fail(reader.lastError());
        return Outcome::Failed;
    }
    const bool rateOk = format.samplesPerSec == kRate11025 || format.samplesPerSec == kRate22050 ||
                        format.samplesPerSec == kRate44100;
    // Compressed data is not samples, whatever its bits field says.
    if (format.bitsPerSample != 16 || format.channels != 1 || !rateOk || format.formatTag != kWaveFormatPcm) {
        fail(unsupportedWaveText());
        return Outcome::Failed;
    }
    if (item.hasData()) {
        PromptAnswer answer =
            prompt_ ? prompt_->askYesNo(makertext::kCaptionConfirm, makertext::kAskReplaceWave) : PromptAnswer::No;
        if (answer != PromptAnswer::Yes) return Outcome::Cancelled;
    }
    SoundBuffer sound;
    if (!reader.readData(source, sound)) {
        fail(reader.lastError());
        return Outcome::Failed;
    }
    sound.setByteLength(sound.byteLength() & ~std::size_t(1));
    RateConverter converter;
    if (!converter.convert(kMono16, format.samplesPerSec, sound, kRate44100)) {
        fail(converter.lastError());
        return Outcome::Failed;
    }
    if (!setItemSoundBytes(item, sound.bytes())) {
        fail(text::kOutOfMemory);
        return Outcome::Failed;
    }
    return Outcome::Done;
}

Outcome ItemWave::importWave(VoiceItem& item, const std::string& path) {
    clearError();
    if (!hasWaveFileExtension(path)) return Outcome::Cancelled;
    return importFrom(item, path);
}

Outcome ItemWave::importWaveBytes(VoiceItem& item, std::span<const uint8_t> bytes) {
    clearError();
    return importFrom(item, bytes);
}

Outcome ItemWave::exportWave(const VoiceItem& item, const std::string& path) {
    clearError();
    if (!item.hasData() || !hasWaveFileExtension(path)) return Outcome::Cancelled;
    std::vector<SoundEntry> pieces(1);
    if (!pieces[0].data.assign(item.data.bytes())) {
        fail(text::kOutOfMemory);
        return Outcome::Failed;
    }
    pieces[0].durationMs = millisecondsForBytes(kMono16, kRate44100, item.dataLength());
    WavWriter writer;
    if (!writer.writeSoundList(path, pieces, kMono16, kRate44100)) {
        fail(writer.lastError());
        return Outcome::Failed;
    }
    return Outcome::Done;
}

}  // namespace kantor

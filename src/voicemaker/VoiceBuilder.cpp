#include "voicemaker/VoiceBuilder.h"

#include <algorithm>

#include "base/FileIO.h"
#include "base/Texts.h"
#include "synth/RateConverter.h"
#include "sound/SoundFormat.h"
#include "synth/SoundPrimitives.h"
#include "voice/VoiceBank.h"
#include "voicemaker/MakerTexts.h"

namespace kantor {

bool VoiceBuilder::validate(const VoiceProject& project) {
    clearError();
    if (project.voiceName.empty()) return fail(makertext::kNoVoiceName);
    bool anyLine = false, anyData = false, anyProperties = false, anyUsable = false;
    for (const auto& item : project.items) {
        if (!item) continue;
        anyLine = true;
        if (item->isBlank()) continue;
        anyData = anyData || item->hasData();
        anyProperties = anyProperties || item->hasProperties();
        anyUsable = anyUsable || (item->hasData() && item->hasProperties());
    }
    if (!anyLine) return fail(makertext::kNoVoiceData);
    if (anyData && !anyProperties) return fail(makertext::kNoProperties);
    // A file of blank records only would be a voice that cannot sing anything.
    if (!anyUsable) return fail(makertext::kNoVoiceData);
    return true;
}

bool VoiceBuilder::cutSegment(const VoiceItem& item, SoundBuffer& segment) {
    clearError();
    const uint64_t length = item.dataLength() & ~uint32_t(1);
    const uint64_t a = 2ull * item.markerA, b = 2ull * item.markerB, c = 2ull * item.markerC, d = 2ull * item.markerD;
    auto badMarkers = [&] { return fail(std::string(makertext::kBadMarkers) + "\n" + item.listLine(false)); };
    if (!(a <= b && b <= c && c <= d && d <= length)) return badMarkers();
    const uint64_t end = (length - b < kItemMinBytes) ? length : b + kItemMinBytes;
    if (d > end) return badMarkers();
    if (!segment.assign(item.data.bytes().subspan(a, end - a))) return fail(text::kOutOfMemory);
    if (item.normalize == 1) {
        normaliseLevel(segment, b - a);
    } else if (item.volume != 100) {
        applyVolume(segment, item.volume);
    }
    return true;
}

bool VoiceBuilder::makeVoice(const VoiceProject& project, VoiceFileHeader& header,
                             std::vector<std::unique_ptr<VoiceSample>>& samples,
                             std::vector<std::unique_ptr<VoiceSample>>* context) {
    clearError();
    const uint32_t rate = project.outputRate();
    header = VoiceFileHeader{};
    header.voiceName = project.voiceName;
    header.comment = project.comment;
    header.comment2 = project.comment2;
    header.version = kVoiceFileVersion;
    header.formatCode = sampleFormatCode(kMono16, rate);
    header.tuning = project.tuning;
    header.extensionSize = kVoiceExtensionSize;
    samples.clear();
    try {
        for (const auto& item : project.items) {
            if (!item) continue;
            if (item->isBlank()) {
                samples.push_back(std::make_unique<VoiceSample>());
                continue;
            }
            if (!item->hasData() || !item->hasProperties()) continue;
            auto sample = std::make_unique<VoiceSample>();
            if (!cutSegment(*item, sample->data)) return false;
            RateConverter converter;
            if (!converter.convert(kMono16, kRate44100, sample->data, rate)) return fail(converter.lastError());
            sample->code = item->code;
            sample->kana = item->notation;
            sample->pitch = item->pitchNumber;
            sample->markerB = (item->markerB - item->markerA) * 2;
            sample->markerC = (item->markerC - item->markerA) * 2;
            sample->markerD = (item->markerD - item->markerA) * 2;
            samples.push_back(std::move(sample));
        }
        if (context) {
            context->clear();
            for (const auto& item : project.contextItems) {
                if (!item || item->isBlank() || !item->hasData() || !item->hasProperties()) continue;
                if (item->contextKind != 1 && item->contextKind != 2) continue;
                auto sample = std::make_unique<VoiceSample>();
                if (!cutSegment(*item, sample->data)) return false;
                RateConverter converter;
                if (!converter.convert(kMono16, kRate44100, sample->data, rate)) return fail(converter.lastError());
                sample->code = item->code;
                sample->kana = item->notation;
                sample->pitch = item->pitchNumber;
                sample->markerB = (item->markerB - item->markerA) * 2;
                sample->markerC = (item->markerC - item->markerA) * 2;
                sample->markerD = (item->markerD - item->markerA) * 2;
                sample->kind = static_cast<SampleKind>(item->contextKind);
                sample->after = item->after;
                sample->overlap = (std::clamp(item->markerOverlap, item->markerA, item->markerB) - item->markerA) * 2;
                context->push_back(std::move(sample));
            }
        }
    } catch (const std::bad_alloc&) {
        samples.clear();
        return fail(text::kOutOfMemory);
    }
    header.sampleCount = static_cast<uint32_t>(samples.size());
    return true;
}

bool VoiceBuilder::buildBytes(const VoiceProject& project, std::vector<uint8_t>& bytes) {
    if (!validate(project)) return false;
    VoiceFileHeader header;
    std::vector<std::unique_ptr<VoiceSample>> samples, context;
    if (!makeVoice(project, header, samples, &context)) return false;
    try {
        bytes = buildVoiceFile(header, samples, context);
    } catch (const std::bad_alloc&) {
        return fail(text::kOutOfMemory);
    }
    return true;
}

bool VoiceBuilder::build(const VoiceProject& project, const std::string& voiceFolder,
                         const std::string& replaceIdentifier, std::string& identifier, VoiceBank* bank,
                         const TickSource& tick) {
    clearError();
    const std::string replace = replaceIdentifier;  // the caller may pass `identifier` itself
    identifier.clear();
    if (!replace.empty() && !isValidVoiceIdentifier(replace))
        return fail(voicetext::kCreateFailed);
    if (!validate(project)) return false;
    VoiceFileHeader header;
    std::vector<std::unique_ptr<VoiceSample>> samples, context;
    if (!makeVoice(project, header, samples, &context)) return false;
    std::string id = replace.empty() ? newVoiceIdentifier(voiceFolder, tick) : replace;
    VoiceFileWriter writer;
    if (!writer.write(joinPath(voiceFolder, id + ".vxb"), header, samples, context)) return fail(writer.lastError());
    identifier = id;
    if (bank && !bank->reloadVoice(id)) return fail(bank->lastError());
    return true;
}

}  // namespace kantor

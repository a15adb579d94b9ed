#include "voicemaker/MakerListening.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "base/ByteIO.h"
#include "base/Texts.h"
#include "platform/NotificationQueue.h"
#include "synth/NoteFrequency.h"
#include "synth/RateConverter.h"
#include "sound/SoundFormat.h"
#include "synth/SoundPrimitives.h"
#include "synth/SyllableShifter.h"
#include "voicemaker/MakerTexts.h"
#include "voicemaker/MarkerRules.h"
#include "voicemaker/VoiceBuilder.h"

namespace kantor {
namespace {

constexpr std::array<int, 8> kUpstairs = {0, 2, 4, 5, 7, 9, 11, 12};
constexpr std::array<int, 8> kDownstairs = {0, -1, -3, -5, -7, -8, -10, -12};

uint32_t ticksForMs(uint32_t ms) { return static_cast<uint32_t>(PatternPlayer::ticksForMilliseconds(ms)); }

}  // namespace

int transposeStep(Transpose t, int k) {
    const auto i = static_cast<std::size_t>(((k % 8) + 8) % 8);
    switch (t) {
        case Transpose::Upstairs: return kUpstairs[i];
        case Transpose::Downstairs: return kDownstairs[i];
        case Transpose::None: break;
    }
    return 0;
}

double noteSoundStartMs(uint32_t noteTick, int32_t correctionMs, uint32_t leadInBytes) {
    return double(noteTick) * 1000.0 / 960.0 + correctionMs - double(leadInBytes / 2) * 1000.0 / 44100.0;
}

std::vector<AccompanimentItem> Performance::accompaniment() const {
    std::vector<AccompanimentItem> items;
    for (std::size_t k = 0; k < notes.size(); ++k) {
        AccompanimentItem a;
        a.waveStartTick = k == 0 ? waveStartTick : std::max(waveStartTick, notes[k].noteTick);
        a.noteStartTick = notes[k].noteTick;
        a.durationMs = notes[k].durationMs;
        a.note = notes[k].note;
        items.push_back(a);
    }
    return items;
}

bool MakerSound::segment(const VoiceItem& item, uint32_t outputRate, SoundBuffer& out) {
    clearError();
    VoiceBuilder builder;
    if (!builder.cutSegment(item, out)) return fail(builder.lastError());
    if (outputRate != kRate44100) {
        RateConverter converter;
        if (!converter.convert(kMono16, kRate44100, out, outputRate) ||
            !converter.convert(kMono16, outputRate, out, kRate44100))
            return fail(converter.lastError());
    }
    return true;
}

bool MakerSound::renderNote(const SoundBuffer& segment, const VoiceItem& item, int note, uint32_t tuning,
                            uint32_t ms, SoundBuffer& out, uint32_t& leadInBytes) {
    clearError();
    note = std::clamp(note, 0, 127);
    SyllableShiftInput in;
    in.sampleFrequency = noteFrequency(item.pitchNumber, tuning);
    in.targetFrequency = noteFrequency(static_cast<uint32_t>(note), tuning);
    in.neededBytes = bytesForMilliseconds(kMono16, kRate44100, ms);
    in.sample = &segment;
    in.markerB = (item.markerB - item.markerA) * 2;
    in.markerC = (item.markerC - item.markerA) * 2;
    in.markerD = (item.markerD - item.markerA) * 2;
    SyllableShiftOutput shifted;
    if (!shiftSyllable(in, shifted)) return fail(text::kOutOfMemory);
    fadeOutEnd(shifted.sound);
    out = std::move(shifted.sound);
    leadInBytes = shifted.leadInBytes;
    return true;
}

bool MakerSound::assemble(std::vector<Sung>& sung, int32_t correctionMs, Performance& out) {
    out = Performance{};
    if (sung.empty()) return true;
    double first = 1e300;
    for (const Sung& s : sung) first = std::min(first, noteSoundStartMs(s.noteTick, correctionMs, s.leadIn));
    first = std::max(0.0, first);
    // The block starts on a whole tick at or before the earliest sound.
    out.waveStartTick = static_cast<uint32_t>(std::floor(first * 0.96));
    const double blockMs = double(out.waveStartTick) * 1000.0 / 960.0;
    std::size_t length = 0;
    for (Sung& s : sung) {
        const double startMs = std::max(blockMs, noteSoundStartMs(s.noteTick, correctionMs, s.leadIn));
        const auto offset = static_cast<uint32_t>(std::llround((startMs - blockMs) * 44.1)) * 2;
        length = std::max(length, std::size_t(offset) + s.sound.byteLength());
        out.notes.push_back({s.noteTick, s.note, s.ms, offset, s.leadIn});
    }
    if (!out.block.allocate(length)) return fail(text::kOutOfMemory);
    for (std::size_t k = 0; k < sung.size(); ++k) {
        const std::size_t base = out.notes[k].blockOffset / 2;
        const SoundBuffer& s = sung[k].sound;
        for (std::size_t i = 0; i < s.sampleCount(); ++i) {
            const int v = out.block.sample(base + i) + s.sample(i);
            out.block.setSample(base + i, static_cast<int16_t>(std::clamp(v, -32768, 32767)));
        }
    }
    return true;
}

bool MakerSound::listening(const std::vector<const VoiceItem*>& items, uint32_t tuning, uint32_t outputRate,
                           int lengthChoice, int32_t correctionMs, Performance& out) {
    clearError();
    out = Performance{};
    const LengthChoice& length =
        kListenLengths[static_cast<std::size_t>(std::clamp(lengthChoice, 0, int(kListenLengths.size()) - 1))];
    try {
        std::vector<Sung> sung;
        uint32_t tick = kFirstNoteTick;
        for (const VoiceItem* item : items) {
            if (!item || item->isBlank() || item->notation.empty() || !item->hasData() || !item->hasProperties())
                continue;
            SoundBuffer seg;
            if (!segment(*item, outputRate, seg)) return false;
            Sung s{{}, tick, static_cast<uint8_t>(item->pitchNumber & 0x7F), length.ms, 0};
            if (!renderNote(seg, *item, int(item->pitchNumber), tuning, length.ms, s.sound, s.leadIn)) return false;
            sung.push_back(std::move(s));
            tick += length.spacingBeats * kBeatTicks;
        }
        return assemble(sung, correctionMs, out);
    } catch (const std::bad_alloc&) {
        out = Performance{};
        return fail(text::kOutOfMemory);
    }
}

bool MakerSound::preview(const VoiceItem& item, uint32_t tuning, int times, Transpose transpose, int lengthChoice,
                         int32_t correctionMs, Performance& out) {
    clearError();
    out = Performance{};
    if (!item.hasData() || !markersWithinData(item.markers(), item.sampleCount()))
        return fail(std::string(makertext::kBadMarkers) + "\n" + item.listLine(false));
    const LengthChoice& length =
        kPreviewLengths[static_cast<std::size_t>(std::clamp(lengthChoice, 0, int(kPreviewLengths.size()) - 1))];
    try {
        SoundBuffer seg;
        if (!segment(item, kRate44100, seg)) return false;
        std::vector<Sung> sung;
        for (int k = 0; k < std::max(1, times); ++k) {
            const int note = std::clamp(int(item.pitchNumber) + transposeStep(transpose, k), 0, 127);
            Sung s{{}, kFirstNoteTick + uint32_t(k) * ticksForMs(length.ms), static_cast<uint8_t>(note), length.ms, 0};
            if (!renderNote(seg, item, note, tuning, length.ms, s.sound, s.leadIn)) return false;
            sung.push_back(std::move(s));
        }
        return assemble(sung, correctionMs, out);
    } catch (const std::bad_alloc&) {
        out = Performance{};
        return fail(text::kOutOfMemory);
    }
}

PerformancePlayer::PerformancePlayer(MidiStream& stream, WaveOut& waveOut, NotificationQueue* queue)
    : player_(stream), wave_(waveOut), queue_(queue) {}

PerformancePlayer::~PerformancePlayer() {
    stop();
    if (queue_) queue_->cancel(this);
}

std::string PerformancePlayer::takeError() { return std::exchange(pendingError_, {}); }

bool PerformancePlayer::play(Performance performance, int drum, int program) {
    clearError();
    stop();
    performance_ = std::move(performance);
    if (performance_.notes.empty()) return true;
    if (!wave_.open(this, 16, 1, 44100)) return fail(wave_.lastError());
    const std::vector<AccompanimentItem> items = performance_.accompaniment();
    std::vector<const AccompanimentItem*> pointers;
    for (const auto& a : items) pointers.push_back(&a);
    started_ = false;
    if (!player_.playAccompaniment(this, pointers, drum, program)) {
        const std::string text = player_.lastError();
        wave_.close();
        return fail(text);
    }
    return true;
}

void PerformancePlayer::stop() {
    player_.stop();
    wave_.close();
    started_ = false;
    if (queue_) queue_->cancel(this);
}

void PerformancePlayer::onNotification(const Notification& n) {
    switch (n.kind) {
        case NotificationKind::MidiMarker: {
            const MidiHeader& h = player_.header();
            if (!player_.isPlaying() || n.header != &h || uint64_t(n.offset) + 12 > h.bytesRecorded) return;
            const uint32_t code = loadLE32(h.data + n.offset + 8) & 0xFFFFFu;
            if (code != kPerformanceMarker || started_ || !performance_.block.hasData()) return;
            started_ = true;
            const PlayBlock block{performance_.block.data(), static_cast<uint32_t>(performance_.block.byteLength()), 0};
            if (block.length == 0) return;
            if (!wave_.playAt(block, n.frame)) pendingError_ = wave_.lastError();
            return;
        }
        case NotificationKind::MidiDone:
            if (player_.isPlaying() && !player_.bufferDone(static_cast<const MidiHeader*>(n.header)))
                pendingError_ = player_.lastError();
            if (!player_.isPlaying() && !wave_.isPlaying()) wave_.close();
            return;
        case NotificationKind::WaveOutDone:
            if (!wave_.bufferDone(static_cast<const WaveHeader*>(n.header))) pendingError_ = wave_.lastError();
            if (!player_.isPlaying() && !wave_.isPlaying()) wave_.close();
            return;
        case NotificationKind::MidiClose:
        case NotificationKind::WaveInData: return;
    }
}

}  // namespace kantor

#include "synth/SynthEngine.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "base/Texts.h"
#include "midi/TempoMap.h"
#include "synth/FormantShifter.h"
#include "synth/NoteFrequency.h"
#include "synth/PitchMarks.h"
#include "synth/RateConverter.h"
#include "sound/SoundFormat.h"
#include "synth/SoundPrimitives.h"
#include "synth/SyllableShifter.h"
#include "synth/VoxMixer.h"
#include "voice/VoiceBank.h"

namespace kantor {
namespace {

constexpr const char* kZeroFrequency = "Note frequency is 0.";

// A sound is refused before it is allocated when a WAV file could not hold it or it would
// take more than half of the machine's memory.
bool soundTooLarge(uint64_t bytes) {
    static const uint64_t halfMemory = [] {
        const long pages = ::sysconf(_SC_PHYS_PAGES), size = ::sysconf(_SC_PAGE_SIZE);
        return pages > 0 && size > 0 ? uint64_t(pages) * uint64_t(size) / 2 : uint64_t(1) << 31;
    }();
    return bytes >= 0xFFFFFFFFull - 1024 || bytes > halfMemory;
}

// Bytes of `ms` milliseconds of 16-bit mono at `rate` (at most 2 bytes per sample), in 64 bits.
uint64_t soundBytes(uint64_t ms, uint32_t rate) { return ms * rate / 1000u * 2u; }

std::string tooLongText(uint64_t ms) {
    return "a phrase of " + std::to_string(ms / 1000u) + " seconds is too long to render";
}

uint32_t clampTick(int64_t t) {
    if (t < 0) return 0;
    if (t > 0xFFFFFFFFll) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(t);
}

// The level curve over a syllable (44100 Hz): read from the curve over the attack, after it
// (where the rise is within 1/10000 of its end) the constant gain.
void applyLevelCurve(SoundBuffer& y, const ExpressionCurve& curve) {
    const std::size_t n = y.sampleCount();
    std::size_t settled = 0;
    if (curve.attackMs > 0) {
        // 1 - e^(-t/tau) is within 1e-4 of 1 after 9.2 tau; tau is below the attack time.
        settled = std::min(n, static_cast<std::size_t>(curve.attackMs * 9.3 * 44.1) + 1);
        // The curve's 1 - e^(-t/tau) with the exponential stepped by one factor per sample.
        const double tau = curve.attackMs / -std::log(1 - 1 / std::sqrt(2.0));
        const double step = std::exp(-1000.0 / 44100.0 / tau);
        double fall = 1.0;
        for (std::size_t i = 0; i < settled; ++i, fall *= step) {
            const double v = std::clamp(y.sample(i) * curve.gain * (1 - fall), -32768.0, 32767.0);
            y.setSample(i, static_cast<int16_t>(v + std::copysign(0.5, v)));
        }
    }
    if (curve.gain == 1.0) return;
    for (std::size_t i = settled; i < n; ++i) {
        const double v = std::clamp(y.sample(i) * curve.gain, -32768.0, 32767.0);
        y.setSample(i, static_cast<int16_t>(v + std::copysign(0.5, v)));
    }
}

bool voiceIs16Bit(const Voice& voice) {
    uint32_t packed = kMono16, rate = kRate44100;
    decodeSampleFormatCode(voice.formatCode, packed, rate);
    return formatBits(packed) == 16;
}

// Keeps a list in start order; equal starts keep their order.
void insertInStartOrder(std::vector<SoundEntry>& rendered, SoundEntry&& entry) {
    auto at = std::find_if(rendered.begin(), rendered.end(),
                           [&](const SoundEntry& e) { return e.hasData() && e.startMs > entry.startMs; });
    rendered.insert(at, std::move(entry));
}

// Joins of touching syllables in the formant-keeping mode (used where expression is).
// The outgoing syllable is sung this much longer than its note, so that it still sounds
// where the crossfade ends (half the widest crossfade, half the longest period, and the
// end fade).
constexpr uint32_t kJoinOverhangMs = 70;
// A gap before the next syllable of at most an eighth of the outgoing note still joins
// (a MIDI legato often leaves a few ticks), as it still glides.
constexpr uint32_t kJoinGapShare = 8;

// The sung start (the end of the lead-in) of a note, in ms from the song start.
int64_t sungStartMs(const SynthNote& n) { return int64_t(n.startMs) + (n.curve.flat() ? 0 : n.curve.timeShiftMs); }

bool legatoJoins(const SynthNote& a, const SynthNote& b) {
    if (a.code.empty() || b.code.empty() || (a.curve.flat() && b.curve.flat())) return false;
    const int64_t end = sungStartMs(a) + a.lengthMs, next = sungStartMs(b);
    return next >= end && (next - end) * kJoinGapShare <= int64_t(a.lengthMs);
}

// Touching syllables joined into one sound: each piece lies at a sample offset from the
// chain's start and (all but the last) fades out over [fadeFrom, fadeTo) and ends there.
class JoinChain {
public:
    JoinChain(uint32_t rate, uint32_t packed) : rate_(rate), packed_(packed) {}
    bool empty() const { return pieces_.empty(); }
    uint32_t startMs() const { return startMs_; }

    void begin(SoundEntry&& first) {
        pieces_.clear();
        startMs_ = first.startMs;
        startTick_ = first.startTick;
        pieces_.push_back({std::move(first.data), 0, -1, -1});
    }

    // Adds `next` (starting at or after the chain): a crossfade of its periods with the
    // last piece's from the boundary (the next syllable's sung start) on. The incoming
    // syllable is moved by up to half a period so that its periods lie on the outgoing
    // ones: the shift whose correlation over the crossfade is highest.
    void join(SoundEntry&& next, int64_t boundaryMs, double hz) {
        Piece& last = pieces_.back();
        const int64_t offset = samplesAt(int64_t(next.startMs) - startMs_);
        const int64_t boundary = samplesAt(boundaryMs - startMs_);
        const double period = std::clamp(double(rate_) / std::max(hz, 1.0), 2.0, double(rate_) / 40.0);
        // The crossfade: four periods, between 15 and 40 ms, from the boundary on (the
        // incoming syllable's vowel has begun; its consonant sounds over the outgoing one).
        const int64_t width = std::llround(std::clamp(4.0 * period, 0.015 * rate_, 0.04 * rate_));
        const int64_t from = boundary, to = boundary + width;
        const int64_t reach = std::llround(period / 2);
        // Both stretches as floats (zeros outside the sounds), the incoming one wide enough
        // for every shift.
        auto stretch = [](const SoundBuffer& d, int64_t first, int64_t count, std::vector<float>& v) {
            v.assign(std::size_t(std::max<int64_t>(0, count)), 0.0f);
            const int64_t n = int64_t(d.sampleCount());
            for (int64_t i = std::max<int64_t>(0, -first); i < count && first + i < n; ++i)
                v[std::size_t(i)] = d.sample(std::size_t(first + i));
        };
        stretch(last.data, from - last.at, width, a_);
        stretch(next.data, from - offset - reach, width + 2 * reach, b_);
        int64_t shift = 0;
        float best = 0;
        for (int64_t d = -reach; d <= reach; ++d) {
            if (offset + d < 0) continue;
            // b_[k] is the incoming sample at from + k - offset - reach.
            const float* b = b_.data() + (reach - d);
            // Eight sums side by side, which the compiler can vectorise.
            float part[8] = {};
            const std::size_t n = a_.size();
            std::size_t i = 0;
            for (; i + 8 <= n; i += 8)
                for (std::size_t j = 0; j < 8; ++j) part[j] += a_[i + j] * b[i + j];
            float c = 0;
            for (; i < n; ++i) c += a_[i] * b[i];
            for (float q : part) c += q;
            if (c > best) best = c, shift = d;
        }
        last.fadeFrom = from;
        last.fadeTo = to;
        pieces_.push_back({std::move(next.data), offset + shift, -1, -1});
    }

    // The joined sound as one entry. False when memory runs out.
    bool finish(SoundEntry& out) {
        std::size_t length = 0;
        for (const Piece& p : pieces_) {
            const int64_t end = p.at + int64_t(p.data.sampleCount());
            length = std::max(length, std::size_t(p.fadeTo >= 0 ? std::min(end, p.fadeTo) : end));
        }
        sum_.assign(length, 0.0f);
        for (const Piece& p : pieces_) {
            const std::size_t n = p.data.sampleCount();
            for (std::size_t i = 0; i < n; ++i) {
                const int64_t k = p.at + int64_t(i);
                float v = p.data.sample(i);
                if (p.fadeTo >= 0 && k >= p.fadeFrom) {
                    if (k >= p.fadeTo) break;
                    v *= float(0.5 + 0.5 * std::cos(M_PI * double(k - p.fadeFrom) / double(p.fadeTo - p.fadeFrom)));
                }
                sum_[std::size_t(k)] += v;
            }
        }
        out = SoundEntry{};
        if (!out.data.allocate(length * 2)) return false;
        for (std::size_t i = 0; i < length; ++i) {
            const float v = std::clamp(sum_[i], -32768.0f, 32767.0f);
            out.data.setSample(i, static_cast<int16_t>(v + (v < 0 ? -0.5f : 0.5f)));
        }
        out.startMs = startMs_;
        out.durationMs = millisecondsForBytes(packed_, rate_, out.data.byteLength());
        out.kind = kEntryMono;
        out.startTick = startTick_;
        pieces_.clear();
        return true;
    }

private:
    struct Piece {
        SoundBuffer data;
        int64_t at;
        int64_t fadeFrom, fadeTo;
    };
    int64_t samplesAt(int64_t ms) const { return int64_t(bytesForMilliseconds(packed_, rate_, uint32_t(ms)) / 2); }

    uint32_t rate_, packed_;
    uint32_t startMs_ = 0, startTick_ = 0;
    std::vector<Piece> pieces_;
    std::vector<float> a_, b_, sum_;
};

}  // namespace

SynthEngine::SynthEngine(VoiceBank& voices, const TempoMap& tempoMap) : voices_(voices), tempoMap_(tempoMap) {}

SynthEngine::~SynthEngine() {
    if (effects_) effects_->unloadAll();
}

void SynthEngine::freeLists() {
    for (auto& l : lists_) l.clear();
    for (auto& g : groups_) g.clear();
}

void SynthEngine::releaseAll() {
    freeLists();
    if (effects_) effects_->unloadAll();
}

bool SynthEngine::failAndFree(std::string_view text) {
    releaseAll();
    return fail(text);
}

bool SynthEngine::start(uint16_t qualityCode) {
    clearError();
    uint32_t packed = kMono16, rate = kRate44100;
    if (!decodeSampleFormatCode(qualityCode, packed, rate)) {
        packed = kMono16;
        rate = kRate44100;
    }
    outPacked_ = packFormat(formatBits(packed), 1);
    outRate_ = rate;
    freeLists();
    if (effects_) {
        effects_->unloadAll();
        effects_->loadAll();
    }
    earliestTick_ = 0xFFFFFFFF;
    latestTick_ = 0;
    active_ = true;
    return true;
}

void SynthEngine::startLike(const SynthEngine& other) {
    clearError();
    outPacked_ = other.outPacked_;
    outRate_ = other.outRate_;
    freeLists();
    earliestTick_ = 0xFFFFFFFF;
    latestTick_ = 0;
    active_ = true;
}

bool SynthEngine::buildNoteList(const std::vector<const VoxEvent*>& notes, const VoiceSettings& settings,
                                std::vector<SynthNote>& out) {
    out.clear();
    uint16_t taken = 0;
    for (const VoxEvent* ev : notes) {
        if (!ev) continue;
        uint32_t weightSum = 0;
        for (uint16_t w : ev->syllableLength) weightSum += w;
        if (weightSum == 0) continue;
        const uint16_t eventIndex = taken++;

        const uint32_t noteMs = tempoMap_.millisecondsBetween(ev->startTick, std::max(ev->startTick, ev->endTick));
        // Share the note's length among the slots by their weights.
        std::array<uint32_t, VoxEvent::kSlots> share{};
        uint64_t remaining = noteMs;
        for (int i = 0; i < VoxEvent::kSlots; ++i) {
            uint64_t rest = 0;
            for (int k = i; k < VoxEvent::kSlots; ++k) rest += ev->syllableLength[static_cast<std::size_t>(k)];
            if (rest == 0) break;
            const uint64_t s = remaining * ev->syllableLength[static_cast<std::size_t>(i)] / rest;
            share[static_cast<std::size_t>(i)] = static_cast<uint32_t>(s);
            const bool tookAll = s == remaining;
            remaining -= s;
            if (tookAll) break;
        }
        const uint32_t frequency = noteFrequency(ev->noteKey, settings.tuning);
        uint32_t start = tempoMap_.millisecondsBetween(0, ev->startTick);
        for (int i = 0; i < VoxEvent::kSlots; ++i) {
            const std::size_t k = static_cast<std::size_t>(i);
            if (ev->syllableLength[k] == 0) continue;
            SynthNote n;
            n.code = ev->codeText(i);  // trailing blanks already removed
            n.frequency = frequency;
            n.lengthMs = share[k];
            n.pitch = ev->noteKey;
            n.volume = static_cast<uint16_t>(uint32_t(ev->noteVolume) * ev->syllableVolume[k] / 100);
            n.noteParam = ev->noteParam;
            n.eventIndex = eventIndex;
            n.startTick = ev->startTick;
            n.endTick = ev->endTick;
            n.startMs = start;
            out.push_back(std::move(n));
            start += share[k];
        }
    }
    return true;
}

bool SynthEngine::renderSyllable(const Voice& voice, const SynthNote& note, std::vector<SoundEntry>& rendered) {
    SoundEntry entry;
    if (!renderSyllableEntry(voice, note, 0, entry)) return false;
    if (entry.hasData()) insertInStartOrder(rendered, std::move(entry));
    return true;
}

bool SynthEngine::renderSyllableEntry(const Voice& voice, const SynthNote& note, uint32_t extraMs, SoundEntry& entry) {
    if (note.code.empty()) return true;
    const VoiceSample* sample = voices_.findSampleForNote(voice, note.code, note.pitch);
    if (!sample || !sample->hasSound()) return true;  // no such syllable: silent
    return renderSampleEntry(voice, *sample, note, extraMs, entry);
}

bool SynthEngine::renderSampleEntry(const Voice& voice, const VoiceSample& chosen, const SynthNote& note,
                                    uint32_t extraMs, SoundEntry& entry, int64_t* leadSamples) {
    const VoiceSample* sample = &chosen;

    uint32_t voicePacked = kMono16, voiceRate = kRate44100;
    decodeSampleFormatCode(voice.formatCode, voicePacked, voiceRate);

    SoundBuffer x;
    if (!x.assign(sample->sound())) return fail(text::kOutOfMemory);
    RateConverter converter;
    if (!converter.convert(voicePacked, voiceRate, x, kRate44100)) return fail(converter.lastError());

    if (note.frequency == 0) return fail(kZeroFrequency);
    if (soundTooLarge(soundBytes(uint64_t(note.lengthMs) + extraMs, kRate44100)))
        return fail(tooLongText(uint64_t(note.lengthMs) + extraMs));
    SyllableShiftInput in;
    in.targetFrequency = note.frequency;
    in.sampleFrequency = noteFrequency(sample->pitch, voice.tuning);
    in.neededBytes = bytesForMilliseconds(voicePacked, kRate44100, note.lengthMs + extraMs);
    in.sample = &x;
    in.markerB = sample->markerB;
    in.markerC = sample->markerC;
    in.markerD = sample->markerD;
    SyllableShiftOutput shifted;
    // With expression the note may be detuned, its pitch may move (a glide, a vibrato) and
    // its level be shaped; a flat curve leaves everything below on the plain path.
    const ExpressionCurve& curve = note.curve;
    const bool expressive = !curve.flat();
    if (expressive && curve.detuneCents != 0) {
        const double f = std::round(note.frequency * std::pow(2.0, curve.detuneCents / 1200.0));
        in.targetFrequency = static_cast<uint32_t>(std::clamp(f, 1.0, 4.0e9));
    }
    const PitchBend bend = [&curve](double ms) { return std::exp2(curve.centsAt(ms) / 1200.0); };
    const bool bends = expressive && !curve.pitchFlat();
    // Formants are kept on 16-bit sound; anything else is resampled as designed.
    if (pitchMode_ == PitchMode::KeepFormants && formatBits(voicePacked) == 16) {
        const SamplePitchMarks& marks = samplePitchMarks(*sample, x, in.sampleFrequency);
        if (!shiftSyllableKeepingFormants(in, marks, shifted, bends ? &bend : nullptr)) return fail(text::kOutOfMemory);
    } else if (bends) {
        if (!shiftSyllableBent(in, bend, curve.maxRatio(), shifted)) return fail(text::kOutOfMemory);
    } else if (!shiftSyllable(in, shifted)) {
        return fail(text::kOutOfMemory);
    }
    x.reset();
    if (expressive) {
        if (!retimeLeadIn(shifted, curve.consonantSpeed)) return fail(text::kOutOfMemory);
        if (curve.falsetto) falsettoTimbre(shifted.sound);
        if (!curve.levelFlat()) applyLevelCurve(shifted.sound, curve);
    }

    const uint32_t leadMs = millisecondsForBytes(voicePacked, kRate44100, shifted.leadInBytes);
    SoundBuffer& sound = shifted.sound;
    applyVolume(sound, note.volume);
    fadeOutEnd(sound);
    if (!converter.convert(voicePacked, kRate44100, sound, outRate_)) return fail(converter.lastError());

    entry.data = std::move(sound);
    // Time moves the note's sound (never before the song start).
    const int64_t sungStart = int64_t(note.startMs) + (expressive ? curve.timeShiftMs : 0);
    entry.startMs = sungStart > int64_t(leadMs) ? static_cast<uint32_t>(sungStart - leadMs) : 0;
    entry.durationMs = millisecondsForBytes(outPacked_, outRate_, entry.data.byteLength());
    entry.kind = kEntryMono;
    entry.startTick = note.startTick;
    if (leadSamples) *leadSamples = int64_t(shifted.leadInBytes / 2) * outRate_ / kRate44100;
    return true;
}

bool SynthEngine::renderPhrase(const PhraseRequest& request, const std::vector<SynthNote>& notes) {
    clearError();
    if (!active_) return failAndFree("The synthesis engine has not been started.");
    if (request.channel < 1 || request.channel > 16 || request.lengthMs == 0) return true;

    // Loaded by the name as stored (its file may end in blanks); found trimmed.
    const std::string& voiceName = request.settings.voiceName;
    // A loaded voice is only read (phrases may be rendered on several threads at once).
    if (!voices_.findVoice(voiceName) && !voices_.ensureVoiceLoaded(voiceName)) return fail(voices_.lastError());
    const Voice* voice = voices_.findVoice(voiceName);
    if (!voice) return failAndFree(voices_.lastError().empty() ? "Voice not loaded." : voices_.lastError());

    std::vector<SoundEntry> rendered;
    const bool joins = formatBits(outPacked_) == 16;
    if (!voice->contextSamples.empty() && joins && voiceIs16Bit(*voice)) {
        if (!renderContextNotes(*voice, request, notes, rendered)) return failAndFree(lastError());
    } else if (pitchMode_ == PitchMode::KeepFormants) {
        // Touching syllables where expression is used are joined by a crossfade of their
        // periods instead of the mixer's sum; everything else is rendered as designed.
        JoinChain chain(outRate_, outPacked_);
        auto flush = [&] {
            if (chain.empty()) return true;
            SoundEntry joined;
            if (!chain.finish(joined)) return false;
            insertInStartOrder(rendered, std::move(joined));
            return true;
        };
        for (std::size_t i = 0; i < notes.size(); ++i) {
            const SynthNote& n = notes[i];
            const bool joinNext = joins && i + 1 < notes.size() && legatoJoins(n, notes[i + 1]);
            uint32_t extra = 0;
            if (joinNext) extra = uint32_t(sungStartMs(notes[i + 1]) - sungStartMs(n) - n.lengthMs) + kJoinOverhangMs;
            SoundEntry entry;
            if (!renderSyllableEntry(*voice, n, extra, entry)) return failAndFree(lastError());
            if (!entry.hasData()) {
                if (!flush()) return failAndFree(text::kOutOfMemory);
                continue;
            }
            if (!chain.empty() && legatoJoins(notes[i - 1], n) && entry.startMs >= chain.startMs()) {
                const double hz = std::min(notes[i - 1].frequency, n.frequency) / 1000.0;
                chain.join(std::move(entry), sungStartMs(n), hz);
            } else {
                if (!flush()) return failAndFree(text::kOutOfMemory);
                if (joinNext) chain.begin(std::move(entry));
                else insertInStartOrder(rendered, std::move(entry));
            }
            if (!joinNext && !flush()) return failAndFree(text::kOutOfMemory);
        }
        if (!flush()) return failAndFree(text::kOutOfMemory);
    } else {
        for (const SynthNote& n : notes) {
            if (!renderSyllable(*voice, n, rendered)) return failAndFree(lastError());
        }
    }

    CVoxMixer mixer;
    if (!mixer.mix(rendered, outPacked_, outRate_)) return failAndFree(mixer.lastError());

    // Assemble the phrase from its first sound (a lead-in may reach before the phrase start).
    uint32_t lead = 0;
    uint64_t latest = 0;
    for (const SoundEntry& e : rendered) {
        if (!e.hasData()) continue;
        if (e.startMs < request.startMs) lead = std::max(lead, request.startMs - e.startMs);
        latest = std::max<uint64_t>(latest, uint64_t(e.startMs) + e.durationMs);
    }
    const uint32_t first = request.startMs - lead;
    uint64_t phraseMs = request.lengthMs;
    if (first < latest) phraseMs = latest - first;
    if (soundTooLarge(soundBytes(phraseMs, outRate_))) return failAndFree(tooLongText(phraseMs));
    const uint32_t phraseBytes = bytesForMilliseconds(outPacked_, outRate_, static_cast<uint32_t>(std::min<uint64_t>(phraseMs, 0xFFFFFFFFu)));

    SoundEntry phrase;
    if (!phrase.data.allocate(phraseBytes, kPhraseSpare)) return failAndFree(text::kOutOfMemory);
    for (const SoundEntry& e : rendered) {
        if (!e.hasData() || e.startMs < first) continue;
        const uint64_t offset = bytesForMilliseconds(outPacked_, outRate_, e.startMs - first);
        if (offset + e.byteLength() >= uint64_t(phraseBytes) + 1000) continue;
        std::copy(e.data.data(), e.data.data() + e.byteLength(), phrase.data.data() + offset);
    }
    rendered.clear();
    applyVolume(phrase.data, request.volume);

    if (effects_ && !effects_->apply(request.settings.effect, phrase.data, outRate_))
        return failAndFree(text::kOutOfMemory);

    // File it at its song position.
    phrase.durationMs = millisecondsForBytes(outPacked_, outRate_, phrase.data.byteLength());
    const int64_t startMs = int64_t(first) + request.shift;
    phrase.startMs = startMs < 0 ? 0 : static_cast<uint32_t>(std::min<int64_t>(startMs, 0xFFFFFFFF));
    const int64_t move = int64_t(request.shift) - lead;
    uint32_t startTick = clampTick(int64_t(request.startTick) + tempoMap_.tickOffset(move, request.startTick));
    earliestTick_ = std::min(earliestTick_, startTick);
    const uint32_t endTick =
        clampTick(int64_t(startTick) + tempoMap_.tickOffset(phrase.durationMs, request.startTick));
    latestTick_ = std::max(latestTick_, endTick);
    if (delayCorrection_ != 0) {
        startTick = clampTick(int64_t(request.startTick) + tempoMap_.tickOffset(delayCorrection_, request.startTick));
    }
    phrase.startTick = startTick;
    phrase.kind = request.positionValue;
    const std::size_t list = static_cast<std::size_t>(request.channel - 1);
    lists_[list].push_back(std::move(phrase));
    groups_[list].push_back(request.phraseGroup);
    return true;
}

bool SynthEngine::mixChannel(int channel) {
    if (channel < 1 || channel > 16) return true;
    const std::size_t list = static_cast<std::size_t>(channel - 1);
    std::vector<int>& groups = groups_[list];
    bool several = false;
    for (int g : groups) several = several || g != groups.front();
    if (!several) return true;
    // Phrases of different groups are filed group by group; the mixer needs them in time order.
    std::vector<SoundEntry>& l = lists_[list];
    std::stable_sort(l.begin(), l.end(), [](const SoundEntry& a, const SoundEntry& b) { return a.startMs < b.startMs; });
    CVoxMixer mixer;
    if (!mixer.mix(l, outPacked_, outRate_)) return failAndFree(mixer.lastError());
    return true;
}

}  // namespace kantor

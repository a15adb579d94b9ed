// Singing a phrase with a voice that has context samples (VCV "a か", CVVC endings "a k").
//
// A syllable that follows a touching syllable (legato, or a gap the incoming sample's
// lead-in still bridges) is sung from the sample recorded after that syllable's final
// sound, else from its plain sample, after which a CVVC ending sample ("a k") may lead into
// its consonant. The incoming sample's lead-in (the part before marker B: the sound before
// and the consonant) is sung at the OUTGOING note's pitch, so that the held note keeps its
// pitch to its end; from marker B on the syllable is sung at its own pitch. The pieces of a
// run of touching syllables are laid into one sound: each incoming piece fades in over
// its overlap (the bank's overlap, scaled as the lead-in is) while the piece before fades
// out and ends there, the incoming piece moved by up to half a period so that its periods
// lie on the outgoing ones.
#include <algorithm>
#include <cmath>
#include <limits>

#include "base/Texts.h"
#include "sound/SoundFormat.h"
#include "synth/SoundPrimitives.h"
#include "synth/SynthEngine.h"
#include "voice/ContextChoice.h"
#include "voice/VoiceBank.h"

namespace kantor {
namespace {

// The outgoing syllable is sung this much longer than its note, so that the end fade lies
// past every crossfade.
constexpr uint32_t kOverhangMs = 20;
// The lead-in sung at the outgoing pitch hands over to the syllable at its own pitch over
// this much either side of the note's start.
constexpr double kHandoverMs = 3.0;
// The shortest crossfade over the sound before (a bank's overlap may be 0).
constexpr double kMinCrossfadeMs = 10.0;

int64_t sungStart(const SynthNote& n) { return int64_t(n.startMs) + (n.curve.flat() ? 0 : n.curve.timeShiftMs); }

struct Piece {
    SoundBuffer data;
    int64_t at = 0;  // output samples from the song start
    int64_t inFrom = -1, inTo = -1;    // fade in over [inFrom, inTo)
    int64_t outFrom = -1, outTo = -1;  // fade out over [outFrom, outTo), nothing after
    int64_t end() const { return at + int64_t(data.sampleCount()); }
};

// The shift (within ±reach samples) of `incoming` whose periods lie best on `outgoing`
// over [from, from + width): the highest correlation, 0 when none is positive.
int64_t bestShift(const Piece& outgoing, const Piece& incoming, int64_t from, int64_t width, int64_t reach) {
    auto at = [](const Piece& p, int64_t k) -> float {
        const int64_t i = k - p.at;
        return i >= 0 && i < int64_t(p.data.sampleCount()) ? float(p.data.sample(std::size_t(i))) : 0.0f;
    };
    std::vector<float> a(std::size_t(std::max<int64_t>(width, 0)));
    for (int64_t k = 0; k < width; ++k) a[std::size_t(k)] = at(outgoing, from + k);
    std::vector<float> b(std::size_t(std::max<int64_t>(width + 2 * reach, 0)));
    for (int64_t k = 0; k < width + 2 * reach; ++k) b[std::size_t(k)] = at(incoming, from - reach + k);
    int64_t shift = 0;
    float best = 0;
    for (int64_t d = -reach; d <= reach; ++d) {
        // Shifted by d, the incoming sample at from + k is b[k + reach - d].
        const float* bb = b.data() + (reach - d);
        float c = 0;
        for (int64_t k = 0; k < width; ++k) c += a[std::size_t(k)] * bb[k];
        if (c > best) best = c, shift = d;
    }
    return shift;
}

// The crossfade of a piece over the sound before: its overlap scaled as its lead-in was
// (lead-in samples × overlap ÷ marker B), at least kMinCrossfadeMs where the lead-in
// allows, and ending before the handover to the note's own pitch.
int64_t crossfadeOf(const VoiceSample& s, int64_t lead, int64_t handover, uint32_t rate) {
    const int64_t room = std::max<int64_t>(1, lead - handover);
    int64_t w = s.markerB > 0 ? lead * int64_t(s.overlap) / int64_t(s.markerB) : 0;
    w = std::max<int64_t>(w, std::llround(kMinCrossfadeMs * rate / 1000.0));
    return std::clamp<int64_t>(w, 1, room);
}

// Where an ending (lead-in `lead` output samples) starts, so that its consonant (marker
// B to D, scaled as its lead-in) ends where the crossfade [leadAt, leadAt + width) of
// the incoming lead-in does.
int64_t endingStart(const VoiceSample& e, int64_t lead, int64_t leadAt, int64_t width) {
    const int64_t tail = e.markerB > 0 ? lead * int64_t(e.markerD - std::min(e.markerD, e.markerB)) / int64_t(e.markerB) : 0;
    return leadAt + width - tail - lead;
}

// The pieces of one run of touching syllables into one entry. False when memory runs out.
bool mixPieces(std::vector<Piece>& pieces, uint32_t packed, uint32_t rate, uint32_t startTick, SoundEntry& out) {
    int64_t origin = std::numeric_limits<int64_t>::max(), last = 0;
    for (const Piece& p : pieces) {
        if (!p.data.hasData()) continue;
        origin = std::min(origin, p.at);
        last = std::max(last, p.outTo >= 0 ? std::min(p.end(), p.outTo) : p.end());
    }
    out = SoundEntry{};
    if (origin == std::numeric_limits<int64_t>::max()) return true;
    origin = std::max<int64_t>(origin, 0);
    // The entry starts on a whole millisecond at or before its first sound.
    const int64_t originMs = origin * 1000 / rate;
    origin = originMs * rate / 1000;
    if (last <= origin) return true;
    std::vector<float> sum(std::size_t(last - origin), 0.0f);
    for (const Piece& p : pieces) {
        const int64_t n = int64_t(p.data.sampleCount());
        for (int64_t i = std::max<int64_t>(0, origin - p.at); i < n; ++i) {
            const int64_t k = p.at + i;
            if (k >= last || (p.outTo >= 0 && k >= p.outTo)) break;
            double g = 1.0;
            if (p.inTo > p.inFrom && k < p.inTo) g *= k < p.inFrom ? 0.0 : double(k - p.inFrom) / double(p.inTo - p.inFrom);
            if (p.outTo > p.outFrom && k >= p.outFrom) g *= 1.0 - double(k - p.outFrom) / double(p.outTo - p.outFrom);
            sum[std::size_t(k - origin)] += float(g * p.data.sample(std::size_t(i)));
        }
    }
    if (!out.data.allocate(sum.size() * 2)) return false;
    for (std::size_t i = 0; i < sum.size(); ++i) {
        const float v = std::clamp(sum[i], -32768.0f, 32767.0f);
        out.data.setSample(i, static_cast<int16_t>(v + (v < 0 ? -0.5f : 0.5f)));
    }
    out.startMs = static_cast<uint32_t>(std::min<int64_t>(originMs, 0xFFFFFFFF));
    out.durationMs = millisecondsForBytes(packed, rate, out.data.byteLength());
    out.kind = kEntryMono;
    out.startTick = startTick;
    return true;
}

// Keeps a list in start order; equal starts keep their order.
void insertInStartOrder(std::vector<SoundEntry>& rendered, SoundEntry&& entry) {
    auto at = std::find_if(rendered.begin(), rendered.end(),
                           [&](const SoundEntry& e) { return e.hasData() && e.startMs > entry.startMs; });
    rendered.insert(at, std::move(entry));
}

// Drops the first `n` samples of a buffer.
bool dropFront(SoundBuffer& b, int64_t n) {
    if (n <= 0) return true;
    const std::size_t count = b.sampleCount();
    const std::size_t drop = std::min<std::size_t>(count, std::size_t(n));
    SoundBuffer rest;
    if (!rest.assign(b.bytes().subspan(2 * drop))) return false;
    b = std::move(rest);
    return true;
}

}  // namespace

bool SynthEngine::renderContextNotes(const Voice& voice, const PhraseRequest& request,
                                     const std::vector<SynthNote>& notes, std::vector<SoundEntry>& rendered) {
    const uint32_t rate = outRate_;
    auto samplesAt = [rate](int64_t ms) { return ms * int64_t(rate) / 1000; };
    const int64_t handover = std::max<int64_t>(1, std::llround(kHandoverMs * rate / 1000.0));

    // What each syllable sings: its sample, whether it joins the syllable before (index
    // -1: the request's note before the phrase), and a CVVC ending before it.
    struct Choice {
        const VoiceSample* sample = nullptr;
        bool joined = false;
        const SynthNote* prev = nullptr;
        const VoiceSample* ending = nullptr;
    };
    auto choose = [&](const SynthNote& n, const SynthNote* prev, bool prevSounds) {
        Choice c;
        if (n.code.empty()) return c;
        c.sample = voices_.findSampleForNote(voice, n.code, n.pitch);
        if (!prev || !prevSounds || prev->code.empty()) return c;
        const std::string after = finalSound(prev->code);
        const VoiceSample* ctx = after.empty() ? nullptr
                                               : findContextSample(voice, SampleKind::After, n.code, after, n.pitch);
        const VoiceSample* s = ctx ? ctx : c.sample;
        if (!s || !s->hasSound()) return c;
        // Touching: the gap after the note before is bridged by the lead-in's part after
        // its crossfade (at the sample's own pitch, as the bank marks it).
        const int64_t gap = sungStart(n) - (sungStart(*prev) + prev->lengthMs);
        const int64_t bridged = millisecondsForBytes(kMono16, kRate44100, s->markerB - std::min(s->overlap, s->markerB));
        if (gap > bridged || sungStart(n) <= sungStart(*prev)) return c;
        c.sample = s;
        c.joined = true;
        c.prev = prev;
        if (!ctx && !after.empty()) {
            const std::string consonant = leadingConsonant(n.code);
            if (!consonant.empty())
                c.ending = findContextSample(voice, SampleKind::Ending, consonant, after, prev->pitch);
        }
        return c;
    };
    std::vector<Choice> choices(notes.size());
    bool beforeSounds = false;
    if (!request.before.code.empty()) {
        const VoiceSample* s = voices_.findSampleForNote(voice, request.before.code, request.before.pitch);
        beforeSounds = s && s->hasSound();
    }
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const bool prevSounds = i == 0 ? beforeSounds : (choices[i - 1].sample && choices[i - 1].sample->hasSound());
        choices[i] = choose(notes[i], i == 0 ? &request.before : &notes[i - 1], prevSounds);
        if (choices[i].sample && !choices[i].sample->hasSound()) choices[i].sample = nullptr;
    }
    // The note after the phrase, as it will be chosen when its phrase is sung.
    Choice next;
    if (!request.after.code.empty() && !notes.empty())
        next = choose(request.after, &notes.back(), choices.back().sample != nullptr);

    // The lead-in of `sample` sung at `prev`'s pitch for note `n`: placed so that its
    // marker B lands on the note's start, reaching `handover` past it.
    auto leadPiece = [&](const VoiceSample& sample, const SynthNote& n, const SynthNote& prev, uint32_t lengthMs,
                         Piece& piece, int64_t& lead) {
        SynthNote l = n;
        l.frequency = prev.frequency;
        l.curve = ExpressionCurve{};
        l.lengthMs = lengthMs;
        l.startMs = static_cast<uint32_t>(std::max<int64_t>(0, sungStart(n)));
        SoundEntry e;
        if (!renderSampleEntry(voice, sample, l, 0, e, &lead)) return false;
        piece.data = std::move(e.data);
        piece.at = samplesAt(sungStart(n)) - lead;
        return true;
    };

    std::vector<Piece> pieces;
    uint32_t runTick = 0;
    auto flush = [&]() {
        if (pieces.empty()) return true;
        SoundEntry joined;
        if (!mixPieces(pieces, outPacked_, rate, runTick, joined)) return fail(text::kOutOfMemory);
        pieces.clear();
        if (joined.hasData()) insertInStartOrder(rendered, std::move(joined));
        return true;
    };
    // Lays `incoming` over the last piece: aligned, the last piece fading out over the
    // incoming one's crossfade [from, from + width) and ending there. Returns the shift.
    auto joinPiece = [&](Piece& incoming, int64_t from, int64_t width, uint32_t frequency) {
        int64_t shift = 0;
        if (!pieces.empty()) {
            const double period = double(rate) * 1000.0 / std::max<uint32_t>(frequency, 1);
            const int64_t reach = std::clamp<int64_t>(std::llround(period / 2), 0, samplesAt(10));
            shift = bestShift(pieces.back(), incoming, from, width, reach);
            pieces.back().outFrom = from + shift;
            pieces.back().outTo = from + shift + width;
        }
        incoming.at += shift;
        incoming.inFrom = from + shift;
        incoming.inTo = from + shift + width;
        return shift;
    };

    for (std::size_t i = 0; i < notes.size(); ++i) {
        const SynthNote& n = notes[i];
        const Choice& c = choices[i];
        if (!c.sample) {
            if (!flush()) return false;
            continue;
        }
        const bool joinsNext = i + 1 < notes.size() ? choices[i + 1].joined : next.joined;
        const uint32_t extra = joinsNext ? kOverhangMs + uint32_t(std::max<int64_t>(0, sungStart(i + 1 < notes.size() ? notes[i + 1] : request.after) - sungStart(n) - n.lengthMs)) : 0;
        if (!c.joined) {
            if (!flush()) return false;
            SoundEntry e;
            int64_t lead = 0;
            if (!renderSampleEntry(voice, *c.sample, n, extra, e, &lead)) return false;
            if (!e.hasData()) continue;
            Piece p;
            p.data = std::move(e.data);
            p.at = samplesAt(sungStart(n)) - lead;
            runTick = n.startTick;
            pieces.push_back(std::move(p));
        } else {
            if (pieces.empty()) runTick = n.startTick;
            const SynthNote& prev = *c.prev;
            const int64_t start = samplesAt(sungStart(n));
            // The lead-in at the outgoing pitch.
            Piece lead;
            int64_t leadLength = 0;
            if (!leadPiece(*c.sample, n, prev, 15, lead, leadLength)) return false;
            const int64_t hand = std::min(handover, std::max<int64_t>(leadLength / 2, 1));
            const int64_t width = crossfadeOf(*c.sample, leadLength, hand, rate);
            // The CVVC ending first: its vowel over the outgoing note, its consonant (marker
            // B to D) ending where the lead-in's crossfade does.
            if (c.ending) {
                Piece ending;
                int64_t endingLead = 0;
                // Sung long enough for its consonant at any pitch ratio up to two.
                const uint32_t tailBytes = c.ending->markerD - std::min(c.ending->markerD, c.ending->markerB);
                const uint32_t ms = 2 * millisecondsForBytes(kMono16, kRate44100, tailBytes) +
                                    uint32_t(width * 1000 / rate) + kOverhangMs;
                SynthNote e = prev;
                e.code = c.ending->code;
                e.curve = ExpressionCurve{};
                e.lengthMs = ms;
                e.startMs = static_cast<uint32_t>(std::max<int64_t>(0, sungStart(n)));
                SoundEntry entry;
                if (!renderSampleEntry(voice, *c.ending, e, 0, entry, &endingLead)) return false;
                ending.data = std::move(entry.data);
                ending.at = endingStart(*c.ending, endingLead, lead.at, width);
                const int64_t w = crossfadeOf(*c.ending, endingLead, hand, rate);
                joinPiece(ending, ending.at, w, prev.frequency);
                pieces.push_back(std::move(ending));
            }
            const int64_t from = lead.at;
            const int64_t shift = joinPiece(lead, from, width, prev.frequency);
            // The syllable at its own pitch from just before its start.
            SoundEntry e;
            int64_t mainLead = 0;
            if (!renderSampleEntry(voice, *c.sample, n, extra, e, &mainLead)) return false;
            Piece main;
            const int64_t h = std::min(hand, mainLead);
            main.data = std::move(e.data);
            if (!dropFront(main.data, mainLead - h)) return fail(text::kOutOfMemory);
            main.at = start - h + shift;
            // Its periods laid on the lead-in's over the handover (formant-keeping grains
            // do not keep the phase the two pitches share at marker B).
            const double period = double(rate) * 1000.0 / std::max<uint32_t>(n.frequency, 1);
            const int64_t reach = std::clamp<int64_t>(std::llround(period / 2), 0, samplesAt(5));
            const int64_t d = bestShift(lead, main, start - h + shift, 2 * h, reach);
            main.at += d;
            main.inFrom = start - h + shift + d;
            main.inTo = start + h + shift + d;
            lead.outFrom = main.inFrom;
            lead.outTo = main.inTo;
            pieces.push_back(std::move(lead));
            pieces.push_back(std::move(main));
        }
        // The last syllable fades where the next phrase's first syllable comes in.
        if (i + 1 == notes.size() && next.joined && !pieces.empty()) {
            Piece probe;
            int64_t leadLength = 0;
            if (!leadPiece(*next.sample, request.after, n, 15, probe, leadLength)) return false;
            const int64_t hand = std::min(handover, std::max<int64_t>(leadLength / 2, 1));
            int64_t from = probe.at;
            int64_t width = crossfadeOf(*next.sample, leadLength, hand, rate);
            if (next.ending) {
                // The ending comes in first, its own crossfade before the lead-in.
                SoundEntry entry;
                int64_t endingLead = 0;
                SynthNote e = n;
                e.code = next.ending->code;
                e.curve = ExpressionCurve{};
                e.lengthMs = 1;
                if (!renderSampleEntry(voice, *next.ending, e, 0, entry, &endingLead)) return false;
                from = endingStart(*next.ending, endingLead, probe.at, width);
                width = crossfadeOf(*next.ending, endingLead, hand, rate);
            }
            pieces.back().outFrom = from;
            pieces.back().outTo = from + width;
        }
        if (!joinsNext && !flush()) return false;
    }
    return flush();
}

}  // namespace kantor

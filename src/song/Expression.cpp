#include "song/Expression.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "song/Song.h"

namespace kantor {
namespace {

uint16_t getU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
void putU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

constexpr std::size_t kNoteDefaultsAt = 0;       // within VoiceSettings::reserved2 (file offset 72)
constexpr std::size_t kSyllableDefaultsAt = 40;  // file offset 112
static_assert(kSyllableDefaultsAt + SyllableSettings::kSize <= VoiceSettings::kTailSize);

std::string outOfRange(const char* what, long lo, long hi) {
    return std::string(what) + " must be " + std::to_string(lo) + ".." + std::to_string(hi);
}

}  // namespace

void NoteExpression::inheritFrom(const NoteExpression& from) {
    if (!has(NoteValue::Vibrato) && from.has(NoteValue::Vibrato)) {
        vibratoDepthCents = from.vibratoDepthCents;
        vibratoRateCentiHz = from.vibratoRateCentiHz;
        vibratoDelayMs = from.vibratoDelayMs;
        vibratoFadeMs = from.vibratoFadeMs;
    }
    if (!has(NoteValue::Smoothing) && from.has(NoteValue::Smoothing)) smoothingMs = from.smoothingMs;
    if (!has(NoteValue::Falsetto) && from.has(NoteValue::Falsetto)) falsetto = from.falsetto;
    if (!has(NoteValue::Time) && from.has(NoteValue::Time)) timeMs = from.timeMs;
    if (!has(NoteValue::Pitch) && from.has(NoteValue::Pitch)) detuneCents = from.detuneCents;
    if (!has(NoteValue::Power) && from.has(NoteValue::Power)) power = from.power;
    if (!has(NoteValue::Attack) && from.has(NoteValue::Attack)) attackCs = from.attackCs;
    set = static_cast<uint16_t>(set | from.set);
}

std::string NoteExpression::check() const {
    if (vibratoDepthCents > 200) return outOfRange("vibrato depth (cents)", 0, 200);
    if (vibratoRateCentiHz > 1500) return "vibrato rate must be 0.00..15.00 Hz";
    if (vibratoDelayMs > 10000) return outOfRange("vibrato delay (ms)", 0, 10000);
    if (vibratoFadeMs > 10000) return outOfRange("vibrato fade-in (ms)", 0, 10000);
    if (smoothingMs > 1000) return outOfRange("smoothing (ms)", 0, 1000);
    if (timeMs < -1000 || timeMs > 1000) return outOfRange("time (ms)", -1000, 1000);
    if (detuneCents < -1200 || detuneCents > 1200) return outOfRange("pitch (cents)", -1200, 1200);
    if (power < 1 || power > 10000) return "power must be 0.001..10.000";
    if (attackCs > 100) return "attack must be 0.00..1.00 s";
    return {};
}

std::optional<NoteExpression> NoteExpression::decode(const NoteSettings& rec) {
    const uint8_t* b = rec.bytes.data();
    if (std::memcmp(b, kNoteTag.data(), kNoteTag.size()) != 0) return std::nullopt;
    NoteExpression e;
    e.set = static_cast<uint16_t>(getU16(b + 4) & 0x7F);
    e.vibratoDepthCents = getU16(b + 6);
    e.vibratoRateCentiHz = getU16(b + 8);
    e.vibratoDelayMs = getU16(b + 10);
    e.vibratoFadeMs = getU16(b + 12);
    e.smoothingMs = getU16(b + 14);
    e.falsetto = b[16] != 0;
    e.timeMs = static_cast<int16_t>(getU16(b + 18));
    e.detuneCents = static_cast<int16_t>(getU16(b + 20));
    e.power = getU16(b + 22);
    e.attackCs = getU16(b + 24);
    // A value out of range (a damaged or foreign record) is brought back into range.
    e.vibratoDepthCents = std::min<uint16_t>(e.vibratoDepthCents, 200);
    e.vibratoRateCentiHz = std::min<uint16_t>(e.vibratoRateCentiHz, 1500);
    e.vibratoDelayMs = std::min<uint16_t>(e.vibratoDelayMs, 10000);
    e.vibratoFadeMs = std::min<uint16_t>(e.vibratoFadeMs, 10000);
    e.smoothingMs = std::min<uint16_t>(e.smoothingMs, 1000);
    e.timeMs = std::clamp<int16_t>(e.timeMs, -1000, 1000);
    e.detuneCents = std::clamp<int16_t>(e.detuneCents, -1200, 1200);
    e.power = std::clamp<uint16_t>(e.power, 1, 10000);
    e.attackCs = std::min<uint16_t>(e.attackCs, 100);
    return e;
}

NoteSettings NoteExpression::encode() const {
    NoteSettings rec;
    uint8_t* b = rec.bytes.data();
    std::memcpy(b, kNoteTag.data(), kNoteTag.size());
    putU16(b + 4, set);
    putU16(b + 6, vibratoDepthCents);
    putU16(b + 8, vibratoRateCentiHz);
    putU16(b + 10, vibratoDelayMs);
    putU16(b + 12, vibratoFadeMs);
    putU16(b + 14, smoothingMs);
    b[16] = falsetto ? 1 : 0;
    putU16(b + 18, static_cast<uint16_t>(timeMs));
    putU16(b + 20, static_cast<uint16_t>(detuneCents));
    putU16(b + 22, power);
    putU16(b + 24, attackCs);
    return rec;
}

void SyllableExpression::inheritFrom(const SyllableExpression& from) {
    if (!has(SyllableValue::Power) && from.has(SyllableValue::Power)) power = from.power;
    if (!has(SyllableValue::ConsonantSpeed) && from.has(SyllableValue::ConsonantSpeed))
        consonantSpeed = from.consonantSpeed;
    set = static_cast<uint16_t>(set | from.set);
}

std::string SyllableExpression::check() const {
    if (power < 1 || power > 10000) return "syllable power must be 0.001..10.000";
    if (consonantSpeed < 25 || consonantSpeed > 400) return outOfRange("consonant speed (%)", 25, 400);
    return {};
}

std::optional<SyllableExpression> SyllableExpression::decode(const SyllableSettings& rec) {
    const uint8_t* b = rec.bytes.data();
    if (std::memcmp(b, kSyllableTag.data(), kSyllableTag.size()) != 0) return std::nullopt;
    SyllableExpression e;
    e.set = static_cast<uint16_t>(getU16(b + 4) & 0x3);
    e.power = std::clamp<uint16_t>(getU16(b + 6), 1, 10000);
    e.consonantSpeed = std::clamp<uint16_t>(getU16(b + 8), 25, 400);
    return e;
}

SyllableSettings SyllableExpression::encode() const {
    SyllableSettings rec;
    uint8_t* b = rec.bytes.data();
    std::memcpy(b, kSyllableTag.data(), kSyllableTag.size());
    putU16(b + 4, set);
    putU16(b + 6, power);
    putU16(b + 8, consonantSpeed);
    return rec;
}

NoteExpression noteDefaultsOf(const VoiceSettings& s) {
    NoteSettings rec;
    std::copy_n(s.reserved2.begin() + kNoteDefaultsAt, NoteSettings::kSize, rec.bytes.begin());
    return NoteExpression::decode(rec).value_or(NoteExpression{});
}

SyllableExpression syllableDefaultsOf(const VoiceSettings& s) {
    SyllableSettings rec;
    std::copy_n(s.reserved2.begin() + kSyllableDefaultsAt, SyllableSettings::kSize, rec.bytes.begin());
    return SyllableExpression::decode(rec).value_or(SyllableExpression{});
}

void setNoteDefaults(VoiceSettings& s, const NoteExpression& e) {
    NoteSettings rec;  // nothing set: the bytes go back to zero, as in a record of no one's
    if (e.set != 0) rec = e.encode();
    std::copy(rec.bytes.begin(), rec.bytes.end(), s.reserved2.begin() + kNoteDefaultsAt);
}

void setSyllableDefaults(VoiceSettings& s, const SyllableExpression& e) {
    SyllableSettings rec;
    if (e.set != 0) rec = e.encode();
    std::copy(rec.bytes.begin(), rec.bytes.end(), s.reserved2.begin() + kSyllableDefaultsAt);
}

// The glide: a raised-cosine rise to the target plus a small overshoot over the span, then a
// settle back over half the span. Progress p(u) for u = t / span.
namespace {

double glideProgress(double u) {
    if (u <= 0) return 0;
    if (u < 1) return (1 + kGlideOvershoot) * (0.5 - 0.5 * std::cos(std::numbers::pi * u));
    if (u < 1.5) return 1 + kGlideOvershoot * (0.5 + 0.5 * std::cos(std::numbers::pi * (u - 1) / 0.5));
    return 1;
}

}  // namespace

double glideSpanForSmoothing(double smoothingMs) {
    // Where the rise crosses 10 % and 90 % of the change, as shares of the span.
    const double s = 1 + kGlideOvershoot;
    const double u10 = std::acos(1 - 2 * 0.1 / s) / std::numbers::pi;
    const double u90 = std::acos(1 - 2 * 0.9 / s) / std::numbers::pi;
    return smoothingMs / (u90 - u10);
}

bool ExpressionCurve::pitchFlat() const {
    const bool glides = glideMs > 0 && glideFromCents != 0;
    const bool vibrato = vibratoDepthCents > 0 && vibratoRateHz > 0;
    return !glides && !vibrato;
}

double ExpressionCurve::centsAt(double t) const {
    double c = 0;
    if (glideMs > 0 && glideFromCents != 0) c += glideFromCents * (1 - glideProgress(t / glideMs));
    if (vibratoDepthCents > 0 && vibratoRateHz > 0 && t > vibratoDelayMs) {
        const double since = t - vibratoDelayMs;
        const double fade = vibratoFadeMs > 0 ? std::min(1.0, since / vibratoFadeMs) : 1.0;
        c += vibratoDepthCents * fade * std::sin(2 * std::numbers::pi * vibratoRateHz * since / 1000.0);
    }
    return c;
}

double ExpressionCurve::levelAt(double fromSound) const {
    double level = gain;
    if (attackMs > 0) {
        // 1 - exp(-t / tau) reaches -3 dB (1/sqrt 2) at the attack time.
        const double tau = attackMs / -std::log(1 - 1 / std::numbers::sqrt2);
        level *= fromSound <= 0 ? 0.0 : 1 - std::exp(-fromSound / tau);
    }
    return level;
}

double ExpressionCurve::maxRatio() const {
    double cents = 0;
    if (glideMs > 0 && glideFromCents != 0) {
        cents += std::max(glideFromCents, -glideFromCents * kGlideOvershoot);
    }
    if (vibratoDepthCents > 0 && vibratoRateHz > 0) cents += vibratoDepthCents;
    return std::pow(2.0, std::max(0.0, cents) / 1200.0);
}

NoteExpression resolvedNoteExpression(const Song& song, int c, const VoxEvent& e) {
    NoteExpression out;
    if (e.noteSettingsIndex != 0) {
        if (const NoteSettings* rec = song.noteSettings(c, e.noteSettingsIndex))
            out = NoteExpression::decode(*rec).value_or(NoteExpression{});
    }
    out.inheritFrom(noteDefaultsOf(song.channelDefaults(c)));
    out.inheritFrom(noteDefaultsOf(song.songDefaults()));
    return out;
}

SyllableExpression resolvedSyllableExpression(const Song& song, int c, const VoxEvent& e, int slot) {
    SyllableExpression out;
    const uint16_t index = e.syllableSettingsIndex[static_cast<std::size_t>(slot)];
    if (index != 0) {
        if (const SyllableSettings* rec = song.syllableSettings(c, index))
            out = SyllableExpression::decode(*rec).value_or(SyllableExpression{});
    }
    out.inheritFrom(syllableDefaultsOf(song.channelDefaults(c)));
    out.inheritFrom(syllableDefaultsOf(song.songDefaults()));
    return out;
}

NoteExpression naturalExpression(uint32_t noteMs) {
    NoteExpression natural;
    natural.mark(NoteValue::Smoothing, true);
    natural.smoothingMs = AutoExpression::kSmoothingMs;
    natural.mark(NoteValue::Attack, true);
    natural.attackCs = AutoExpression::kAttackCs;
    if (noteMs >= AutoExpression::kVibratoMinNoteMs) {
        natural.mark(NoteValue::Vibrato, true);
        natural.vibratoDepthCents = AutoExpression::kVibratoDepth;
        natural.vibratoRateCentiHz = AutoExpression::kVibratoRateCentiHz;
        natural.vibratoDelayMs = AutoExpression::kVibratoDelayMs;
        natural.vibratoFadeMs = AutoExpression::kVibratoFadeMs;
    }
    return natural;
}

ExpressionCurve curveOf(const NoteExpression& in, const SyllableExpression& syllable, std::optional<double> prevCents,
                        uint32_t noteMs, ExpressionMode mode) {
    NoteExpression n = in;
    if (mode == ExpressionMode::Auto) n.inheritFrom(naturalExpression(noteMs));
    ExpressionCurve k;
    if (n.has(NoteValue::Vibrato)) {
        k.vibratoDepthCents = n.vibratoDepthCents;
        k.vibratoRateHz = n.vibratoRateCentiHz / 100.0;
        k.vibratoDelayMs = n.vibratoDelayMs;
        k.vibratoFadeMs = n.vibratoFadeMs;
    }
    if (n.has(NoteValue::Smoothing) && n.smoothingMs > 0 && prevCents && *prevCents != 0) {
        k.glideFromCents = *prevCents;
        k.glideMs = glideSpanForSmoothing(n.smoothingMs);
    }
    if (n.has(NoteValue::Pitch)) k.detuneCents = n.detuneCents;
    if (n.has(NoteValue::Time)) k.timeShiftMs = n.timeMs;
    if (n.has(NoteValue::Falsetto)) k.falsetto = n.falsetto;
    double gain = 1.0;
    if (n.has(NoteValue::Power)) gain *= n.power / 1000.0;
    if (syllable.has(SyllableValue::Power)) gain *= syllable.power / 1000.0;
    k.gain = gain;
    if (n.has(NoteValue::Attack)) k.attackMs = n.attackCs * 10.0;
    if (syllable.has(SyllableValue::ConsonantSpeed)) k.consonantSpeed = syllable.consonantSpeed / 100.0;
    return k;
}

ExpressionCurve expressionCurve(const Song& song, int c, const std::vector<const VoxEvent*>& notes, std::size_t i,
                                int slot, uint32_t noteMs, ExpressionMode mode) {
    const VoxEvent& e = *notes[i];
    const NoteExpression note = resolvedNoteExpression(song, c, e);
    const SyllableExpression syl = resolvedSyllableExpression(song, c, e, slot);
    std::optional<double> prev;
    // Only the first syllable of a note glides in from the previous note; later ones are
    // sung on the note's pitch.
    bool firstSlot = true;
    for (int s = 0; s < slot; ++s) firstSlot = firstSlot && e.syllableLength[static_cast<std::size_t>(s)] == 0;
    // Notes touch when the next starts at the end of the previous, or in a short gap after it
    // (at most an eighth of the previous note: a MIDI legato often leaves a few ticks), or
    // while it still sounds.
    auto touches = [&](const VoxEvent& p) {
        if (p.endTick >= e.startTick) return p.startTick < e.startTick;
        const uint64_t gap = e.startTick - p.endTick;
        return gap * 8 <= uint64_t(p.endTick - p.startTick);
    };
    if (firstSlot && i > 0 && notes[i - 1] && touches(*notes[i - 1])) {
        const VoxEvent& p = *notes[i - 1];
        const NoteExpression pn = resolvedNoteExpression(song, c, p);
        const double prevDetune = pn.has(NoteValue::Pitch) ? pn.detuneCents : 0.0;
        const double thisDetune = note.has(NoteValue::Pitch) ? note.detuneCents : 0.0;
        prev = (double(p.noteKey) - double(e.noteKey)) * 100.0 + prevDetune - thisDetune;
    }
    return curveOf(note, syl, prev, noteMs, mode);
}

namespace {

template <typename Rec>
bool allZero(const Rec& r) {
    for (uint8_t b : r.bytes)
        if (b != 0) return false;
    return true;
}

// How many events of the channel point at each record (by its 1-based index; 16 bits),
// counted once for an edit, so that an edit of a few notes of a long channel costs one pass
// over it rather than one per note. `each` calls its argument with every index an event holds.
template <typename Each>
std::vector<uint32_t> referenceCounts(const SlotList<VoxEvent>& events, Each each) {
    std::vector<uint32_t> counts(std::size_t(UINT16_MAX) + 1, 0);
    for (const auto& e : events)
        if (e) each(*e, [&](uint16_t index) { ++counts[index]; });
    return counts;
}

}  // namespace

bool setNoteExpression(Song& song, int c, std::size_t first, std::size_t last, const NoteExpression& values,
                       uint16_t toDefault, std::string& error) {
    error.clear();
    auto& ch = song.channel(c);
    if (first > last || last >= ch.events.size()) {
        error = "the channel has " + std::to_string(ch.events.size()) + " notes";
        return false;
    }
    if (const std::string bad = values.check(); !bad.empty()) {
        error = bad;
        return false;
    }
    // Check every note before changing any.
    for (std::size_t i = first; i <= last; ++i) {
        const VoxEvent* e = ch.events[i].get();
        if (!e) continue;
        const NoteSettings* rec = song.noteSettings(c, e->noteSettingsIndex);
        if (rec && !NoteExpression::decode(*rec) && !allZero(*rec)) {
            error = "note " + std::to_string(i + 1) + " holds note settings written by another program; they are left as they are";
            return false;
        }
    }
    std::vector<uint32_t> refs =
        referenceCounts(ch.events, [](const VoxEvent& e, const auto& count) { count(e.noteSettingsIndex); });
    for (std::size_t i = first; i <= last; ++i) {
        VoxEvent* e = ch.events[i].get();
        if (!e) continue;
        if (e->noteSettingsIndex != 0 && !song.noteSettings(c, e->noteSettingsIndex)) {
            --refs[e->noteSettingsIndex];
            e->noteSettingsIndex = 0;
        }
        NoteExpression mine;
        if (e->noteSettingsIndex != 0)
            mine = NoteExpression::decode(*song.noteSettings(c, e->noteSettingsIndex)).value_or(NoteExpression{});
        // Values given now win; the note's other values stay.
        NoteExpression merged = values;
        merged.inheritFrom(mine);
        merged.set = static_cast<uint16_t>((merged.set) & ~toDefault);
        if (merged == mine) continue;
        if (e->noteSettingsIndex == 0 || refs[e->noteSettingsIndex] > 1) {
            if (e->noteSettingsIndex == 0 && merged.set == 0) continue;
            const uint16_t made = song.newNoteSettings(c);
            if (made == 0) {
                error = song.lastError();
                return false;
            }
            --refs[e->noteSettingsIndex];
            ++refs[made];
            e->noteSettingsIndex = made;
        }
        *ch.noteSettings[e->noteSettingsIndex - 1u] = merged.encode();
    }
    return true;
}

bool setSyllableExpression(Song& song, int c, std::size_t first, std::size_t last, const SyllableExpression& values,
                           uint16_t toDefault, std::string& error) {
    error.clear();
    auto& ch = song.channel(c);
    if (first > last || last >= ch.events.size()) {
        error = "the channel has " + std::to_string(ch.events.size()) + " notes";
        return false;
    }
    SyllableExpression given = values;
    if (!given.has(SyllableValue::Power)) given.power = 1000;
    if (!given.has(SyllableValue::ConsonantSpeed)) given.consonantSpeed = 100;
    if (const std::string bad = given.check(); !bad.empty()) {
        error = bad;
        return false;
    }
    for (std::size_t i = first; i <= last; ++i) {
        const VoxEvent* e = ch.events[i].get();
        if (!e) continue;
        for (uint16_t index : e->syllableSettingsIndex) {
            const SyllableSettings* rec = song.syllableSettings(c, index);
            if (rec && !SyllableExpression::decode(*rec) && !allZero(*rec)) {
                error = "note " + std::to_string(i + 1) +
                        " holds syllable settings written by another program; they are left as they are";
                return false;
            }
        }
    }
    std::vector<uint32_t> refs = referenceCounts(ch.events, [](const VoxEvent& e, const auto& count) {
        for (uint16_t k : e.syllableSettingsIndex) count(k);
    });
    for (std::size_t i = first; i <= last; ++i) {
        VoxEvent* e = ch.events[i].get();
        if (!e) continue;
        for (std::size_t s = 0; s < VoxEvent::kSlots; ++s) {
            uint16_t& index = e->syllableSettingsIndex[s];
            if (index != 0 && !song.syllableSettings(c, index)) {
                --refs[index];
                index = 0;
            }
            if (e->syllableLength[s] == 0) continue;
            SyllableExpression mine;
            if (index != 0) mine = SyllableExpression::decode(*song.syllableSettings(c, index)).value_or(SyllableExpression{});
            SyllableExpression merged = given;
            merged.inheritFrom(mine);
            merged.set = static_cast<uint16_t>(merged.set & ~toDefault);
            if (merged == mine) continue;
            if (index == 0 || refs[index] > 1) {
                if (index == 0 && merged.set == 0) continue;
                const uint16_t made = song.newSyllableSettings(c);
                if (made == 0) {
                    error = song.lastError();
                    return false;
                }
                --refs[index];
                ++refs[made];
                index = made;
            }
            *ch.syllableSettings[index - 1u] = merged.encode();
        }
    }
    return true;
}

bool noteBatchExpression(Song& song, int c, const NoteBatchExpression& b, std::string& error) {
    error.clear();
    auto& events = song.channel(c).events;
    if (b.ratioPercent < 1 || b.ratioPercent > 400 || b.powerValue < 1 || b.powerValue > 10000 || b.attackCs > 100) {
        error = "a batch value is out of range";
        return false;
    }
    for (std::size_t i = 0; i < events.size(); ++i) {
        const VoxEvent* e = events[i].get();
        if (!e) continue;
        NoteExpression v;
        if (b.initialTime) {
            v.mark(NoteValue::Time, true);
            v.timeMs = 0;
        }
        if (b.initialPitch) {
            v.mark(NoteValue::Pitch, true);
            v.detuneCents = 0;
        }
        if (b.power == NoteBatchExpression::Power::Initial || b.power == NoteBatchExpression::Power::Value) {
            v.mark(NoteValue::Power, true);
            v.power = b.powerValue;
        } else if (b.power == NoteBatchExpression::Power::Ratio) {
            uint32_t own = 1000;
            if (const NoteSettings* rec = song.noteSettings(c, e->noteSettingsIndex))
                if (const auto d = NoteExpression::decode(*rec); d && d->has(NoteValue::Power)) own = d->power;
            v.mark(NoteValue::Power, true);
            v.power = static_cast<uint16_t>(std::clamp<uint32_t>(own * b.ratioPercent / 100u, 1, 10000));
        }
        if (b.setAttack) {
            v.mark(NoteValue::Attack, true);
            v.attackCs = b.attackCs;
        }
        // A note holding another program's record is left as it is.
        const NoteSettings* rec = song.noteSettings(c, e->noteSettingsIndex);
        if (rec && !NoteExpression::decode(*rec) && !allZero(*rec)) continue;
        if (!setNoteExpression(song, c, i, i, v, static_cast<uint16_t>(b.toDefault & 0x7F), error)) return false;
    }
    return true;
}

const char* noteValueName(NoteValue v) {
    switch (v) {
        case NoteValue::Vibrato: return "vibrato";
        case NoteValue::Smoothing: return "smoothing";
        case NoteValue::Falsetto: return "falsetto";
        case NoteValue::Time: return "time";
        case NoteValue::Pitch: return "pitch";
        case NoteValue::Power: return "power";
        case NoteValue::Attack: return "attack";
    }
    return "";
}

uint16_t noteValueBit(const std::string& name) {
    for (NoteValue v : kNoteValues)
        if (name == noteValueName(v)) return static_cast<uint16_t>(v);
    return 0;
}

uint16_t syllableValueBit(const std::string& name) {
    if (name == "syllable-power") return static_cast<uint16_t>(SyllableValue::Power);
    if (name == "consonant-speed") return static_cast<uint16_t>(SyllableValue::ConsonantSpeed);
    return 0;
}

}  // namespace kantor

#pragma once
// Singing with expression: the inner layout of the per-note (40 bytes) and per-syllable
// (32 bytes) settings records, the defaults kept in the spare tail of the song and channel
// defaults, and the pure function from a note and its neighbours to the curves the
// synthesis samples (pitch in cents over time, level over time).
//
// A record is ours only when it begins with our 4-byte tag. Any other record (all zero, or
// written by another program) is opaque: it is kept, copied and saved as it is and sings
// as if it were absent.
//
// NoteSettings (40 bytes), little-endian:
//   0  4  tag "KXN1"
//   4  u16 set: which values the note sets itself (bit per NoteValue); a clear bit uses the default
//   6  u16 vibrato depth, cents (0..200; each way, so 50 swings between -50 and +50)
//   8  u16 vibrato rate, hundredths of a hertz (0..1500)
//  10  u16 vibrato delay from the note start, ms (0..10000)
//  12  u16 vibrato fade-in, ms (0..10000)
//  14  u16 pitch smoothing: the glide from the previous touching note, ms (0..1000)
//  16  u8  falsetto (0 or 1)
//  17  u8  0
//  18  i16 time: the sung onset moved by ms (-1000..1000)
//  20  i16 pitch: detune in cents (-1200..1200)
//  22  u16 power, thousandths (1..10000, that is 0.001..10.000)
//  24  u16 attack, hundredths of a second (0..100)
//  26  14 bytes 0
// SyllableSettings (32 bytes):
//   0  4  tag "KXS1"
//   4  u16 set (bit per SyllableValue)
//   6  u16 power, thousandths (1..10000)
//   8  u16 consonant speed, percent (25..400): 200 sings the part before marker B in half the time
//  10  22 bytes 0
// Defaults: the 72 spare bytes at offset 72 of the song defaults and of each channel's
// defaults hold a NoteSettings image (offset 72, 40 bytes) and a SyllableSettings image
// (offset 112, 32 bytes). The published file layout calls those bytes zero and carried
// unchanged, so a reader that knows only it loads and saves such a file as it is.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "song/SettingsRecords.h"
#include "song/VoiceSettings.h"
#include "song/VoxEvent.h"

namespace kantor {

class Song;
class TempoMap;

enum class NoteValue : uint16_t {
    Vibrato = 1u << 0,  // depth, rate, delay and fade-in together
    Smoothing = 1u << 1,
    Falsetto = 1u << 2,
    Time = 1u << 3,
    Pitch = 1u << 4,
    Power = 1u << 5,
    Attack = 1u << 6,
};
enum class SyllableValue : uint16_t { Power = 1u << 0, ConsonantSpeed = 1u << 1 };

inline constexpr std::array<uint8_t, 4> kNoteTag{'K', 'X', 'N', '1'};
inline constexpr std::array<uint8_t, 4> kSyllableTag{'K', 'X', 'S', '1'};

struct NoteExpression {
    uint16_t set = 0;  // NoteValue bits
    uint16_t vibratoDepthCents = 0;
    uint16_t vibratoRateCentiHz = 0;
    uint16_t vibratoDelayMs = 0;
    uint16_t vibratoFadeMs = 0;
    uint16_t smoothingMs = 0;
    bool falsetto = false;
    int16_t timeMs = 0;
    int16_t detuneCents = 0;
    uint16_t power = 1000;
    uint16_t attackCs = 0;

    bool has(NoteValue v) const { return (set & static_cast<uint16_t>(v)) != 0; }
    void mark(NoteValue v, bool on) {
        set = static_cast<uint16_t>(on ? set | static_cast<uint16_t>(v) : set & ~static_cast<uint16_t>(v));
    }
    // Takes every value this one does not set from `from`.
    void inheritFrom(const NoteExpression& from);
    // The first value out of range, as a message, or "".
    std::string check() const;

    // nullopt for a record without our tag (opaque).
    static std::optional<NoteExpression> decode(const NoteSettings& rec);
    NoteSettings encode() const;
    bool operator==(const NoteExpression&) const = default;
};

struct SyllableExpression {
    uint16_t set = 0;  // SyllableValue bits
    uint16_t power = 1000;
    uint16_t consonantSpeed = 100;

    bool has(SyllableValue v) const { return (set & static_cast<uint16_t>(v)) != 0; }
    void mark(SyllableValue v, bool on) {
        set = static_cast<uint16_t>(on ? set | static_cast<uint16_t>(v) : set & ~static_cast<uint16_t>(v));
    }
    void inheritFrom(const SyllableExpression& from);
    std::string check() const;

    static std::optional<SyllableExpression> decode(const SyllableSettings& rec);
    SyllableSettings encode() const;
    bool operator==(const SyllableExpression&) const = default;
};

// The defaults kept in a 144-byte song or channel defaults record (untagged: none).
NoteExpression noteDefaultsOf(const VoiceSettings& s);
SyllableExpression syllableDefaultsOf(const VoiceSettings& s);
void setNoteDefaults(VoiceSettings& s, const NoteExpression& e);
void setSyllableDefaults(VoiceSettings& s, const SyllableExpression& e);

// The curves of one sung syllable. Time t is in milliseconds from the note's sung start
// (after the time shift); the sound before it (the consonant) reads the curve at t < 0.
// A default-constructed curve is flat: the synthesis then takes its plain path.
struct ExpressionCurve {
    double detuneCents = 0;
    double glideFromCents = 0;  // where the glide starts, relative to this note
    double glideMs = 0;         // whole glide span (the 10-90 % rise is the smoothing time)
    double vibratoDepthCents = 0;
    double vibratoRateHz = 0;
    double vibratoDelayMs = 0;
    double vibratoFadeMs = 0;
    double gain = 1.0;      // power of the note times power of the syllable
    double attackMs = 0;    // time from the sound's first sample to -3 dB
    int32_t timeShiftMs = 0;
    bool falsetto = false;
    double consonantSpeed = 1.0;

    // No pitch movement beyond a constant detune.
    bool pitchFlat() const;
    // No level shaping.
    bool levelFlat() const { return gain == 1.0 && attackMs <= 0; }
    // Everything at its default: the synthesis sings exactly as without expression.
    bool flat() const {
        return pitchFlat() && detuneCents == 0 && levelFlat() && timeShiftMs == 0 && !falsetto &&
               consonantSpeed == 1.0;
    }
    // Cents from the note's pitch (detune excluded) at t ms.
    double centsAt(double t) const;
    // Level factor at `fromSound` ms after the sound's first sample.
    double levelAt(double fromSound) const;
    // The highest ratio of frequency to the note's (detune excluded) the curve reaches.
    double maxRatio() const;
};

// The overshoot of a glide past its target, as a share of the pitch change.
inline constexpr double kGlideOvershoot = 0.06;
// The whole glide span for a smoothing time (its 10-90 % rise).
double glideSpanForSmoothing(double smoothingMs);

// How notes without settings of their own sing.
enum class ExpressionMode { Off, Auto };

// The built-in natural values of the Auto mode.
struct AutoExpression {
    static constexpr uint32_t kVibratoMinNoteMs = 400;
    static constexpr uint16_t kVibratoDepth = 40;
    static constexpr uint16_t kVibratoRateCentiHz = 550;
    static constexpr uint16_t kVibratoDelayMs = 250;
    static constexpr uint16_t kVibratoFadeMs = 200;
    static constexpr uint16_t kSmoothingMs = 60;
    static constexpr uint16_t kAttackCs = 3;
};

// The natural values the Auto mode gives a note of `noteMs` for what nothing else sets:
// smoothing and attack always, vibrato from kVibratoMinNoteMs on.
NoteExpression naturalExpression(uint32_t noteMs);

// What one note sings with: its own values, else the channel's defaults, else the song's,
// else (Auto) the natural values or (Off) none. An index naming no record, or a record
// without our tag, counts as no record.
NoteExpression resolvedNoteExpression(const Song& song, int c, const VoxEvent& e);
SyllableExpression resolvedSyllableExpression(const Song& song, int c, const VoxEvent& e, int slot);

// The curves of slot `slot` of notes[i] (a phrase's notes in order, of channel c), with its
// neighbours: a note glides from the previous note when that one ends where it starts.
// noteMs is the note's length; keys and tuning give the pitches in cents.
ExpressionCurve expressionCurve(const Song& song, int c, const std::vector<const VoxEvent*>& notes, std::size_t i,
                                int slot, uint32_t noteMs, ExpressionMode mode);

// The curve of a note from already resolved values (the pure core of the above).
// prevKeyCents: the previous touching note's pitch in cents relative to this one, or nullopt.
ExpressionCurve curveOf(const NoteExpression& note, const SyllableExpression& syllable,
                        std::optional<double> prevCents, uint32_t noteMs, ExpressionMode mode);

// Writes the values marked in `values.set` into the note settings of notes first..last
// (0-based, inclusive) of channel c, and returns the values named by the bits of `toDefault`
// to "use the default". A note without a record gets a new one; an index naming no record
// is reset first; a record shared with another note is copied before it changes. A record of
// another program (no tag, not all zero) is never overwritten: the edit then fails before
// changing anything. False with `error` set (and nothing changed) on bad input.
bool setNoteExpression(Song& song, int c, std::size_t first, std::size_t last, const NoteExpression& values,
                       uint16_t toDefault, std::string& error);
// The same for the syllable settings of every sung slot of those notes.
bool setSyllableExpression(Song& song, int c, std::size_t first, std::size_t last, const SyllableExpression& values,
                           uint16_t toDefault, std::string& error);

// The expression choices of the note batch change ("ﾉｰﾄ一括変更"), written into the records
// of every note of the channel.
struct NoteBatchExpression {
    uint16_t toDefault = 0;       // "ﾃﾞﾌｫﾙﾄ使用にする": NoteValue bits (vibrato, smoothing, falsetto)
    bool initialTime = false;     // "初期値にする" 時間: 0 ms of the note's own
    bool initialPitch = false;    // 音程: 0 cents of the note's own
    enum class Power { Keep, Initial, Value, Ratio } power = Power::Keep;
    uint16_t powerValue = 1000;   // Initial and Value: thousandths
    uint16_t ratioPercent = 100;  // Ratio: 1..400, applied to the note's power (1.000 without one)
    bool setAttack = false;
    uint16_t attackCs = 0;
};
bool noteBatchExpression(Song& song, int c, const NoteBatchExpression& batch, std::string& error);

// Names of the note values as the command line and the JSON use them ("vibrato", "smoothing",
// "falsetto", "time", "pitch", "power", "attack"), and the bit of a name (0 when unknown).
const char* noteValueName(NoteValue v);
uint16_t noteValueBit(const std::string& name);
inline constexpr NoteValue kNoteValues[] = {NoteValue::Vibrato, NoteValue::Smoothing, NoteValue::Falsetto,
                                            NoteValue::Time,    NoteValue::Pitch,     NoteValue::Power,
                                            NoteValue::Attack};
// "syllable-power" and "consonant-speed".
uint16_t syllableValueBit(const std::string& name);

}  // namespace kantor

// kantor-cli note: the expression of a channel's notes (song/Expression.h).
//
//   note show SONG.uta --channel C [--json]   every note's own values, then the defaults
//   note set SONG.uta --channel C --note N[-M] VALUES...   writes the values into the notes
//   note set SONG.uta --channel C --defaults VALUES...     into the channel's defaults
// The song is written only when it changed, through a new file that replaces it when complete.
#include <cstdio>
#include <ostream>

#include "base/Translation.h"
#include "cli/Commands.h"
#include "cli/JsonOut.h"
#include "cli/Session.h"
#include "song/Expression.h"
#include "song/SongEdits.h"

namespace kantor::cli {
namespace {

// A whole number with an optional sign in [lo, hi].
bool parseInt(const std::string& t, long lo, long hi, long& v) {
    if (t.empty() || t.size() > 7) return false;
    std::size_t i = t[0] == '-' || t[0] == '+' ? 1 : 0;
    if (i == t.size()) return false;
    long n = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return false;
        n = n * 10 + (t[i] - '0');
    }
    v = t[0] == '-' ? -n : n;
    return v >= lo && v <= hi;
}

// A decimal with at most two decimals, in hundredths, in [0, hi].
bool parseHundredths(const std::string& t, long hi, long& v) {
    const std::size_t dot = t.find('.');
    long whole = 0, frac = 0;
    if (!parseInt(t.substr(0, dot), 0, 100000, whole) || (t[0] == '-' || t[0] == '+')) return false;
    if (dot != std::string::npos) {
        const std::string f = t.substr(dot + 1);
        if (f.empty() || f.size() > 2 || !parseInt(f, 0, 99, frac) || f[0] == '+' || f[0] == '-') return false;
        if (f.size() == 1) frac *= 10;
    }
    v = whole * 100 + frac;
    return v <= hi;
}

std::vector<std::string> split(const std::string& t, char sep) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = t.find(sep, from);
        parts.push_back(t.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) return parts;
        from = at + 1;
    }
}

std::string hundredths(long v) {
    char b[32];
    std::snprintf(b, sizeof b, "%ld.%02ld", v / 100, v % 100);
    return b;
}

// The values of the command line into `n` and `s`, with `usage` set on the first bad one.
bool readValues(const NoteArgs& a, NoteExpression& n, SyllableExpression& s, uint16_t& noteDefault,
                uint16_t& syllableDefault, std::string& usage) {
    long v = 0;
    if (!a.vibrato.empty()) {
        const auto p = split(a.vibrato, ':');
        long depth = 0, rate = 0, delay = 0, fade = 0;
        if ((p.size() != 3 && p.size() != 4) || !parseInt(p[0], 0, 200, depth) || !parseHundredths(p[1], 1500, rate) ||
            !parseInt(p[2], 0, 10000, delay) || (p.size() == 4 && !parseInt(p[3], 0, 10000, fade))) {
            usage = "--vibrato " + a.vibrato +
                    ": DEPTH:RATE:DELAY_MS[:FADE_MS] with depth 0-200 cents, rate 0-15.00 Hz, delay and fade 0-10000 ms";
            return false;
        }
        n.mark(NoteValue::Vibrato, true);
        n.vibratoDepthCents = uint16_t(depth);
        n.vibratoRateCentiHz = uint16_t(rate);
        n.vibratoDelayMs = uint16_t(delay);
        n.vibratoFadeMs = uint16_t(fade);
    }
    if (!a.smoothing.empty()) {
        if (!parseInt(a.smoothing, 0, 1000, v)) return usage = "--smoothing must be 0-1000 ms", false;
        n.mark(NoteValue::Smoothing, true);
        n.smoothingMs = uint16_t(v);
    }
    if (!a.falsetto.empty()) {
        if (a.falsetto != "on" && a.falsetto != "off") return usage = "--falsetto must be on or off", false;
        n.mark(NoteValue::Falsetto, true);
        n.falsetto = a.falsetto == "on";
    }
    if (!a.time.empty()) {
        if (!parseInt(a.time, -1000, 1000, v)) return usage = "--time must be -1000 to 1000 ms", false;
        n.mark(NoteValue::Time, true);
        n.timeMs = int16_t(v);
    }
    if (!a.pitch.empty()) {
        if (!parseInt(a.pitch, -1200, 1200, v)) return usage = "--pitch must be -1200 to 1200 cents", false;
        n.mark(NoteValue::Pitch, true);
        n.detuneCents = int16_t(v);
    }
    uint32_t thousandths = 0;
    if (!a.power.empty()) {
        if (!parsePowerValue(a.power, thousandths)) return usage = "--power must be 0.001 to 10.000", false;
        n.mark(NoteValue::Power, true);
        n.power = uint16_t(thousandths);
    }
    if (!a.attack.empty()) {
        if (!parseHundredths(a.attack, 100, v)) return usage = "--attack must be 0.00 to 1.00 s", false;
        n.mark(NoteValue::Attack, true);
        n.attackCs = uint16_t(v);
    }
    if (!a.syllablePower.empty()) {
        if (!parsePowerValue(a.syllablePower, thousandths))
            return usage = "--syllable-power must be 0.001 to 10.000", false;
        s.mark(SyllableValue::Power, true);
        s.power = uint16_t(thousandths);
    }
    if (!a.consonantSpeed.empty()) {
        if (!parseInt(a.consonantSpeed, 25, 400, v)) return usage = "--consonant-speed must be 25 to 400 %", false;
        s.mark(SyllableValue::ConsonantSpeed, true);
        s.consonantSpeed = uint16_t(v);
    }
    for (const std::string& name : a.toDefault) {
        const uint16_t nb = name == "all" ? 0x7F : noteValueBit(name);
        const uint16_t sb = name == "all" ? 0x3 : syllableValueBit(name);
        if (nb == 0 && sb == 0) return usage = "--default " + name + ": no such value", false;
        noteDefault = uint16_t(noteDefault | nb);
        syllableDefault = uint16_t(syllableDefault | sb);
    }
    if ((n.set & noteDefault) || (s.set & syllableDefault))
        return usage = "a value cannot be both given and returned to the default", false;
    if (n.set == 0 && s.set == 0 && noteDefault == 0 && syllableDefault == 0)
        return usage = "nothing to set: give a value or --default", false;
    return true;
}

Json noteJson(const NoteExpression& n) {
    Json j = Json::object();
    if (n.has(NoteValue::Vibrato))
        j["vibrato"] = {{"depthCents", n.vibratoDepthCents},
                        {"rateHz", n.vibratoRateCentiHz / 100.0},
                        {"delayMs", n.vibratoDelayMs},
                        {"fadeMs", n.vibratoFadeMs}};
    if (n.has(NoteValue::Smoothing)) j["smoothingMs"] = n.smoothingMs;
    if (n.has(NoteValue::Falsetto)) j["falsetto"] = n.falsetto;
    if (n.has(NoteValue::Time)) j["timeMs"] = n.timeMs;
    if (n.has(NoteValue::Pitch)) j["pitchCents"] = n.detuneCents;
    if (n.has(NoteValue::Power)) j["power"] = n.power / 1000.0;
    if (n.has(NoteValue::Attack)) j["attackS"] = n.attackCs / 100.0;
    return j;
}

Json syllableJson(const SyllableExpression& s) {
    Json j = Json::object();
    if (s.has(SyllableValue::Power)) j["power"] = s.power / 1000.0;
    if (s.has(SyllableValue::ConsonantSpeed)) j["consonantSpeed"] = s.consonantSpeed;
    return j;
}

// The text columns of a note's own values: "-" where it uses the default.
std::string noteText(const NoteExpression& n) {
    std::string t;
    auto col = [&](bool has, const std::string& v) { t += "\t" + (has ? v : std::string("-")); };
    col(n.has(NoteValue::Vibrato), std::to_string(n.vibratoDepthCents) + ":" + hundredths(n.vibratoRateCentiHz) +
                                       ":" + std::to_string(n.vibratoDelayMs) + ":" + std::to_string(n.vibratoFadeMs));
    col(n.has(NoteValue::Smoothing), std::to_string(n.smoothingMs));
    col(n.has(NoteValue::Falsetto), n.falsetto ? "on" : "off");
    col(n.has(NoteValue::Time), std::to_string(n.timeMs));
    col(n.has(NoteValue::Pitch), std::to_string(n.detuneCents));
    col(n.has(NoteValue::Power), powerText(n.power));
    col(n.has(NoteValue::Attack), hundredths(n.attackCs));
    return t;
}

int show(const NoteArgs& a, Song& song, std::ostream& out) {
    const int c = int(a.channel) - 1;
    const auto& events = song.channel(c).events;
    Json notes = Json::array();
    if (!a.json) out << "note\tkey\trecord\tvibrato\tsmoothing\tfalsetto\ttime\tpitch\tpower\tattack\tsyllables\n";
    for (std::size_t i = 0; i < events.size(); ++i) {
        const VoxEvent* e = events[i].get();
        if (!e) continue;
        const NoteSettings* rec = song.noteSettings(c, e->noteSettingsIndex);
        const std::optional<NoteExpression> own = rec ? NoteExpression::decode(*rec) : std::nullopt;
        const char* kind = !rec ? "none" : own ? "ours" : "other";
        Json syl = Json::array();
        std::string sylText;
        for (int k = 0; k < VoxEvent::kSlots; ++k) {
            if (e->syllableLength[std::size_t(k)] == 0) continue;
            const SyllableSettings* srec = song.syllableSettings(c, e->syllableSettingsIndex[std::size_t(k)]);
            const auto s = srec ? SyllableExpression::decode(*srec) : std::nullopt;
            const SyllableExpression v = s.value_or(SyllableExpression{});
            syl.push_back(syllableJson(v));
            sylText += (sylText.empty() ? "" : " ") + std::string(e->codeText(k)) + "=" +
                       (v.has(SyllableValue::Power) ? powerText(v.power) : "-") + "/" +
                       (v.has(SyllableValue::ConsonantSpeed) ? std::to_string(v.consonantSpeed) : "-");
        }
        const NoteExpression v = own.value_or(NoteExpression{});
        if (a.json) {
            notes.push_back({{"note", i + 1},
                             {"key", e->noteKey},
                             {"startTick", e->startTick},
                             {"endTick", e->endTick},
                             {"record", kind},
                             {"values", noteJson(v)},
                             {"syllables", syl}});
        } else {
            out << i + 1 << "\t" << e->noteKey << "\t" << kind << noteText(v) << "\t" << (sylText.empty() ? "-" : sylText)
                << "\n";
        }
    }
    const NoteExpression ch = noteDefaultsOf(song.channelDefaults(c)), sg = noteDefaultsOf(song.songDefaults());
    if (a.json) {
        writeJson({{"channel", a.channel},
                   {"notes", notes},
                   {"channelDefaults", noteJson(ch)},
                   {"channelSyllableDefaults", syllableJson(syllableDefaultsOf(song.channelDefaults(c)))},
                   {"songDefaults", noteJson(sg)},
                   {"songSyllableDefaults", syllableJson(syllableDefaultsOf(song.songDefaults()))}},
                  out);
    } else {
        out << "channel defaults\t\t" << noteText(ch) << "\n";
        out << "song defaults\t\t" << noteText(sg) << "\n";
    }
    return 0;
}

}  // namespace

int note(const NoteArgs& a, std::ostream& out, std::ostream& err) {
    if (isNoteWriteCommand(a.command)) return noteWrite(a, out, err);
    const std::string what = "note " + a.command + ": ";
    NoteExpression values;
    SyllableExpression syllables;
    uint16_t noteDefault = 0, syllableDefault = 0;
    std::size_t first = 0, last = 0;
    if (a.command == "set") {
        std::string usage;
        if (!readValues(a, values, syllables, noteDefault, syllableDefault, usage)) {
            err << what << usage << "\n";
            return 2;
        }
        if (a.channelDefaults == !a.notes.empty()) {
            err << what << "give either --note N[-M] or --defaults\n";
            return 2;
        }
        if (!a.notes.empty()) {
            // Any note a channel can hold: the song file counts a channel's notes in 32 bits.
            const auto p = split(a.notes, '-');
            uint64_t n = 0, m = 0;
            if (p.size() > 2 || !parseNumber(p[0], 0xFFFFFFFFu, n) || !parseNumber(p.back(), 0xFFFFFFFFu, m) || n < 1 ||
                m < n) {
                err << what << "--note " << a.notes << " is not N or N-M (counted from 1, N <= M)\n";
                return 2;
            }
            first = std::size_t(n - 1);
            last = std::size_t(m - 1);
        }
    }
    CliSession s(a.common);
    if (a.command == "show") {
        if (!s.session().openSong(a.song)) return 1;
        return show(a, s.song(), out);
    }
    // Read, changed and saved under the song's lock.
    return editSong(s, a.song, "note " + a.command, out, err, [&](std::ostream& report) -> int {
        Song& song = s.song();
        const int c = int(a.channel) - 1;
        std::string error;
        if (a.channelDefaults) {
            VoiceSettings& d = song.channelDefaults(c);
            NoteExpression n = values;
            n.inheritFrom(noteDefaultsOf(d));
            n.set = uint16_t(n.set & ~noteDefault);
            SyllableExpression sy = syllables;
            if (!sy.has(SyllableValue::Power)) sy.power = 1000;
            if (!sy.has(SyllableValue::ConsonantSpeed)) sy.consonantSpeed = 100;
            sy.inheritFrom(syllableDefaultsOf(d));
            sy.set = uint16_t(sy.set & ~syllableDefault);
            if (std::string bad = n.check(); !bad.empty() || !(bad = sy.check()).empty()) {
                err << what << bad << "\n";
                return 2;
            }
            setNoteDefaults(d, n);
            setSyllableDefaults(d, sy);
            report << "channel " << a.channel << " defaults" << noteText(n) << "\n";
        } else {
            const std::size_t count = song.channel(c).events.size();
            if (last >= count) {
                err << what << "note " << last + 1 << " is past the end: channel " << a.channel << " has " << count
                    << " notes\n";
                return 1;
            }
            // Both kinds are checked before either is written, so a refusal changes nothing.
            if (!setNoteExpression(song, c, first, last, values, noteDefault, error) ||
                !setSyllableExpression(song, c, first, last, syllables, syllableDefault, error)) {
                err << what << translated(error) << "\n";
                return 1;
            }
            report << "notes " << first + 1 << "-" << last + 1 << " of channel " << a.channel << " set\n";
        }
        return 0;
    });
}

}  // namespace kantor::cli

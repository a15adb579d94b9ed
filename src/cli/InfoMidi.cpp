#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ostream>

#include "base/Json.h"
#include "cli/Commands.h"
#include "midi/MidiFile.h"
#include "midi/PitchName.h"
#include "midi/TempoMap.h"
#include "synth/SoundTexts.h"

namespace kantor::cli {

// A division with its top bit set counts in time code: frames per second (stored negative
// in the high byte) and ticks per frame.
std::string divisionText(uint16_t division) {
    if ((division & 0x8000) == 0) return std::to_string(division) + " ticks per quarter note";
    const int fps = -static_cast<int>(static_cast<int8_t>(division >> 8));
    return "time code, " + std::to_string(fps) + " frames per second, " + std::to_string(division & 0xFF) +
           " ticks per frame";
}
namespace {

const char* kindName(ChannelEventKind k) {
    switch (k) {
        case ChannelEventKind::Note: return "note";
        case ChannelEventKind::TimeSignature: return "timeSignature";
        case ChannelEventKind::Tempo: return "tempo";
        case ChannelEventKind::EndOfTrack: return "endOfTrack";
        case ChannelEventKind::SystemExclusive: return "systemExclusive";
        case ChannelEventKind::ControlChange: return "controlChange";
        case ChannelEventKind::ProgramChange: return "programChange";
    }
    return "unknown";
}

void writeEventJson(JsonWriter& j, const ChannelEvent& e) {
    j.beginObject();
    j.field("kind", kindName(e.kind));
    switch (e.kind) {
        case ChannelEventKind::Note:
            j.field("note", e.value1).field("velocity", e.velocity).field("start", e.value2).field("end", e.value3);
            break;
        case ChannelEventKind::TimeSignature:
            j.field("tick", e.value1).field("numerator", e.value2).field("denominator", e.value3);
            break;
        case ChannelEventKind::Tempo:
            j.field("tick", e.value2).field("usPerQuarter", e.value1);
            break;
        case ChannelEventKind::EndOfTrack:
            j.field("tick", e.value2);
            break;
        case ChannelEventKind::SystemExclusive:
        case ChannelEventKind::ControlChange:
        case ChannelEventKind::ProgramChange:
            j.field("tick", e.value2);
            j.key("data").beginArray();
            for (uint8_t b : e.data) j.value(b);
            j.endArray();
            break;
    }
    j.endObject();
}

// Loads the file and its tempo map; on failure says why on `err`.
bool loadMidi(const std::string& path, MidiFile& midi, TempoMap& map, std::ostream& err) {
    if (!midi.load(path)) {
        err << midi.lastError() << "\n";
        return false;
    }
    if (!map.build(midi)) {
        err << map.lastError() << "\n";
        return false;
    }
    return true;
}

}  // namespace

int infoMidi(const std::string& path, bool json, std::ostream& out, std::ostream& err) {
    MidiFile midi;
    TempoMap map;
    if (!loadMidi(path, midi, map, err)) return 1;

    if (json) {
        JsonWriter j;
        j.beginObject();
        j.field("format", midi.format()).field("tracks", midi.trackCount()).field("division", midi.division());
        j.field("songEndTick", midi.songEndTick());
        j.key("channels").beginArray();
        for (int c = 0; c < MidiFile::kChannels; ++c) {
            j.beginArray();
            for (const auto& e : midi.channel(c)) {
                if (e) writeEventJson(j, *e);
            }
            j.endArray();
        }
        j.endArray();
        j.key("measures").beginArray();
        for (const Measure& m : map.measures()) {
            j.beginObject()
                .field("start", m.start)
                .field("length", m.length)
                .field("numerator", m.numerator)
                .field("denominator", m.denominator)
                .endObject();
        }
        j.endArray();
        j.key("tempos").beginArray();
        for (const TempoRecord& t : map.tempos()) {
            j.beginObject().field("tick", t.tick).field("usPerQuarter", t.usPerQuarter).endObject();
        }
        j.endArray();
        j.endObject();
        out << j.str() << "\n";
        return 0;
    }

    const uint32_t end = midi.songEndTick();
    out << "MIDI file: " << midi.path() << "\n";
    out << "Format: " << midi.format() << "   Tracks: " << midi.trackCount() << "   Division: "
        << divisionText(midi.division()) << "\n";
    out << "Song end: tick " << end << "  (" << map.positionText(end) << ")  "
        << durationText(map.millisecondsBetween(0, end)) << "\n\n";

    out << "Channels:\n";
    for (int c = 0; c < MidiFile::kChannels; ++c) {
        std::size_t notes = 0, others = 0;
        int low = 128, high = -1;
        for (const auto& e : midi.channel(c)) {
            if (!e) continue;
            if (e->isNote()) {
                ++notes;
                low = std::min(low, static_cast<int>(e->value1));
                high = std::max(high, static_cast<int>(e->value1));
            } else {
                ++others;
            }
        }
        if (notes == 0 && others == 0) continue;
        char line[160];
        if (notes > 0) {
            std::snprintf(line, sizeof line, "  %2d: %6zu notes, range %3d (%s) - %3d (%s)", c + 1, notes, low,
                          pitchName(low).c_str(), high, pitchName(high).c_str());
        } else {
            std::snprintf(line, sizeof line, "  %2d: %6zu notes", c + 1, notes);
        }
        out << line;
        if (others > 0) out << ", " << others << " other events";
        out << "\n";
    }

    out << "\nMeasures: " << map.measures().size() << "\n";
    for (std::size_t i = 0; i < map.measures().size(); ++i) {
        const Measure& m = map.measures()[i];
        char line[128];
        std::snprintf(line, sizeof line, "  %03zu  start %8u  length %6u  %u/%u", i + 1, m.start, m.length, m.numerator,
                      m.denominator);
        out << line << "\n";
    }

    out << "\nTempos: " << map.tempos().size() << "\n";
    for (const TempoRecord& t : map.tempos()) {
        char line[128];
        std::snprintf(line, sizeof line, "  tick %8u  (%s)  %7u us per quarter  %.2f BPM", t.tick,
                      map.positionText(t.tick).c_str(), t.usPerQuarter,
                      t.usPerQuarter ? 60000000.0 / t.usPerQuarter : 0.0);
        out << line << "\n";
    }
    return 0;
}

int pos(const Args& args, std::ostream& out, std::ostream& err) {
    if (args.size() < 2) {
        err << "usage: kantor-cli pos FILE.mid TICK...\n";
        return 2;
    }
    std::vector<uint32_t> ticks;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        uint32_t t = 0;
        auto [p, ec] = std::from_chars(a.data(), a.data() + a.size(), t);
        if (ec != std::errc() || p != a.data() + a.size()) {
            err << "pos: not a tick: " << a << "\n";
            return 2;
        }
        ticks.push_back(t);
    }
    MidiFile midi;
    TempoMap map;
    if (!loadMidi(args[0], midi, map, err)) return 1;
    for (uint32_t t : ticks) {
        out << t << "\t" << map.positionText(t) << "\t" << map.millisecondsBetween(0, t) << " ms\n";
    }
    return 0;
}

}  // namespace kantor::cli

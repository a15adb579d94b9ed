#include <algorithm>
#include <cstdio>
#include <ostream>

#include "base/Translation.h"
#include "cli/Commands.h"
#include "cli/JsonOut.h"
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

Json eventJson(const ChannelEvent& e) {
    Json j;
    j["kind"] = kindName(e.kind);
    switch (e.kind) {
        case ChannelEventKind::Note:
            j["note"] = e.value1;
            j["velocity"] = e.velocity;
            j["start"] = e.value2;
            j["end"] = e.value3;
            break;
        case ChannelEventKind::TimeSignature:
            j["tick"] = e.value1;
            j["numerator"] = e.value2;
            j["denominator"] = e.value3;
            break;
        case ChannelEventKind::Tempo:
            j["tick"] = e.value2;
            j["usPerQuarter"] = e.value1;
            break;
        case ChannelEventKind::EndOfTrack:
            j["tick"] = e.value2;
            break;
        case ChannelEventKind::SystemExclusive:
        case ChannelEventKind::ControlChange:
        case ChannelEventKind::ProgramChange:
            j["tick"] = e.value2;
            j["data"] = Json::array();
            for (uint8_t b : e.data) j["data"].push_back(b);
            break;
    }
    return j;
}

// Loads the file and its tempo map; on failure says why on `err`.
bool loadMidi(const std::string& path, MidiFile& midi, TempoMap& map, std::ostream& err) {
    if (!midi.load(path)) {
        err << translated(midi.lastError()) << "\n";
        return false;
    }
    if (!map.build(midi)) {
        err << translated(map.lastError()) << "\n";
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
        Json j;
        j["format"] = midi.format();
        j["tracks"] = midi.trackCount();
        j["division"] = midi.division();
        j["songEndTick"] = midi.songEndTick();
        Json& channels = j["channels"] = Json::array();
        for (int c = 0; c < MidiFile::kChannels; ++c) {
            Json events = Json::array();
            for (const auto& e : midi.channel(c)) {
                if (e) events.push_back(eventJson(*e));
            }
            channels.push_back(std::move(events));
        }
        Json& measures = j["measures"] = Json::array();
        for (const Measure& m : map.measures()) {
            measures.push_back(Json{{"start", m.start},
                                    {"length", m.length},
                                    {"numerator", m.numerator},
                                    {"denominator", m.denominator}});
        }
        Json& tempos = j["tempos"] = Json::array();
        for (std::size_t i = 0; i < map.tempos().size(); ++i) {
            const TempoRecord& t = map.tempos()[i];
            Json r{{"tick", t.tick}, {"usPerQuarter", t.usPerQuarter}};
            if (i == 0 && map.impliedTempo()) r["implied"] = true;
            tempos.push_back(std::move(r));
        }
        writeJson(j, out);
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
    for (std::size_t i = 0; i < map.tempos().size(); ++i) {
        const TempoRecord& t = map.tempos()[i];
        char line[160];
        std::snprintf(line, sizeof line, "  tick %8u  (%s)  %7u us per quarter  %.2f BPM%s", t.tick,
                      map.positionText(t.tick).c_str(), t.usPerQuarter,
                      t.usPerQuarter ? 60000000.0 / t.usPerQuarter : 0.0,
                      i == 0 && map.impliedTempo() ? "  (no tempo event: the standard 120 BPM)" : "");
        out << line << "\n";
    }
    return 0;
}

int pos(const PosArgs& args, std::ostream& out, std::ostream& err) {
    const std::vector<uint32_t>& ticks = args.ticks;
    MidiFile midi;
    TempoMap map;
    if (!loadMidi(args.path, midi, map, err)) return 1;
    for (uint32_t t : ticks) {
        out << t << "\t" << map.positionText(t) << "\t" << map.millisecondsBetween(0, t) << " ms\n";
    }
    return 0;
}

}  // namespace kantor::cli

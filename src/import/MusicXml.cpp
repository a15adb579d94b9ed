#include "import/MusicXml.h"

#include <zip.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <pugixml.hpp>

#include "base/FileIO.h"
#include "midi/SmfWriter.h"
#include "voice/WordSyllables.h"

namespace kantor {
namespace {

constexpr int64_t kDiv = MusicXmlSong::kDivision;
constexpr std::size_t kMaxPlayedMeasures = 100000;

struct XmlNote {
    int64_t start = 0;  // ticks from the start of the measure
    int64_t length = 0;
    int key = -1;       // MIDI note number; -1 for a rest
    bool chord = false, tieStart = false, tieStop = false;
    std::string voice = "1";
    bool hasLyric = false, extend = false;
    std::string lyric;
};

struct XmlMeasure {
    std::string number;
    int64_t length = 0;
    std::vector<XmlNote> notes;
    std::vector<std::pair<int64_t, double>> tempos;  // local tick, quarter notes a minute
    int beats = 0, beatType = 0;                     // a time signature here, when beats > 0
    bool repeatForward = false, repeatBackward = false;
    int times = 2;
    std::vector<int> ending;  // the passes this measure is played in (empty = every pass)
    bool endingStart = false, endingStop = false;
};

struct XmlPart {
    std::string id, name;
    int program = -1;  // 0-based General MIDI program, when the score names one
    std::vector<XmlMeasure> measures;
};

struct Failure {
    std::string text;
};

int64_t toTicks(double divisions, int64_t d) { return std::llround(double(d) * double(kDiv) / divisions); }

int stepValue(char step) {
    switch (step) {
        case 'C': return 0;
        case 'D': return 2;
        case 'E': return 4;
        case 'F': return 5;
        case 'G': return 7;
        case 'A': return 9;
        case 'B': return 11;
        default: return -1;
    }
}

std::vector<int> endingNumbers(const char* text) {
    std::vector<int> out;
    int n = 0;
    bool in = false;
    for (const char* p = text; ; ++p) {
        if (*p >= '0' && *p <= '9') {
            n = n * 10 + (*p - '0');
            in = true;
            if (n > 1000) n = 1000;
        } else {
            if (in) out.push_back(n);
            n = 0;
            in = false;
            if (!*p) break;
        }
    }
    return out;
}

// One part's measures in document order, with times in ticks.
void readPart(const pugi::xml_node& part, XmlPart& out, const std::string& where) {
    double divisions = 1;
    for (const pugi::xml_node m : part.children("measure")) {
        XmlMeasure xm;
        xm.number = m.attribute("number").as_string();
        const std::string at = where + "measure " + (xm.number.empty() ? "?" : xm.number) + ": ";
        int64_t pos = 0, maxPos = 0, lastStart = 0;
        for (const pugi::xml_node c : m.children()) {
            const std::string name = c.name();
            if (name == "attributes") {
                if (const pugi::xml_node d = c.child("divisions")) {
                    const double v = d.text().as_double(0);
                    if (!(v > 0) || v > 1e7) throw Failure{at + "bad <divisions> " + d.text().as_string()};
                    divisions = v;
                }
                if (const pugi::xml_node t = c.child("time")) {
                    const int beats = t.child("beats").text().as_int(0), type = t.child("beat-type").text().as_int(0);
                    // Compound numerators ("3+2") and senza-misura times keep the last signature.
                    if (beats > 0 && beats < 256 && (type == 1 || type == 2 || type == 4 || type == 8 || type == 16 ||
                                                    type == 32 || type == 64))
                        xm.beats = beats, xm.beatType = type;
                }
            } else if (name == "direction" || name == "sound") {
                const pugi::xml_node s = name == "sound" ? c : c.child("sound");
                double bpm = s.attribute("tempo").as_double(0);
                if (!(bpm > 0)) {
                    const pugi::xml_node metro = c.child("direction-type").child("metronome");
                    const std::string unit = metro.child("beat-unit").text().as_string();
                    const double per = metro.child("per-minute").text().as_double(0);
                    const bool dotted = metro.child("beat-unit-dot");
                    double q = unit == "half" ? 2 : unit == "eighth" ? 0.5 : unit == "whole" ? 4 : unit == "16th" ? 0.25
                                                                                    : unit == "quarter" ? 1 : 0;
                    if (dotted) q *= 1.5;
                    bpm = per * q;
                }
                if (bpm >= 1 && bpm <= 1000) xm.tempos.emplace_back(std::max<int64_t>(pos, 0), bpm);
            } else if (name == "backup" || name == "forward") {
                const int64_t d = toTicks(divisions, c.child("duration").text().as_llong(0));
                if (d < 0 || d > kDiv * 4 * 256) throw Failure{at + "bad <duration> in <" + name + ">"};
                pos += name == "backup" ? -d : d;
                if (pos < 0) pos = 0;
            } else if (name == "note") {
                if (c.child("grace")) continue;  // takes no time of its own
                XmlNote n;
                n.chord = c.child("chord");
                const int64_t d = toTicks(divisions, c.child("duration").text().as_llong(0));
                if (d < 0 || d > kDiv * 4 * 256) throw Failure{at + "bad <duration> of a note"};
                n.start = n.chord ? lastStart : pos;
                n.length = d;
                if (!n.chord) {
                    lastStart = pos;
                    pos += d;
                }
                if (c.child("cue")) continue;  // shown, not played
                if (const pugi::xml_node p = c.child("pitch")) {
                    const std::string step = p.child("step").text().as_string();
                    const int sv = step.size() == 1 ? stepValue(step[0]) : -1;
                    const int octave = p.child("octave").text().as_int(-100);
                    const double alter = p.child("alter").text().as_double(0);
                    if (sv < 0 || octave < -1 || octave > 9) throw Failure{at + "a note of no pitch (" + step + ")"};
                    n.key = (octave + 1) * 12 + sv + static_cast<int>(std::lround(alter));
                    if (n.key < 0 || n.key > 127) throw Failure{at + "a note outside the MIDI range"};
                } else if (!c.child("rest")) {
                    continue;  // unpitched (percussion): no note in a melody
                }
                for (const pugi::xml_node t : c.children("tie")) {
                    const std::string type = t.attribute("type").as_string();
                    n.tieStart = n.tieStart || type == "start";
                    n.tieStop = n.tieStop || type == "stop";
                }
                if (const pugi::xml_node v = c.child("voice")) n.voice = v.text().as_string();
                pugi::xml_node lyric;
                for (const pugi::xml_node l : c.children("lyric")) {
                    const std::string num = l.attribute("number").as_string();
                    if (!lyric || num == "1") lyric = l;
                    if (num == "1") break;
                }
                if (lyric) {
                    for (const pugi::xml_node t : lyric.children("text")) n.lyric += t.text().as_string();
                    const pugi::xml_node ext = lyric.child("extend");
                    n.extend = ext && std::string(ext.attribute("type").as_string()) != "stop";
                    n.hasLyric = !n.lyric.empty();
                }
                xm.notes.push_back(std::move(n));
            } else if (name == "barline") {
                if (const pugi::xml_node r = c.child("repeat")) {
                    const std::string dir = r.attribute("direction").as_string();
                    if (dir == "forward") xm.repeatForward = true;
                    if (dir == "backward") {
                        xm.repeatBackward = true;
                        xm.times = std::clamp(r.attribute("times").as_int(2), 1, 16);
                    }
                }
                if (const pugi::xml_node e = c.child("ending")) {
                    const std::string type = e.attribute("type").as_string();
                    xm.ending = endingNumbers(e.attribute("number").as_string());
                    if (type == "start") xm.endingStart = true;
                    if (type == "stop" || type == "discontinue") xm.endingStop = true;
                }
            }
            maxPos = std::max(maxPos, pos);
        }
        xm.length = maxPos;
        out.measures.push_back(std::move(xm));
    }
}

// The order in which the measures are played: repeats taken, endings chosen by pass.
std::vector<std::size_t> playingOrder(std::vector<XmlMeasure>& ms) {
    // An ending runs from its start to its stop: every measure in between has its numbers.
    std::vector<int> current;
    for (XmlMeasure& m : ms) {
        if (m.endingStart) current = m.ending;
        if (!current.empty()) m.ending = current;
        if (m.endingStop) current.clear();
    }
    std::vector<std::size_t> order;
    std::size_t start = 0, i = 0;
    int pass = 1;
    bool skippedRepeat = false;  // the last pass went past the repeat sign inside a first ending
    while (i < ms.size() && order.size() < kMaxPlayedMeasures) {
        const XmlMeasure& m = ms[i];
        if (m.ending.empty() && skippedRepeat) {  // out of the endings: the section is done
            pass = 1;
            skippedRepeat = false;
            start = i;
        }
        if (m.repeatForward && pass == 1) start = i;
        if (!m.ending.empty() && std::find(m.ending.begin(), m.ending.end(), pass) == m.ending.end()) {
            skippedRepeat = skippedRepeat || m.repeatBackward;
            ++i;
            continue;
        }
        order.push_back(i);
        if (m.repeatBackward) {
            if (pass < m.times) {
                ++pass;
                i = start;
                continue;
            }
            pass = 1;
            start = i + 1;
        }
        ++i;
    }
    return order;
}

struct PlacedNote {
    int64_t start = 0, end = 0;
    int key = 0;
    std::string voice;
    bool hasLyric = false, extend = false;
    std::string lyric;
    std::string measure;
};

std::string lastVowel(const std::string& syllable) {
    std::vector<WordSyllable> parts;
    WordSplitError bad;
    if (!splitWord(syllable + "ー", parts, bad) || parts.empty()) return {};
    return parts.back().text;
}

}  // namespace

bool importMusicXmlText(const std::string& xml, const std::string& name, int partNumber, MusicXmlSong& out,
                        std::string& error) {
    out = MusicXmlSong{};
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(xml.data(), xml.size());
    if (!parsed) {
        error = name + ": not well-formed XML at byte " + std::to_string(parsed.offset) + ": " + parsed.description();
        return false;
    }
    const pugi::xml_node root = doc.document_element();
    if (std::string(root.name()) == "score-timewise") {
        error = name + ": a timewise score (score-timewise) is not supported; save it as partwise MusicXML";
        return false;
    }
    if (std::string(root.name()) != "score-partwise") {
        error = name + ": not a MusicXML score (the document is <" + std::string(root.name()) + ">)";
        return false;
    }
    std::vector<XmlPart> parts;
    try {
        std::map<std::string, std::pair<std::string, int>> listed;  // id -> name, program
        for (const pugi::xml_node sp : root.child("part-list").children("score-part")) {
            const int program = sp.child("midi-instrument").child("midi-program").text().as_int(0);
            listed[sp.attribute("id").as_string()] = {sp.child("part-name").text().as_string(),
                                                      program >= 1 && program <= 128 ? program - 1 : -1};
        }
        for (const pugi::xml_node p : root.children("part")) {
            XmlPart xp;
            xp.id = p.attribute("id").as_string();
            if (auto it = listed.find(xp.id); it != listed.end()) xp.name = it->second.first, xp.program = it->second.second;
            readPart(p, xp, name + ": part " + std::to_string(parts.size() + 1) + ", ");
            parts.push_back(std::move(xp));
        }
    } catch (const Failure& f) {
        error = f.text;
        return false;
    }
    if (parts.empty() || parts[0].measures.empty()) {
        error = name + ": the score has no part with measures";
        return false;
    }
    if (parts.size() > 14) {
        error = name + ": the score has " + std::to_string(parts.size()) + " parts; a MIDI file holds 14 beside the sung part's chords";
        return false;
    }
    for (std::size_t p = 1; p < parts.size(); ++p) {
        if (parts[p].measures.size() != parts[0].measures.size()) {
            error = name + ": part " + std::to_string(p + 1) + " has " + std::to_string(parts[p].measures.size()) +
                    " measures, part 1 has " + std::to_string(parts[0].measures.size());
            return false;
        }
    }
    // Which part sings.
    int sung = partNumber - 1;
    if (partNumber <= 0) {
        sung = -1;
        for (std::size_t p = 0; p < parts.size() && sung < 0; ++p)
            for (const XmlMeasure& m : parts[p].measures)
                for (const XmlNote& n : m.notes)
                    if (n.hasLyric && sung < 0) sung = static_cast<int>(p);
        if (sung < 0) {
            error = name + ": no part has lyrics";
            return false;
        }
    } else if (sung >= static_cast<int>(parts.size())) {
        error = name + ": there is no part " + std::to_string(partNumber) + " (the score has " +
                std::to_string(parts.size()) + ")";
        return false;
    }

    // Lay the measures out in playing order.
    std::vector<XmlMeasure>& first = parts[0].measures;
    const std::vector<std::size_t> order = playingOrder(first);
    if (order.size() >= kMaxPlayedMeasures) {
        error = name + ": the repeats make more than " + std::to_string(kMaxPlayedMeasures) + " measures";
        return false;
    }
    std::vector<int64_t> startOf(order.size());
    int64_t t = 0;
    int beats = 4, beatType = 4;
    SmfTrack conductor;
    std::vector<std::pair<int64_t, double>> tempos;
    int lastBeats = 0, lastType = 0;
    for (std::size_t k = 0; k < order.size(); ++k) {
        int64_t length = 0;
        for (const XmlPart& p : parts) length = std::max(length, p.measures[order[k]].length);
        const XmlMeasure& m = first[order[k]];
        if (m.beats > 0) beats = m.beats, beatType = m.beatType;
        if (beats != lastBeats || beatType != lastType) {
            int power = 0;
            while ((1 << power) < beatType) ++power;
            conductor.timeSignature(static_cast<uint32_t>(t), beats, power);
            lastBeats = beats, lastType = beatType;
        }
        if (length == 0) length = kDiv * 4 * beats / beatType;
        startOf[k] = t;
        for (const XmlPart& p : parts)
            for (const auto& [at, bpm] : p.measures[order[k]].tempos) tempos.emplace_back(t + at, bpm);
        t += length;
        if (t > int64_t(0x7FFFFFFF)) {
            error = name + ": measure " + m.number + ": the score is too long for a MIDI file";
            return false;
        }
    }
    const int64_t songEnd = t;
    std::stable_sort(tempos.begin(), tempos.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    if (tempos.empty() || tempos.front().first > 0) conductor.tempo(0, 500000);
    for (std::size_t i = 0; i < tempos.size(); ++i) {
        if (i + 1 < tempos.size() && tempos[i + 1].first == tempos[i].first) continue;  // the last at a tick wins
        conductor.tempo(static_cast<uint32_t>(tempos[i].first), static_cast<uint32_t>(std::lround(60000000.0 / tempos[i].second)));
    }
    conductor.endOfTrack(static_cast<uint32_t>(songEnd));

    // Every part's notes at absolute ticks, ties joined.
    std::vector<SmfTrack> tracks{conductor};
    std::vector<PlacedNote> sungNotes, harmony;
    for (std::size_t p = 0; p < parts.size(); ++p) {
        std::vector<PlacedNote> placed;
        std::map<std::pair<std::string, int>, std::size_t> open;  // (voice, key) -> tied note
        for (std::size_t k = 0; k < order.size(); ++k) {
            const XmlMeasure& m = parts[p].measures[order[k]];
            for (const XmlNote& n : m.notes) {
                if (n.key < 0) continue;
                const int64_t s = startOf[k] + n.start, e = s + n.length;
                const auto key = std::make_pair(n.voice, n.key);
                if (auto it = open.find(key); n.tieStop && it != open.end()) {
                    placed[it->second].end = std::max(placed[it->second].end, e);
                    if (!n.tieStart) open.erase(it);
                    continue;
                }
                if (n.length == 0) continue;
                PlacedNote pn{s, e, n.key, n.voice, n.hasLyric, n.extend, n.lyric, m.number};
                if (n.tieStart) open[key] = placed.size();
                placed.push_back(std::move(pn));
            }
        }
        std::stable_sort(placed.begin(), placed.end(), [](const PlacedNote& a, const PlacedNote& b) { return a.start < b.start; });
        const int channel = static_cast<int>(p) < 9 ? static_cast<int>(p) : static_cast<int>(p) + 1;
        MusicXmlPart info{parts[p].id, parts[p].name, channel, 0, 0};
        SmfTrack track;
        track.text(0, 3, parts[p].name.empty() ? parts[p].id : parts[p].name);
        if (parts[p].program >= 0) track.programChange(0, channel, parts[p].program);
        if (static_cast<int>(p) != sung) {
            for (const PlacedNote& n : placed) track.note(static_cast<uint32_t>(n.start), static_cast<uint32_t>(n.end), channel, n.key, 100);
            info.notes = placed.size();
        } else {
            // The sung voice: that of the first note with a lyric. Of a chord the top note sings.
            std::string voice = placed.empty() ? "1" : placed.front().voice;
            for (const PlacedNote& n : placed)
                if (n.hasLyric) {
                    voice = n.voice;
                    break;
                }
            for (std::size_t i = 0; i < placed.size(); ++i) {
                const PlacedNote& n = placed[i];
                if (n.voice != voice) {
                    harmony.push_back(n);
                    continue;
                }
                if (!sungNotes.empty() && sungNotes.back().start == n.start) {
                    PlacedNote& top = sungNotes.back();
                    if (n.key > top.key) {
                        PlacedNote lower = top;
                        lower.hasLyric = false;
                        top.key = n.key;
                        top.end = std::max(top.end, n.end);
                        harmony.push_back(lower);
                    } else {
                        harmony.push_back(n);
                    }
                    if (n.hasLyric && !top.hasLyric) top.hasLyric = true, top.lyric = n.lyric, top.extend = n.extend;
                    continue;
                }
                if (!sungNotes.empty() && sungNotes.back().end > n.start) sungNotes.back().end = n.start;
                sungNotes.push_back(n);
            }
            for (const PlacedNote& n : sungNotes) {
                track.note(static_cast<uint32_t>(n.start), static_cast<uint32_t>(n.end), channel, n.key, 100);
                info.lyrics += n.hasLyric ? 1 : 0;
            }
            info.notes = sungNotes.size();
            out.sungPart = static_cast<int>(p);
        }
        track.endOfTrack(static_cast<uint32_t>(songEnd));
        tracks.push_back(std::move(track));
        out.parts.push_back(std::move(info));
    }
    if (sungNotes.empty()) {
        error = name + ": part " + std::to_string(sung + 1) + " has no notes to sing";
        return false;
    }
    if (!harmony.empty()) {
        // The sung part's other notes, in a channel of their own after the parts'.
        int channel = static_cast<int>(parts.size()) < 9 ? static_cast<int>(parts.size()) : static_cast<int>(parts.size()) + 1;
        SmfTrack track;
        track.text(0, 3, out.parts[static_cast<std::size_t>(sung)].name + " (chords)");
        if (parts[static_cast<std::size_t>(sung)].program >= 0) track.programChange(0, channel, parts[static_cast<std::size_t>(sung)].program);
        std::stable_sort(harmony.begin(), harmony.end(), [](const PlacedNote& a, const PlacedNote& b) { return a.start < b.start; });
        for (const PlacedNote& n : harmony) track.note(static_cast<uint32_t>(n.start), static_cast<uint32_t>(n.end), channel, n.key, 90);
        track.endOfTrack(static_cast<uint32_t>(songEnd));
        tracks.push_back(std::move(track));
    }
    out.smf = buildSmf(1, static_cast<uint16_t>(kDiv), tracks);

    // The lyrics on the sung notes.
    std::string held;  // the syllable an extending lyric holds
    bool head = true;
    int64_t lastEnd = -1;
    for (std::size_t i = 0; i < sungNotes.size(); ++i) {
        const PlacedNote& n = sungNotes[i];
        if (lastEnd >= 0 && n.start > lastEnd) head = true, held.clear();  // a rest
        lastEnd = n.end;
        NoteLyric nl;
        nl.note = i;
        nl.where = name + ": measure " + n.measure;
        if (n.hasLyric) {
            std::vector<WordSyllable> syl;
            WordSplitError bad;
            WordSplitOptions lax;
            lax.skipPunctuation = true;
            if (!splitWord(n.lyric, syl, bad, lax)) {
                error = nl.where + ": unknown piece \"" + bad.piece + "\" in the lyric \"" + n.lyric + "\"";
                out = MusicXmlSong{};
                return false;
            }
            if (syl.size() > 4) {
                error = nl.where + ": more than four syllables on one note: \"" + n.lyric + "\"";
                out = MusicXmlSong{};
                return false;
            }
            for (const WordSyllable& w : syl) nl.syllables.push_back(w.text);
            held = n.extend && !syl.empty() ? lastVowel(syl.back().text) : std::string();
        } else if (!held.empty()) {
            nl.syllables.push_back(held);  // a melisma: the vowel goes on
        }
        if (nl.syllables.empty()) continue;
        nl.phraseHead = head;
        head = false;
        out.lyrics.push_back(std::move(nl));
    }
    return true;
}

bool importMusicXml(const std::string& path, int part, MusicXmlSong& out, std::string& error) {
    const std::string name = fileNameOf(path);
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    constexpr std::size_t kMaxScore = std::size_t(256) << 20;
    std::string xml;
    if (lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".mxl") == 0) {
        int ze = 0;
        zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &ze);
        if (!z) {
            zip_error_t e;
            zip_error_init_with_code(&e, ze);
            error = path + ": cannot open the compressed score: " + zip_error_strerror(&e);
            zip_error_fini(&e);
            return false;
        }
        auto readEntry = [&](const std::string& entry, std::string& text) -> bool {
            zip_stat_t st;
            zip_stat_init(&st);
            if (zip_stat(z, entry.c_str(), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE) || st.size > kMaxScore) return false;
            zip_file_t* f = zip_fopen(z, entry.c_str(), 0);
            if (!f) return false;
            text.assign(static_cast<std::size_t>(st.size), '\0');
            const zip_int64_t n = text.empty() ? 0 : zip_fread(f, text.data(), text.size());
            zip_fclose(f);
            return n == static_cast<zip_int64_t>(text.size());
        };
        // The container names the score; without it, the first MusicXML file of the archive.
        std::string container, rootfile;
        if (readEntry("META-INF/container.xml", container)) {
            pugi::xml_document c;
            if (c.load_buffer(container.data(), container.size()))
                rootfile = c.child("container").child("rootfiles").child("rootfile").attribute("full-path").as_string();
        }
        if (rootfile.empty()) {
            const zip_int64_t count = zip_get_num_entries(z, 0);
            for (zip_int64_t i = 0; i < count && rootfile.empty(); ++i) {
                const char* n = zip_get_name(z, static_cast<zip_uint64_t>(i), 0);
                const std::string s = n ? n : "";
                if (s.rfind("META-INF/", 0) != 0 && (s.ends_with(".xml") || s.ends_with(".musicxml"))) rootfile = s;
            }
        }
        const bool ok = !rootfile.empty() && readEntry(rootfile, xml);
        zip_close(z);
        if (!ok) {
            error = path + ": the compressed score holds no readable MusicXML file" +
                    (rootfile.empty() ? std::string() : " (" + rootfile + ")");
            return false;
        }
    } else {
        std::vector<uint8_t> bytes;
        if (const ReadStatus st = readWholeFile(path, bytes, kMaxScore); st != ReadStatus::Ok) {
            error = path + ": " + readStatusText(st);
            return false;
        }
        xml.assign(bytes.begin(), bytes.end());
    }
    return importMusicXmlText(xml, name, part, out, error);
}

}  // namespace kantor

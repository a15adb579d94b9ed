#include "import/UstProject.h"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <new>
#include <stdexcept>

#include "base/Codepage.h"
#include "base/FileIO.h"
#include "midi/SmfWriter.h"
#include "voice/WordSyllables.h"

namespace kantor {
namespace {

constexpr uint64_t kMaxTick = 0x0FFFFFFF;  // the longest delta time a MIDI file can hold

bool validUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const std::size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool parseInt(std::string_view s, long long& v) {
    s = trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// A number as the editors write it: "120.00", and "120,00" where the decimal mark is a comma.
bool parseNumber(std::string_view s, double& v) {
    std::string t(trim(s));
    std::replace(t.begin(), t.end(), ',', '.');
    if (t.empty()) return false;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    return r.ec == std::errc() && r.ptr == t.data() + t.size() && std::isfinite(v);
}

bool goodTempo(double bpm) { return std::isfinite(bpm) && bpm >= 1.0 && bpm <= 1000.0; }

std::string number(double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// Counts a note's settings that the song cannot carry.
void countUstSettings(const std::map<std::string, std::string>& keys, std::map<std::string, std::size_t>& notCarried) {
    auto has = [&](const char* k) {
        const auto it = keys.find(k);
        return it != keys.end() && !trim(it->second).empty();
    };
    auto differs = [&](const char* k, const char* usual) {
        const auto it = keys.find(k);
        return it != keys.end() && !trim(it->second).empty() && trim(it->second) != usual;
    };
    if (has("PBS") || has("PBW") || has("PBY") || has("PBM") || has("Piches") || has("Pitches") || has("PitchBend"))
        ++notCarried["pitch bends"];
    if (has("VBR")) ++notCarried["vibratos"];
    if (has("Flags")) ++notCarried["flags"];
    if (has("Envelope")) ++notCarried["envelopes"];
    if (differs("Modulation", "0")) ++notCarried["modulations"];
    if (differs("Intensity", "100")) ++notCarried["intensities"];
    if (differs("Velocity", "100")) ++notCarried["consonant velocities"];
    if (has("PreUtterance") || has("VoiceOverlap") || has("StartPoint")) ++notCarried["timing settings"];
}

}  // namespace

bool readUst(const std::string& raw, SingingProject& out, std::string& error) {
    out = SingingProject{};
    if (raw.size() > kMaxProjectBytes) return error = "the project is larger than 32 MB", false;
    std::string_view body(raw);
    if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
    // cp932 unless the file says UTF-8 or is UTF-8 throughout.
    const std::string head = lower(body.substr(0, 512));
    const bool utf8 = head.find("charset=utf-8") != std::string::npos || validUtf8(body);
    const std::string text = utf8 ? std::string(body) : cp932ToUtf8(body);

    ProjectTrack track;
    enum class Section { None, Version, Setting, Note, End, Other } section = Section::None;
    std::string sectionName;
    std::map<std::string, std::string> keys;
    uint64_t tick = 0;
    bool sawNote = false;
    auto flush = [&]() -> bool {
        if (section != Section::Note) return true;
        const std::string where = "[" + sectionName + "]";
        auto get = [&](const char* k) -> std::string {
            const auto it = keys.find(k);
            return it == keys.end() ? std::string() : std::string(trim(it->second));
        };
        long long length = 0;
        if (!parseInt(get("Length"), length) || length < 0)
            return error = where + ": Length \"" + shownText(get("Length")) + "\" is no length in ticks", false;
        if (const std::string t = get("Tempo"); !t.empty()) {
            double bpm = 0;
            if (!parseNumber(t, bpm) || !goodTempo(bpm))
                return error = where + ": Tempo \"" + shownText(t) + "\" is no tempo", false;
            out.tempos.emplace_back(static_cast<uint32_t>(tick), bpm);
        }
        const std::string lyric = get("Lyric");
        const bool rest = lyric.empty() || lyric == "R" || lyric == "r";
        if (!rest && length > 0) {
            long long key = 0;
            if (!parseInt(get("NoteNum"), key) || key < 0 || key > 127)
                return error = where + ": NoteNum \"" + shownText(get("NoteNum")) + "\" is no note 0 to 127", false;
            if (track.notes.size() >= kMaxProjectNotes)
                return error = "more than " + std::to_string(kMaxProjectNotes) + " notes", false;
            ProjectNote n;
            n.start = static_cast<uint32_t>(tick);
            n.length = static_cast<uint32_t>(std::min<long long>(length, kMaxTick));
            n.key = static_cast<int>(key);
            n.lyric = lyric;
            n.where = where;
            track.notes.push_back(std::move(n));
            countUstSettings(keys, out.notCarried);
        }
        tick += static_cast<uint64_t>(length);
        if (tick > kMaxTick) return error = where + ": the song is too long for a MIDI file", false;
        sawNote = true;
        return true;
    };

    std::size_t lineNo = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        const std::string_view line = trim(std::string_view(text).substr(pos, nl - pos));
        pos = nl + 1;
        ++lineNo;
        if (line.empty()) continue;
        if (line.front() == '[') {
            if (!flush()) return false;
            keys.clear();
            if (line.size() < 3 || line.back() != ']' || line[1] != '#')
                return error = "line " + std::to_string(lineNo) + ": \"" + shownText(std::string(line)) +
                               "\" is no section of a .ust",
                       false;
            sectionName = std::string(line.substr(1, line.size() - 2));
            const std::string_view id = std::string_view(sectionName).substr(1);
            if (id == "VERSION") {
                section = Section::Version;
            } else if (id == "SETTING") {
                section = Section::Setting;
            } else if (id == "TRACKEND") {
                section = Section::End;
            } else if (!id.empty() && std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; })) {
                section = Section::Note;
            } else {
                section = Section::Other;  // [#PREV], [#NEXT], [#INSERT], [#DELETE] of plug-in files
            }
            if (section == Section::End) break;
            continue;
        }
        if (section == Section::Other || section == Section::None || section == Section::Version) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string key(trim(line.substr(0, eq)));
        const std::string value(line.substr(eq + 1));
        if (section == Section::Setting) {
            if (key == "Tempo") {
                double bpm = 0;
                if (!parseNumber(value, bpm) || !goodTempo(bpm))
                    return error = "[#SETTING]: Tempo \"" + shownText(value) + "\" is no tempo", false;
                out.tempos.emplace_back(0, bpm);
            }
            continue;
        }
        keys[key] = value;
    }
    if (!flush()) return false;
    if (!sawNote) return error = "the project has no note sections ([#0000], …)", false;
    if (out.tempos.empty()) out.tempos.emplace_back(0, 120.0);
    track.name = "UST";
    out.tracks.push_back(std::move(track));
    return true;
}

bool readUstx(const std::string& text, SingingProject& out, std::string& error) {
    out = SingingProject{};
    if (text.size() > kMaxProjectBytes) return error = "the project is larger than 32 MB", false;
    std::string where = "the project";
    try {
        const YAML::Node root = YAML::Load(text);
        if (!root.IsMap()) return error = "not a .ustx project (no YAML map at its top)", false;
        double resolution = 480;
        if (root["resolution"]) resolution = root["resolution"].as<double>();
        if (!(resolution >= 1 && resolution <= 32767)) return error = "resolution " + number(resolution) + " is out of range", false;
        const double scale = ProjectSong::kDivision / resolution;
        auto toTick = [&](double t) -> int64_t { return std::llround(t * scale); };
        auto checkTick = [&](int64_t t) {
            if (t < 0 || t > int64_t(kMaxTick)) throw std::runtime_error("position " + std::to_string(t) + " is out of range");
            return static_cast<uint32_t>(t);
        };
        std::size_t visited = 0;  // aliases may name one list many times: every visit counts
        auto visit = [&](std::size_t n) {
            visited += n + 1;
            if (visited > kMaxProjectNotes) throw std::runtime_error("more than " + std::to_string(kMaxProjectNotes) + " notes and entries");
        };

        where = "tempos";
        if (const YAML::Node tempos = root["tempos"]; tempos && tempos.IsSequence()) {
            visit(tempos.size());
            for (std::size_t i = 0; i < tempos.size(); ++i) {
                where = "tempos[" + std::to_string(i) + "]";
                const double bpm = tempos[i]["bpm"].as<double>();
                if (!goodTempo(bpm)) return error = where + ": bpm " + number(bpm) + " is no tempo", false;
                const int64_t at = tempos[i]["position"] ? toTick(tempos[i]["position"].as<double>()) : 0;
                out.tempos.emplace_back(checkTick(at), bpm);
            }
        }
        if (out.tempos.empty()) {
            where = "bpm";
            const double bpm = root["bpm"] ? root["bpm"].as<double>() : 120.0;
            if (!goodTempo(bpm)) return error = "bpm " + number(bpm) + " is no tempo", false;
            out.tempos.emplace_back(0, bpm);
        }
        std::stable_sort(out.tempos.begin(), out.tempos.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

        // Time signatures start at bars: their ticks follow from the ones before.
        where = "time_signatures";
        if (const YAML::Node sigs = root["time_signatures"]; sigs && sigs.IsSequence()) {
            visit(sigs.size());
            int64_t bar = 0, barTick = 0, barLength = 4 * ProjectSong::kDivision;
            for (std::size_t i = 0; i < sigs.size(); ++i) {
                where = "time_signatures[" + std::to_string(i) + "]";
                const int64_t at = sigs[i]["bar_position"] ? sigs[i]["bar_position"].as<int64_t>() : 0;
                const int beats = sigs[i]["beat_per_bar"].as<int>();
                const int unit = sigs[i]["beat_unit"].as<int>();
                if (beats < 1 || beats > 64 || (unit != 1 && unit != 2 && unit != 4 && unit != 8 && unit != 16 && unit != 32) ||
                    at < bar || at - bar > int64_t(kMaxTick))
                    return error = where + ": not a time signature in order", false;
                barTick += (at - bar) * barLength;
                bar = at;
                barLength = int64_t(4) * ProjectSong::kDivision * beats / unit;
                out.meters.emplace_back(checkTick(barTick), std::make_pair(beats, unit));
            }
        } else if (root["beat_per_bar"] && root["beat_unit"]) {
            out.meters.emplace_back(0, std::make_pair(root["beat_per_bar"].as<int>(), root["beat_unit"].as<int>()));
        }

        std::vector<std::string> names;
        if (const YAML::Node tracks = root["tracks"]; tracks && tracks.IsSequence()) {
            visit(tracks.size());
            for (std::size_t i = 0; i < tracks.size() && i < 1000; ++i) {
                where = "tracks[" + std::to_string(i) + "]";
                std::string n;
                if (tracks[i].IsMap() && tracks[i]["track_name"]) n = tracks[i]["track_name"].as<std::string>();
                names.push_back(n.empty() ? "Track " + std::to_string(i + 1) : n);
            }
        }
        std::map<int, ProjectTrack> byNumber;
        std::size_t noteCount = 0;
        where = "voice_parts";
        if (const YAML::Node parts = root["voice_parts"]; parts && parts.IsSequence()) {
            visit(parts.size());
            // Aliases may name one long list in many parts: all of them are counted first.
            std::size_t total = 0;
            for (std::size_t p = 0; p < parts.size(); ++p) {
                const YAML::Node notes = parts[p].IsMap() ? parts[p]["notes"] : YAML::Node();
                if (notes && notes.IsSequence()) total += notes.size();
                if (total > kMaxProjectNotes)
                    return error = "more than " + std::to_string(kMaxProjectNotes) + " notes", false;
            }
            for (std::size_t p = 0; p < parts.size(); ++p) {
                where = "voice_parts[" + std::to_string(p) + "]";
                const YAML::Node part = parts[p];
                if (!part.IsMap()) return error = where + ": not a voice part", false;
                const int trackNo = part["track_no"] ? part["track_no"].as<int>() : 0;
                if (trackNo < 0 || trackNo >= 1000) return error = where + ": track_no " + std::to_string(trackNo) + " is out of range", false;
                const int64_t partStart = part["position"] ? toTick(part["position"].as<double>()) : 0;
                if (const YAML::Node curves = part["curves"]; curves && curves.IsSequence() && curves.size() > 0)
                    out.notCarried["expression curves"] += curves.size();
                const YAML::Node notes = part["notes"];
                if (!notes || !notes.IsSequence()) continue;
                visit(notes.size());
                ProjectTrack& track = byNumber[trackNo];
                const std::string partName = part["name"] ? part["name"].as<std::string>() : std::string();
                std::size_t i = 0;
                for (auto it = notes.begin(); it != notes.end(); ++it, ++i) {
                    where = "voice_parts[" + std::to_string(p) + "].notes[" + std::to_string(i) + "]";
                    const YAML::Node n = *it;
                    if (!n.IsMap()) return error = where + ": not a note", false;
                    // One pass over the note's keys: looking each up by name costs a pass each.
                    YAML::Node position, duration, tone, lyric, pitch, vibrato;
                    bool expressions = false, overrides = false;
                    for (auto kv = n.begin(); kv != n.end(); ++kv) {
                        // Copies: the iterator's pair is a temporary that ends with the statement.
                        const std::string key = kv->first.Scalar();
                        const YAML::Node value = kv->second;
                        if (key == "position") position = value;
                        else if (key == "duration") duration = value;
                        else if (key == "tone") tone = value;
                        else if (key == "lyric") lyric = value;
                        else if (key == "pitch") pitch = value;
                        else if (key == "vibrato") vibrato = value;
                        else if (key == "note_expressions" || key == "phoneme_expressions")
                            expressions = expressions || (value.IsSequence() && value.size() > 0);
                        else if (key == "phoneme_overrides") overrides = value.IsSequence() && value.size() > 0;
                    }
                    if (!position || !duration || !tone)
                        return error = where + ": a note needs position, duration and tone", false;
                    const int64_t start = partStart + toTick(position.as<double>());
                    const int64_t length = toTick(duration.as<double>());
                    const int key = tone.as<int>();
                    if (key < 0 || key > 127) return error = where + ": tone " + std::to_string(key) + " is no note 0 to 127", false;
                    if (length < 0) return error = where + ": a negative duration", false;
                    checkTick(start + length);
                    if (++noteCount > kMaxProjectNotes)
                        return error = "more than " + std::to_string(kMaxProjectNotes) + " notes", false;
                    ProjectNote pn;
                    pn.start = static_cast<uint32_t>(start);
                    pn.length = static_cast<uint32_t>(length);
                    pn.key = key;
                    pn.lyric = lyric && lyric.IsScalar() ? lyric.Scalar() : std::string();
                    pn.where = "part " + std::to_string(p + 1) + (partName.empty() ? "" : " (" + shownText(partName, 24) + ")") +
                               ", note " + std::to_string(i + 1);
                    if (length > 0) track.notes.push_back(std::move(pn));
                    // What the song does not carry.
                    bool bent = false;
                    if (pitch && pitch.IsMap()) {
                        for (auto kv = pitch.begin(); kv != pitch.end(); ++kv) {
                            if (kv->first.Scalar() != "data" || !kv->second.IsSequence()) continue;
                            visit(kv->second.size());
                            for (auto point = kv->second.begin(); point != kv->second.end() && !bent; ++point) {
                                if (!point->IsMap()) continue;
                                for (auto xy = point->begin(); xy != point->end(); ++xy)
                                    if (xy->first.Scalar() == "y") bent = xy->second.as<double>() != 0.0;
                            }
                        }
                    }
                    if (bent) ++out.notCarried["pitch bends"];
                    if (vibrato && vibrato.IsMap())
                        for (auto kv = vibrato.begin(); kv != vibrato.end(); ++kv)
                            if (kv->first.Scalar() == "length" && kv->second.as<double>() > 0) ++out.notCarried["vibratos"];
                    if (expressions) ++out.notCarried["expressions"];
                    if (overrides) ++out.notCarried["phoneme changes"];
                }
            }
        }
        if (const YAML::Node waves = root["wave_parts"]; waves && waves.IsSequence() && waves.size() > 0)
            out.notCarried["audio parts"] += waves.size();
        for (auto& [number, track] : byNumber) {
            if (track.notes.empty()) continue;
            track.name = static_cast<std::size_t>(number) < names.size() ? names[static_cast<std::size_t>(number)]
                                                                          : "Track " + std::to_string(number + 1);
            std::stable_sort(track.notes.begin(), track.notes.end(),
                             [](const ProjectNote& a, const ProjectNote& b) { return a.start < b.start; });
            out.tracks.push_back(std::move(track));
        }
        if (out.tracks.empty()) return error = "the project has no notes", false;
        return true;
    } catch (const YAML::Exception& e) {
        error = where + ": " + (e.mark.is_null() ? std::string() : "line " + std::to_string(e.mark.line + 1) + ": ") +
                shownText(e.msg, 80);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    } catch (const std::exception& e) {
        error = where + ": " + shownText(e.what(), 80);
    }
    out = SingingProject{};
    return false;
}

std::string projectLyric(const std::string& lyric) {
    std::string_view s = trim(lyric);
    // VCV and the like: the sound before the syllable goes ("a か", "- さ").
    for (std::size_t i = s.size(); i-- > 0;) {
        if (s[i] == ' ' || s[i] == '\t') {
            s = s.substr(i + 1);
            break;
        }
        if (i + 3 <= s.size() && s.substr(i, 3) == "\xE3\x80\x80") {  // ideographic blank
            s = s.substr(i + 3);
            break;
        }
    }
    if (s.empty() || s == "R" || s == "r") return {};
    if (s == "+" || s == "+~" || s == "+*" || s == "-" || s == "~" || s == "_") return "ー";
    // Marks after the syllable ("か↑", "かA4", "か強"): the kana, or the letters, it starts with.
    const auto b0 = static_cast<unsigned char>(s[0]);
    std::size_t end = 0;
    if (b0 >= 0x80) {
        while (end + 3 <= s.size()) {
            const auto c0 = static_cast<unsigned char>(s[end]), c1 = static_cast<unsigned char>(s[end + 1]),
                       c2 = static_cast<unsigned char>(s[end + 2]);
            if (c0 != 0xE3 && c0 != 0xEF) break;
            const char32_t cp = (char32_t(c0 & 0x0F) << 12) | (char32_t(c1 & 0x3F) << 6) | (c2 & 0x3F);
            const bool kana = (cp >= 0x3041 && cp <= 0x30FC) || cp == 0x301C || (cp >= 0xFF66 && cp <= 0xFF9F) || cp == 0xFF5E;
            if (!kana) break;
            end += 3;
        }
    } else {
        while (end < s.size() && ((s[end] >= 'a' && s[end] <= 'z') || (s[end] >= 'A' && s[end] <= 'Z') || s[end] == '\''))
            ++end;
    }
    return std::string(end > 0 ? s.substr(0, end) : s);
}

bool projectSong(const SingingProject& project, int trackChoice, ProjectSong& out, std::string& error) {
    out = ProjectSong{};
    if (project.tracks.empty()) return error = "the project has no notes", false;
    if (trackChoice < 0 || static_cast<std::size_t>(trackChoice) > project.tracks.size())
        return error = "the project has " + std::to_string(project.tracks.size()) + " tracks with notes, no track " +
                       std::to_string(trackChoice),
               false;
    std::vector<std::size_t> chosen;
    for (std::size_t t = 0; t < project.tracks.size(); ++t)
        if (trackChoice == 0 || static_cast<std::size_t>(trackChoice - 1) == t) chosen.push_back(t);
    if (chosen.size() > static_cast<std::size_t>(kMaxProjectTracks))
        return error = "the project has " + std::to_string(chosen.size()) + " tracks with notes; a song takes " +
                       std::to_string(kMaxProjectTracks) + " (choose one with --part N)",
               false;

    SmfTrack conductor;
    uint32_t songEnd = 0;
    for (const ProjectTrack& t : project.tracks)
        for (const ProjectNote& n : t.notes) songEnd = std::max<uint32_t>(songEnd, static_cast<uint32_t>(std::min<uint64_t>(uint64_t(n.start) + n.length, kMaxTick)));
    for (const auto& [tick, meter] : project.meters) {
        int power = 0;
        while ((1 << power) < meter.second && power < 6) ++power;
        conductor.timeSignature(tick, meter.first, power);
    }
    const auto& tempos = project.tempos;
    if (tempos.empty() || tempos.front().first > 0) conductor.tempo(0, 500000);
    for (std::size_t i = 0; i < tempos.size(); ++i) {
        if (i + 1 < tempos.size() && tempos[i + 1].first == tempos[i].first) continue;  // the last at a tick wins
        conductor.tempo(tempos[i].first, static_cast<uint32_t>(std::lround(60000000.0 / tempos[i].second)));
        ++out.tempos;
    }
    conductor.endOfTrack(songEnd);
    std::vector<SmfTrack> smfTracks{conductor};

    UnknownPieces unknown;
    std::map<std::string, std::size_t> notCarried = project.notCarried;
    for (std::size_t k = 0; k < chosen.size(); ++k) {
        const ProjectTrack& t = project.tracks[chosen[k]];
        ProjectTrackSong song;
        song.name = t.name;
        song.channel = k < 9 ? static_cast<int>(k) : static_cast<int>(k) + 1;  // channel 10 is the drums'
        SmfTrack smf;
        smf.text(0, 3, t.name);
        // A sung line is one note at a time: a note that overlaps the next ends where it starts.
        std::vector<const ProjectNote*> notes;
        for (const ProjectNote& n : t.notes)
            if (trim(n.lyric) != "R" && trim(n.lyric) != "r") notes.push_back(&n);  // a rest written as a note
        std::string previous;
        uint64_t lastEnd = 0;
        for (std::size_t i = 0; i < notes.size(); ++i) {
            const ProjectNote& n = *notes[i];
            uint64_t end = uint64_t(n.start) + n.length;
            if (i + 1 < notes.size() && notes[i + 1]->start > n.start) end = std::min<uint64_t>(end, notes[i + 1]->start);
            end = std::min<uint64_t>(end, kMaxTick);
            smf.note(n.start, static_cast<uint32_t>(end), song.channel, n.key, 100);
            const bool afterRest = i == 0 || n.start > lastEnd;
            lastEnd = std::max(lastEnd, end);
            NoteLyric nl;
            nl.note = song.notes++;
            nl.where = t.name + ": " + n.where;
            const std::string l = lower(trim(n.lyric));
            if (l == "息" || l == "吸" || l == "br" || l == "breath") {
                ++notCarried["breaths"];
                previous.clear();
                continue;
            }
            const std::string piece = projectLyric(n.lyric);
            // The consonant part of a CVVC pair ("a k") leads into the next note: it is not sung.
            if (trim(n.lyric).find(' ') != std::string_view::npos && !piece.empty() &&
                std::none_of(piece.begin(), piece.end(), [](char c) {
                    return std::string_view("aiueoAIUEOnN").find(c) != std::string_view::npos ||
                           static_cast<unsigned char>(c) >= 0x80;
                })) {
                ++notCarried["consonant notes (CVVC)"];
                continue;
            }
            std::vector<WordSyllable> syl;
            WordSplitError bad;
            WordSplitOptions lax;
            lax.skipPunctuation = true;
            lax.previous = previous;
            if (!splitWord(piece, syl, bad, lax)) {
                unknown.add(nl.where, bad.piece, n.lyric);
                continue;
            }
            if (syl.size() > 4)
                return error = nl.where + ": more than four syllables on one note: \"" + shownText(n.lyric) + "\"", false;
            if (syl.empty()) continue;
            for (const WordSyllable& w : syl) nl.syllables.push_back(w.text);
            previous = nl.syllables.back();
            nl.phraseHead = afterRest;
            song.lyrics.push_back(std::move(nl));
        }
        smfTracks.push_back(smf);
        out.tracks.push_back(std::move(song));
    }
    if (!unknown.empty()) {
        out = ProjectSong{};
        error = unknown.message();
        return false;
    }
    // Phrase heads fall on notes with lyrics: a phrase that begins with a breath begins after it.
    for (ProjectTrackSong& t : out.tracks) {
        bool pending = false;
        std::size_t next = 0;
        for (NoteLyric& nl : t.lyrics) {
            if (nl.note != next) pending = true;
            next = nl.note + 1;
            nl.phraseHead = nl.phraseHead || pending;
            pending = false;
        }
    }
    out.smf = buildSmf(1, ProjectSong::kDivision, smfTracks);
    for (const auto& [what, count] : notCarried) {
        if (count == 0) continue;
        if (!out.notCarried.empty()) out.notCarried += ", ";
        out.notCarried += what + " (" + std::to_string(count) + ")";
    }
    return true;
}

bool isSingingProjectPath(const std::string& path) {
    const std::string l = lower(path);
    return l.ends_with(".ust") || l.ends_with(".ustx");
}

bool importSingingProject(const std::string& path, int track, ProjectSong& out, std::string& error) {
    const std::string name = fileNameOf(path);
    std::vector<uint8_t> bytes;
    if (const ReadStatus st = readWholeFile(path, bytes, kMaxProjectBytes); st != ReadStatus::Ok) {
        error = "cannot read " + path + ": " + readStatusText(st);
        return false;
    }
    const std::string text(bytes.begin(), bytes.end());
    SingingProject project;
    const bool ok = lower(path).ends_with(".ustx") ? readUstx(text, project, error) : readUst(text, project, error);
    if (!ok || !projectSong(project, track, out, error)) {
        error = name + ": " + error;
        return false;
    }
    return true;
}

}  // namespace kantor

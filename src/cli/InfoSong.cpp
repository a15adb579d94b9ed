// kantor-cli info SONG.uta: a summary of a song file, read from the file alone.
#include <cstdio>
#include <ostream>

#include "base/Codepage.h"
#include "base/PrintableText.h"
#include "base/Translation.h"
#include "cli/Commands.h"
#include "cli/JsonOut.h"
#include "song/Song.h"
#include "song/SongFile.h"

namespace kantor::cli {
namespace {

const char* const kFlagKeys[ChannelFlags::kRows] = {"midiMute", "voxMute", "midiSolo", "voxSolo"};

// Syllable codes are ASCII in every file this system writes; anything else is shown as cp932.
std::string codeUtf8(const VoxEvent& e, int slot) { return cp932ToUtf8(e.codeText(slot)); }

Json settingsJson(const VoiceSettings& s) {
    Json j;
    j["ownVoice"] = s.ownVoice;
    j["ownTuning"] = s.ownTuning;
    j["ownVolume"] = s.ownVolume;
    j["ownTiming"] = s.ownTiming;
    j["ownEffects"] = s.ownEffects;
    j["ownPositionValue"] = s.ownPositionValue;
    j["voiceName"] = s.voiceName;
    j["tuning"] = s.tuning;
    j["phraseVolume"] = s.phraseVolume;
    j["positionValue"] = s.positionValue;
    j["timingOffset"] = s.timingOffset;
    j["effect"] = Json::array();
    for (int32_t e : s.effect) j["effect"].push_back(e);
    return j;
}

template <typename T, std::size_t N>
Json arrayJson(const std::array<T, N>& a) {
    Json j = Json::array();
    for (const T& v : a) j.push_back(v);
    return j;
}

Json eventJson(const VoxEvent& e) {
    Json j;
    j["midiEventIndex"] = e.midiEventIndex;
    j["noteNumber"] = e.noteNumber;
    j["noteKey"] = e.noteKey;
    j["startTick"] = e.startTick;
    j["endTick"] = e.endTick;
    j["hasLyric"] = e.hasLyric;
    j["noteVolume"] = e.noteVolume;
    j["syllableCode"] = Json::array();
    for (int k = 0; k < VoxEvent::kSlots; ++k) j["syllableCode"].push_back(codeUtf8(e, k));
    j["syllableLength"] = arrayJson(e.syllableLength);
    j["syllableVolume"] = arrayJson(e.syllableVolume);
    j["syllableSettingsIndex"] = arrayJson(e.syllableSettingsIndex);
    j["phraseIndex"] = e.phraseIndex;
    j["phraseGroup"] = e.phraseGroup;
    j["noteSettingsIndex"] = e.noteSettingsIndex;
    j["noteParam"] = e.noteParam;
    return j;
}

template <typename T>
std::size_t present(const SlotList<T>& list) {
    std::size_t n = 0;
    for (const auto& p : list) n += p ? 1 : 0;
    return n;
}

void printJson(const Song& s, std::ostream& out) {
    Json j;
    j["songPath"] = s.songPath();
    j["midiFile"] = s.storedMidiName();
    j["midiPath"] = s.midiPath();
    j["storedDivision"] = s.storedDivision();
    for (const auto& f : TitleInfo::fields()) j[std::string(f.name)] = s.titleInfo().*f.member;
    Json flags;
    for (int row = 0; row < ChannelFlags::kRows; ++row) {
        Json values = Json::array();
        for (int c = 0; c < ChannelFlags::kChannels; ++c)
            values.push_back(s.channelFlags().get(static_cast<ChannelFlags::Row>(row), c));
        flags[kFlagKeys[row]] = std::move(values);
    }
    j["channelFlags"] = std::move(flags);
    j["reserved"] = Json::array({s.reserved1, s.reserved2, s.reserved3});
    j["songDefaults"] = settingsJson(s.songDefaults());
    Json defaults = Json::array();
    for (int c = 0; c < Song::kChannels; ++c) defaults.push_back(settingsJson(s.channelDefaults(c)));
    j["channelDefaults"] = std::move(defaults);
    Json lines = Json::array();
    for (const auto& l : s.lyricLines())
        if (l) lines.push_back(Json{{"position", l->position}, {"text", l->text}});
    j["lyricLines"] = std::move(lines);
    Json waves = Json::array();
    for (const auto& w : s.waveInserts()) {
        if (!w) continue;
        waves.push_back(Json{{"position", w->position},
                             {"path", w->path},
                             {"name", w->name},
                             {"waveValue1", w->waveValue1},
                             {"waveValue2", w->waveValue2}});
    }
    j["waveInserts"] = std::move(waves);
    Json channels = Json::array();
    for (int c = 0; c < Song::kChannels; ++c) {
        const VoxChannel& ch = s.channel(c);
        Json cj;
        cj["channel"] = c + 1;
        cj["phraseCount"] = present(ch.phrases);
        cj["syllableSettingsCount"] = present(ch.syllableSettings);
        cj["noteSettingsCount"] = present(ch.noteSettings);
        cj["eventCount"] = present(ch.events);
        Json phrases = Json::array();
        for (const auto& p : ch.phrases) phrases.push_back(p ? settingsJson(*p) : Json(nullptr));
        cj["phrases"] = std::move(phrases);
        Json events = Json::array();
        for (const auto& e : ch.events)
            if (e) events.push_back(eventJson(*e));
        cj["events"] = std::move(events);
        channels.push_back(std::move(cj));
    }
    j["channels"] = std::move(channels);
    writeJson(j, out);
}

std::string settingsText(const VoiceSettings& s, bool ownOnly) {
    std::string t;
    char buf[96];
    auto part = [&](bool own, const std::string& text) {
        if (ownOnly && !own) return;
        if (!t.empty()) t += ", ";
        t += text;
    };
    part(s.ownVoice, "voice " + s.voiceName);
    std::snprintf(buf, sizeof buf, "tuning %u.%03u Hz", s.tuning / 1000, s.tuning % 1000);
    part(s.ownTuning, buf);
    part(s.ownVolume, "volume " + std::to_string(s.phraseVolume) + " %");
    part(s.ownTiming, "timing " + std::to_string(s.timingOffset) + " ms");
    std::snprintf(buf, sizeof buf, "effects %d %d %d", s.effect[0], s.effect[1], s.effect[2]);
    part(s.ownEffects, buf);
    part(s.ownPositionValue, "position value " + std::to_string(s.positionValue));
    return t.empty() ? "all inherited" : t;
}

void printText(const Song& s, std::ostream& out) {
    const TitleInfo& t = s.titleInfo();
    out << "Song file: " << s.songPath() << "\n";
    // Every text of the song file is shown escaped, one line each (base/PrintableText.h).
    const auto shown = [](const std::string& text) { return printableText(text); };
    out << "MIDI file: " << shown(s.storedMidiName()) << "   stored division: " << s.storedDivision() << "\n";
    out << "Title: " << shown(t.title) << "\n";
    out << "  " << shown(t.lyricistLabel) << shown(t.lyricist) << "\n";
    out << "  " << shown(t.composerLabel) << shown(t.composer) << "\n";
    out << "  " << shown(t.arrangerLabel) << shown(t.arranger) << "\n";
    out << "  " << shown(t.commentLabel) << shown(t.comment) << "\n";
    for (const std::string* line : {&t.extraLine1, &t.extraLine2, &t.extraLine3})
        if (!line->empty()) out << "  " << shown(*line) << "\n";

    out << "Channel flags:\n";
    for (int row = 0; row < ChannelFlags::kRows; ++row) {
        out << "  " << ChannelFlags::kRowNames[row] << ":";
        bool any = false;
        for (int c = 0; c < ChannelFlags::kChannels; ++c) {
            if (!s.channelFlags().get(static_cast<ChannelFlags::Row>(row), c)) continue;
            out << " " << c + 1;
            any = true;
        }
        out << (any ? "\n" : " -\n");
    }

    out << "Song defaults: " << settingsText(s.songDefaults(), false) << "\n";
    out << "Channel defaults (own settings):\n";
    bool anyDefaults = false;
    for (int c = 0; c < Song::kChannels; ++c) {
        const VoiceSettings& d = s.channelDefaults(c);
        if (!(d.ownVoice || d.ownTuning || d.ownVolume || d.ownTiming || d.ownEffects || d.ownPositionValue)) continue;
        out << "  " << c + 1 << ": " << settingsText(d, true) << "\n";
        anyDefaults = true;
    }
    if (!anyDefaults) out << "  none\n";

    out << "Lyric lines: " << present(s.lyricLines()) << "\n";
    for (const auto& l : s.lyricLines())
        if (l) out << "  tick " << l->position << "  " << shown(l->text) << "\n";
    out << "Inserted waves: " << present(s.waveInserts()) << "\n";
    for (const auto& w : s.waveInserts()) {
        if (!w) continue;
        out << "  tick " << w->position << "  " << shown(w->name) << "  (" << (w->waveValue1 & 0xFFFF) << " bit, "
            << (w->waveValue1 >> 16) << " ch, " << w->waveValue2 << " Hz)  " << w->path << "\n";
    }

    for (int c = 0; c < Song::kChannels; ++c) {
        const VoxChannel& ch = s.channel(c);
        if (ch.empty()) continue;
        out << "Channel " << c + 1 << ": " << present(ch.phrases) << " phrases, " << present(ch.syllableSettings)
            << " syllable settings, " << present(ch.noteSettings) << " note settings, " << present(ch.events)
            << " events\n";
        for (std::size_t i = 0; i < ch.phrases.size(); ++i)
            if (ch.phrases[i]) out << "  phrase " << i + 1 << ": " << settingsText(*ch.phrases[i], true) << "\n";
        for (const auto& e : ch.events) {
            if (!e) continue;
            char line[128];
            std::snprintf(line, sizeof line, "  note %4u  key %3u  ticks %u-%u  group %c", e->noteNumber, e->noteKey,
                          e->startTick, e->endTick, e->phraseGroup < 6 ? 'A' + e->phraseGroup : '?');
            out << line;
            if (e->phraseIndex) out << "  phrase head " << e->phraseIndex;
            out << "  :";
            for (int k = 0; k < VoxEvent::kSlots; ++k) {
                if (e->syllableLength[static_cast<std::size_t>(k)] == 0) continue;
                out << " " << codeUtf8(*e, k) << "(" << e->syllableLength[static_cast<std::size_t>(k)] << ")";
            }
            out << "\n";
        }
    }
}

}  // namespace

int infoSong(const std::string& path, bool json, std::ostream& out, std::ostream& err) {
    Song song;
    SongFile file;
    if (!file.read(song, path)) {
        err << translated(file.lastError()) << "\n";
        return 1;
    }
    if (json) printJson(song, out);
    else printText(song, out);
    return 0;
}

}  // namespace kantor::cli

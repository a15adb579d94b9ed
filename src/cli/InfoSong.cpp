// kantor-cli info SONG.uta: a summary of a song file, read from the file alone.
#include <cstdio>
#include <ostream>

#include "base/Codepage.h"
#include "base/Json.h"
#include "cli/Commands.h"
#include "song/Song.h"
#include "song/SongFile.h"

namespace kantor::cli {
namespace {

const char* const kFlagKeys[ChannelFlags::kRows] = {"midiMute", "voxMute", "midiSolo", "voxSolo"};

// Syllable codes are ASCII in every file this system writes; anything else is shown as cp932.
std::string codeUtf8(const VoxEvent& e, int slot) { return cp932ToUtf8(e.codeText(slot)); }

void settingsJson(JsonWriter& j, const VoiceSettings& s) {
    j.beginObject();
    j.field("ownVoice", s.ownVoice).field("ownTuning", s.ownTuning).field("ownVolume", s.ownVolume);
    j.field("ownTiming", s.ownTiming).field("ownEffects", s.ownEffects).field("ownPositionValue", s.ownPositionValue);
    j.field("voiceName", s.voiceName).field("tuning", s.tuning).field("phraseVolume", s.phraseVolume);
    j.field("positionValue", s.positionValue).field("timingOffset", s.timingOffset);
    j.key("effect").beginArray();
    for (int32_t e : s.effect) j.value(e);
    j.endArray();
    j.endObject();
}

template <typename T, std::size_t N>
void arrayJson(JsonWriter& j, std::string_view key, const std::array<T, N>& a) {
    j.key(key).beginArray();
    for (const T& v : a) j.value(v);
    j.endArray();
}

void eventJson(JsonWriter& j, const VoxEvent& e) {
    j.beginObject();
    j.field("midiEventIndex", e.midiEventIndex).field("noteNumber", e.noteNumber).field("noteKey", e.noteKey);
    j.field("startTick", e.startTick).field("endTick", e.endTick).field("hasLyric", e.hasLyric);
    j.field("noteVolume", e.noteVolume);
    j.key("syllableCode").beginArray();
    for (int k = 0; k < VoxEvent::kSlots; ++k) j.value(codeUtf8(e, k));
    j.endArray();
    arrayJson(j, "syllableLength", e.syllableLength);
    arrayJson(j, "syllableVolume", e.syllableVolume);
    arrayJson(j, "syllableSettingsIndex", e.syllableSettingsIndex);
    j.field("phraseIndex", e.phraseIndex).field("phraseGroup", e.phraseGroup);
    j.field("noteSettingsIndex", e.noteSettingsIndex).field("noteParam", e.noteParam);
    j.endObject();
}

template <typename T>
std::size_t present(const SlotList<T>& list) {
    std::size_t n = 0;
    for (const auto& p : list) n += p ? 1 : 0;
    return n;
}

void printJson(const Song& s, std::ostream& out) {
    JsonWriter j;
    j.beginObject();
    j.field("songPath", s.songPath()).field("midiFile", s.storedMidiName()).field("midiPath", s.midiPath());
    j.field("storedDivision", s.storedDivision());
    for (const auto& f : TitleInfo::fields()) j.field(f.name, s.titleInfo().*f.member);
    j.key("channelFlags").beginObject();
    for (int row = 0; row < ChannelFlags::kRows; ++row) {
        j.key(kFlagKeys[row]).beginArray();
        for (int c = 0; c < ChannelFlags::kChannels; ++c)
            j.value(s.channelFlags().get(static_cast<ChannelFlags::Row>(row), c));
        j.endArray();
    }
    j.endObject();
    j.key("reserved").beginArray().value(s.reserved1).value(s.reserved2).value(s.reserved3).endArray();
    j.key("songDefaults");
    settingsJson(j, s.songDefaults());
    j.key("channelDefaults").beginArray();
    for (int c = 0; c < Song::kChannels; ++c) settingsJson(j, s.channelDefaults(c));
    j.endArray();
    j.key("lyricLines").beginArray();
    for (const auto& l : s.lyricLines())
        if (l) j.beginObject().field("position", l->position).field("text", l->text).endObject();
    j.endArray();
    j.key("waveInserts").beginArray();
    for (const auto& w : s.waveInserts()) {
        if (!w) continue;
        j.beginObject().field("position", w->position).field("path", w->path).field("name", w->name);
        j.field("waveValue1", w->waveValue1).field("waveValue2", w->waveValue2).endObject();
    }
    j.endArray();
    j.key("channels").beginArray();
    for (int c = 0; c < Song::kChannels; ++c) {
        const VoxChannel& ch = s.channel(c);
        j.beginObject().field("channel", c + 1);
        j.field("phraseCount", present(ch.phrases)).field("syllableSettingsCount", present(ch.syllableSettings));
        j.field("noteSettingsCount", present(ch.noteSettings)).field("eventCount", present(ch.events));
        j.key("phrases").beginArray();
        for (const auto& p : ch.phrases) {
            if (p) settingsJson(j, *p);
            else j.null();
        }
        j.endArray();
        j.key("events").beginArray();
        for (const auto& e : ch.events)
            if (e) eventJson(j, *e);
        j.endArray();
        j.endObject();
    }
    j.endArray();
    j.endObject();
    out << j.str() << "\n";
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
    out << "MIDI file: " << s.storedMidiName() << "   stored division: " << s.storedDivision() << "\n";
    out << "Title: " << t.title << "\n";
    out << "  " << t.lyricistLabel << t.lyricist << "\n";
    out << "  " << t.composerLabel << t.composer << "\n";
    out << "  " << t.arrangerLabel << t.arranger << "\n";
    out << "  " << t.commentLabel << t.comment << "\n";
    for (const std::string* line : {&t.extraLine1, &t.extraLine2, &t.extraLine3})
        if (!line->empty()) out << "  " << *line << "\n";

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
        if (l) out << "  tick " << l->position << "  " << l->text << "\n";
    out << "Inserted waves: " << present(s.waveInserts()) << "\n";
    for (const auto& w : s.waveInserts()) {
        if (!w) continue;
        out << "  tick " << w->position << "  " << w->name << "  (" << (w->waveValue1 & 0xFFFF) << " bit, "
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
        err << file.lastError() << "\n";
        return 1;
    }
    if (json) printJson(song, out);
    else printText(song, out);
    return 0;
}

}  // namespace kantor::cli

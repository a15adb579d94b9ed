#include "import/MidiLyricsWriter.h"

#include <cstring>

#include "base/Codepage.h"
#include "import/MidiLyrics.h"
#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "song/Song.h"

namespace kantor {
namespace {

uint32_t be32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }

}  // namespace

bool midiWithLyrics(const std::vector<uint8_t>& d, const MidiFile& midi, const Song& song, const KanaOfCode& kana,
                    bool cp932, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    // The SMF inside a RIFF "RMID" file is its "data" chunk.
    std::size_t pos = 0, end = 0;
    uint32_t headerLen = 0;
    if (!smfBytes(d, pos, end, headerLen, error)) return false;
    const uint16_t division = static_cast<uint16_t>((d[pos + 12] << 8) | d[pos + 13]);
    std::vector<std::vector<uint8_t>> tracks;
    for (std::size_t p = pos + 8 + headerLen; p + 8 <= end;) {
        const uint32_t len = be32(&d[p + 4]);
        if (len > end - p - 8) return error = "a track runs past the end of the file", false;
        if (std::memcmp(&d[p], "MTrk", 4) == 0) tracks.emplace_back(d.begin() + static_cast<long>(p), d.begin() + static_cast<long>(p + 8 + len));
        p += 8 + std::size_t(len);
    }

    std::vector<std::vector<uint8_t>> lyricTracks;
    for (int c = 0; c < Song::kChannels; ++c) {
        const auto& events = song.channel(c).events;
        const auto& notes = midi.channel(c);
        SmfTrack t;
        t.meta(0, 0x20, {static_cast<uint8_t>(c)});
        t.text(0, 0x03, "Vox " + std::to_string(c + 1));
        bool any = false;
        for (const auto& e : events) {
            if (!e || !e->hasSyllable()) continue;
            std::string text;
            for (int k = 0; k < VoxEvent::kSlots; ++k) {
                if (e->syllableLength[static_cast<std::size_t>(k)] == 0 || e->isBlankCode(k)) continue;
                text += kana(c, e->codeText(k));
            }
            if (text.empty()) continue;
            // On the MIDI note under the event, where other programs look for it.
            uint32_t tick = e->startTick;
            if (e->midiEventIndex < notes.size() && notes[e->midiEventIndex] && notes[e->midiEventIndex]->isNote())
                tick = notes[e->midiEventIndex]->value2;
            if (e->phraseIndex != 0 && any) text = "/" + text;
            if (cp932) text = utf8ToCp932(text);
            t.text(tick, 0x05, text);
            any = true;
        }
        if (any) lyricTracks.push_back(t.chunk());
    }
    if (tracks.size() + lyricTracks.size() > static_cast<std::size_t>(MidiFile::kMaxTracks))
        return error = "the MIDI file would have more than 64 tracks", false;

    const std::size_t count = tracks.size() + lyricTracks.size();
    out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count),
           static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)};
    for (const auto& t : tracks) out.insert(out.end(), t.begin(), t.end());
    for (const auto& t : lyricTracks) out.insert(out.end(), t.begin(), t.end());
    return true;
}

}  // namespace kantor

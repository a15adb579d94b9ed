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

bool readVarLen(const std::vector<uint8_t>& d, std::size_t end, std::size_t& pos, uint32_t& value) {
    value = 0;
    for (int n = 0; pos < end && n < 4; ++n) {
        const uint8_t b = d[pos++];
        value = (value << 7) | (b & 0x7Fu);
        if (!(b & 0x80)) return true;
    }
    return false;
}

void putVarLen(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t buf[4];
    int n = 0;
    buf[n++] = v & 0x7F;
    while ((v >>= 7) != 0 && n < 4) buf[n++] = static_cast<uint8_t>(0x80 | (v & 0x7F));
    while (n > 0) out.push_back(buf[--n]);
}

// The track chunk `t` ("MTrk", length, events) without its lyric events (FF 05) and, when
// `dropText` is set, without its text events (FF 01) other than karaoke "@" headers. The
// time of what is left out goes to the event after it; everything else stays byte for byte.
bool withoutLyrics(const std::vector<uint8_t>& t, bool dropText, std::vector<uint8_t>& out, std::string& error) {
    out.assign(t.begin(), t.begin() + 8);
    const std::size_t end = t.size();
    std::size_t p = 8;
    uint64_t carried = 0;  // ticks of the events left out
    uint8_t running = 0;
    while (p < end) {
        uint32_t delta = 0;
        if (!readVarLen(t, end, p, delta)) return error = "a delta-time is cut short", false;
        if (p >= end) return error = "a track ends inside an event", false;
        const std::size_t from = p;
        bool drop = false;
        const uint8_t status = t[p];
        if (status == 0xFF) {
            if (p + 2 > end) return error = "a meta event is cut short", false;
            const uint8_t type = t[p + 1];
            p += 2;
            uint32_t n = 0;
            if (!readVarLen(t, end, p, n) || n > end - p) return error = "a meta event runs past its track", false;
            drop = type == 0x05 || (dropText && type == 0x01 && !(n > 0 && t[p] == '@'));
            p += n;
        } else if (status == 0xF0 || status == 0xF7) {
            ++p;
            uint32_t n = 0;
            if (!readVarLen(t, end, p, n) || n > end - p) return error = "a system exclusive event runs past its track", false;
            p += n;
            running = 0;
        } else {
            if (status & 0x80) {
                running = status;
                ++p;
            } else if (running == 0) {
                return error = "a data byte without a status", false;
            }
            const uint8_t kind = running & 0xF0;
            const std::size_t size = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
            if (size > end - p) return error = "an event runs past its track", false;
            p += size;
        }
        // A meta event left out never breaks running status: the events around it keep theirs.
        if (carried + delta > 0x0FFFFFFF) {
            // More time than one delta holds: an empty cue point carries what was left out.
            putVarLen(out, static_cast<uint32_t>(carried));
            out.insert(out.end(), {0xFF, 0x07, 0x00});
            carried = 0;
        }
        if (drop) {
            carried += delta;
            continue;
        }
        putVarLen(out, static_cast<uint32_t>(carried + delta));
        carried = 0;
        out.insert(out.end(), t.begin() + static_cast<long>(from), t.begin() + static_cast<long>(p));
    }
    const std::size_t len = out.size() - 8;
    if (len > 0xFFFFFFFFu) return error = "a track is too long", false;
    out[4] = static_cast<uint8_t>(len >> 24);
    out[5] = static_cast<uint8_t>(len >> 16);
    out[6] = static_cast<uint8_t>(len >> 8);
    out[7] = static_cast<uint8_t>(len);
    return true;
}

}  // namespace

bool midiWithLyrics(const std::vector<uint8_t>& d, const MidiFile& midi, const Song& song, const KanaOfCode& kana,
                    bool cp932, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    // The SMF inside a RIFF "RMID" file is its "data" chunk.
    std::size_t pos = 0, end = 0;
    uint32_t headerLen = 0;
    if (!smfBytes(d, pos, end, headerLen, error)) return false;
    const uint16_t division = static_cast<uint16_t>((d[pos + 12] << 8) | d[pos + 13]);
    // The source's own lyrics are left out: the song's are the ones that count. Text events
    // go too in a karaoke file (one with "@" headers), whose words they are.
    std::vector<MidiTextTrack> text;
    if (!readMidiText(d, text, error)) return false;
    bool karaoke = false;
    for (const MidiTextTrack& t : text)
        for (const MidiTextEvent& e : t.events)
            karaoke = karaoke || (e.type == 1 && !e.bytes.empty() && e.bytes[0] == '@');
    std::vector<std::vector<uint8_t>> tracks;
    for (std::size_t p = pos + 8 + headerLen; p + 8 <= end;) {
        const uint32_t len = be32(&d[p + 4]);
        if (len > end - p - 8) return error = "a track runs past the end of the file", false;
        if (std::memcmp(&d[p], "MTrk", 4) == 0) {
            const std::vector<uint8_t> chunk(d.begin() + static_cast<long>(p), d.begin() + static_cast<long>(p + 8 + len));
            tracks.emplace_back();
            if (!withoutLyrics(chunk, karaoke, tracks.back(), error)) return false;
        }
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

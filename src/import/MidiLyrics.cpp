#include "import/MidiLyrics.h"

#include <algorithm>
#include <cstring>

#include "base/Codepage.h"
#include "base/FileIO.h"
#include "midi/MidiFile.h"
#include "voice/WordSyllables.h"

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

bool validUtf8(const std::string& s) {
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

// The events of a track that are its lyrics: lyric events when it has any, else the text
// events of a karaoke file (one with "@" headers) or of a track with many of them.
std::vector<const MidiTextEvent*> lyricEvents(const MidiTextTrack& t, bool karaoke) {
    std::vector<const MidiTextEvent*> lyric, text;
    for (const MidiTextEvent& e : t.events) (e.type == 5 ? lyric : text).push_back(&e);
    if (!lyric.empty()) return lyric;
    if (!karaoke && text.size() < 4) return {};
    std::vector<const MidiTextEvent*> out;
    for (const MidiTextEvent* e : text)
        if (e->bytes.empty() || e->bytes[0] != '@') out.push_back(e);
    // Where the words begin with a line mark, text before it names the track ("Words",
    // "notes/lyric track") and is not sung.
    auto marked = [](const MidiTextEvent* e) { return !e->bytes.empty() && (e->bytes[0] == '/' || e->bytes[0] == '\\'); };
    const auto first = std::find_if(out.begin(), out.end(), marked);
    if (first != out.end()) out.erase(out.begin(), first);
    return out;
}

bool isKaraoke(const std::vector<MidiTextTrack>& tracks) {
    for (const MidiTextTrack& t : tracks)
        for (const MidiTextEvent& e : t.events)
            if (e.type == 1 && !e.bytes.empty() && e.bytes[0] == '@') return true;
    return false;
}

}  // namespace

bool smfBytes(const std::vector<uint8_t>& d, std::size_t& pos, std::size_t& end, uint32_t& headerLength,
              std::string& error) {
    pos = 0;
    end = d.size();
    if (end >= 20 && std::memcmp(d.data(), "RIFF", 4) == 0) {
        // RIFF "RMID": the SMF is the "data" chunk.
        pos = 12;
        bool found = false;
        while (pos + 8 <= end) {
            const uint32_t len = uint32_t(d[pos + 4]) | (uint32_t(d[pos + 5]) << 8) | (uint32_t(d[pos + 6]) << 16) |
                                 (uint32_t(d[pos + 7]) << 24);
            if (std::memcmp(&d[pos], "data", 4) == 0) {
                pos += 8;
                end = std::min<std::size_t>(end, pos + len);
                found = true;
                break;
            }
            pos += 8 + std::size_t(len) + (len & 1);
        }
        if (!found) return error = "no MIDI data in the RIFF file", false;
    }
    if (end - pos < 14 || std::memcmp(&d[pos], "MThd", 4) != 0) return error = "not a Standard MIDI File", false;
    headerLength = be32(&d[pos + 4]);
    if (headerLength < 6 || headerLength > end - pos - 8) return error = "the MIDI header is cut short", false;
    return true;
}

bool readMidiText(const std::vector<uint8_t>& d, std::vector<MidiTextTrack>& tracks, std::string& error) {
    tracks.clear();
    std::size_t pos = 0, end = 0;
    uint32_t headerLen = 0;
    if (!smfBytes(d, pos, end, headerLen, error)) return false;
    pos += 8 + headerLen;
    while (pos + 8 <= end) {
        const uint32_t len = be32(&d[pos + 4]);
        const bool isTrack = std::memcmp(&d[pos], "MTrk", 4) == 0;
        pos += 8;
        if (len > end - pos) return error = "a track runs past the end of the file", false;
        const std::size_t tend = pos + len;
        if (!isTrack) {
            pos = tend;
            continue;
        }
        if (tracks.size() >= 256) return error = "too many tracks", false;
        MidiTextTrack t;
        uint32_t tick = 0;
        uint8_t running = 0;
        std::size_t p = pos;
        while (p < tend) {
            uint32_t delta = 0;
            if (!readVarLen(d, tend, p, delta)) return error = "a delta-time is cut short", false;
            tick += delta;
            if (p >= tend) return error = "a track ends inside an event", false;
            uint8_t status = d[p];
            if (status == 0xFF) {
                if (p + 2 > tend) return error = "a meta event is cut short", false;
                const uint8_t type = d[p + 1];
                p += 2;
                uint32_t n = 0;
                if (!readVarLen(d, tend, p, n) || n > tend - p) return error = "a meta event runs past its track", false;
                if (type == 1 || type == 5) t.events.push_back(MidiTextEvent{tick, type, std::string(d.begin() + static_cast<long>(p), d.begin() + static_cast<long>(p + n))});
                if (type == 0x20 && n >= 1 && d[p] < 16) t.channelPrefix = d[p];
                p += n;
                if (type == 0x2F) break;
                continue;
            }
            if (status == 0xF0 || status == 0xF7) {
                ++p;
                uint32_t n = 0;
                if (!readVarLen(d, tend, p, n) || n > tend - p) return error = "a system exclusive event runs past its track", false;
                p += n;
                running = 0;
                continue;
            }
            if (status & 0x80) {
                running = status;
                ++p;
            } else if (running == 0) {
                return error = "a data byte without a status", false;
            }
            const uint8_t kind = running & 0xF0;
            const std::size_t size = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
            if (size > tend - p) return error = "an event runs past its track", false;
            if (kind == 0x90 && d[p + 1] != 0) t.noteChannels |= uint16_t(1u << (running & 0x0F));
            p += size;
        }
        tracks.push_back(std::move(t));
        pos = tend;
    }
    if (tracks.empty()) return error = "the MIDI file has no track", false;
    return true;
}

bool hasMidiLyrics(const std::vector<MidiTextTrack>& tracks) {
    const bool karaoke = isKaraoke(tracks);
    for (const MidiTextTrack& t : tracks)
        if (!lyricEvents(t, karaoke).empty()) return true;
    return false;
}

bool midiLyricsFor(const std::vector<MidiTextTrack>& tracks, int c, std::vector<LyricPiece>& pieces, std::string& why) {
    pieces.clear();
    const bool karaoke = isKaraoke(tracks);
    // A track that names the channel with a channel prefix wins over one with its notes.
    const MidiTextTrack* named = nullptr;
    const MidiTextTrack* own = nullptr;
    const MidiTextTrack* only = nullptr;
    int carrying = 0;
    for (const MidiTextTrack& t : tracks) {
        if (lyricEvents(t, karaoke).empty()) continue;
        ++carrying;
        only = &t;
        if (t.channelPrefix == c && !named) named = &t;
        if (t.channelPrefix < 0 && ((t.noteChannels >> c) & 1u) && !own) own = &t;
    }
    const MidiTextTrack* chosen = named ? named : own ? own : carrying == 1 ? only : nullptr;
    if (!chosen) {
        why = carrying == 0 ? "the MIDI file has no lyrics"
                            : "the MIDI file has lyrics in several tracks, none of them channel " + std::to_string(c + 1) + "'s";
        return false;
    }
    const std::vector<const MidiTextEvent*> events = lyricEvents(*chosen, karaoke);
    bool utf8 = true;
    for (const MidiTextEvent* e : events) utf8 = utf8 && validUtf8(e->bytes);

    int line = 1;
    std::size_t column = 0;  // characters of the line so far
    bool pendingLine = true;
    for (const MidiTextEvent* e : events) {
        std::string s = utf8 ? e->bytes : cp932ToUtf8(e->bytes);
        bool starts = false, ends = false;
        // Line marks before the text: "/" line, "\" paragraph, CR/LF.
        std::size_t a = 0;
        while (a < s.size() && (s[a] == '/' || s[a] == '\\' || s[a] == '\r' || s[a] == '\n')) starts = true, ++a;
        std::size_t b = s.size();
        while (b > a && (s[b - 1] == '\r' || s[b - 1] == '\n')) ends = true, --b;
        s = s.substr(a, b - a);
        // A blank before a syllable begins a word; "-" joins syllables of one word.
        while (!s.empty() && (s.front() == ' ' || s.front() == '-')) s.erase(s.begin());
        while (!s.empty() && (s.back() == ' ' || s.back() == '-')) s.pop_back();
        if (s.compare(0, 3, "\xE3\x80\x80") == 0) s.erase(0, 3);  // ideographic blank
        const bool newLine = starts || pendingLine;
        if (!s.empty()) {
            if (newLine && !pieces.empty()) {
                ++line;
                column = 0;
            }
            LyricPiece p;
            p.tick = e->tick;
            p.text = s;
            p.newLine = newLine;
            p.line = line;
            p.column = static_cast<int>(column) + 1;
            column += characterCount(s, s.size());
            pieces.push_back(std::move(p));
            pendingLine = false;
        } else if (starts) {
            pendingLine = true;
        }
        if (ends) pendingLine = true;
    }
    if (pieces.empty()) {
        why = "the MIDI file's lyrics have no text";
        return false;
    }
    return true;
}

bool placeMidiLyrics(const MidiFile& midi, int c, const std::vector<LyricPiece>& pieces, std::vector<NoteLyric>& notes,
                     std::size_t& unplaced, std::string& error) {
    notes.clear();
    unplaced = 0;
    std::vector<uint32_t> starts;
    for (const auto& e : midi.channel(c))
        if (e && e->isNote()) starts.push_back(e->value2);
    const uint32_t tolerance = midi.division() / 8;  // a 32nd note
    std::vector<int> noteAt(starts.size(), -1);       // index into `notes`
    bool head = true;
    std::string previous;  // the last syllable, which a piece "ー" holds
    for (const LyricPiece& p : pieces) {
        if (p.newLine) head = true;
        std::vector<WordSyllable> syl;
        WordSplitError bad;
        WordSplitOptions lax;
        lax.skipPunctuation = true;
        lax.previous = previous;
        const std::string where = "tick " + std::to_string(p.tick) + ", line " + std::to_string(p.line) + ", column ";
        if (!splitWord(p.text, syl, bad, lax)) {
            error = where + std::to_string(p.column + static_cast<int>(bad.column)) + ": unknown piece \"" + bad.piece + "\"";
            return false;
        }
        if (syl.empty()) continue;
        previous = syl.back().text;
        // The note starting nearest the tick, within the tolerance.
        const uint32_t lo = p.tick > tolerance ? p.tick - tolerance : 0;
        auto it = std::lower_bound(starts.begin(), starts.end(), lo);
        long best = -1;
        uint32_t bestDist = 0;
        for (; it != starts.end() && *it <= uint64_t(p.tick) + tolerance; ++it) {
            const uint32_t dist = *it > p.tick ? *it - p.tick : p.tick - *it;
            if (best < 0 || dist < bestDist) best = it - starts.begin(), bestDist = dist;
        }
        if (best < 0) {
            ++unplaced;
            continue;
        }
        int& slot = noteAt[static_cast<std::size_t>(best)];
        if (slot < 0) {
            slot = static_cast<int>(notes.size());
            NoteLyric nl;
            nl.note = static_cast<std::size_t>(best);
            nl.where = where + std::to_string(p.column);
            notes.push_back(std::move(nl));
        }
        NoteLyric& nl = notes[static_cast<std::size_t>(slot)];
        if (head) nl.phraseHead = true, head = false;
        for (const WordSyllable& w : syl) nl.syllables.push_back(w.text);
        if (nl.syllables.size() > 4) {
            error = where + std::to_string(p.column) + ": more than four syllables on the note at tick " +
                    std::to_string(starts[static_cast<std::size_t>(best)]) + ": " + p.text;
            return false;
        }
    }
    // Notes in list order, as the song walks them.
    std::sort(notes.begin(), notes.end(), [](const NoteLyric& a, const NoteLyric& b) { return a.note < b.note; });
    return true;
}

bool midiLyricsOnNotes(const MidiFile& midi, int c, std::vector<NoteLyric>& notes, std::size_t& unplaced,
                       std::string& error, bool* none) {
    if (none) *none = false;
    notes.clear();
    unplaced = 0;
    std::vector<uint8_t> bytes;
    if (const ReadStatus st = readWholeFile(midi.path(), bytes); st != ReadStatus::Ok) {
        error = std::string("cannot read the file: ") + readStatusText(st);
        return false;
    }
    std::vector<MidiTextTrack> tracks;
    std::vector<LyricPiece> pieces;
    if (!readMidiText(bytes, tracks, error)) return false;
    if (!midiLyricsFor(tracks, c, pieces, error)) {
        if (none) *none = true;
        return false;
    }
    if (!placeMidiLyrics(midi, c, pieces, notes, unplaced, error)) return false;
    if (notes.empty()) {
        if (none) *none = true;
        error = "no lyric falls on a note of channel " + std::to_string(c + 1);
        return false;
    }
    return true;
}

}  // namespace kantor

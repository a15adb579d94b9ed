#include "import/MidiLyrics.h"

#include <algorithm>
#include <cstring>

#include "base/Codepage.h"
#include "base/FileIO.h"
#include "midi/MidiFile.h"
#include "midi/TempoMap.h"
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

bool plainAscii(const std::string& s) {
    for (const char ch : s)
        if (static_cast<unsigned char>(ch) >= 0x80) return false;
    return true;
}

bool lineMarked(const MidiTextEvent* e) { return !e->bytes.empty() && (e->bytes[0] == '/' || e->bytes[0] == '\\'); }

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
    // Where the words begin with a line mark, a text before it that names the track ("Words",
    // "notes/lyric track": no syllables, or other text following at the same tick) is not
    // sung. A first line written without a mark is sung like the others.
    const auto first = std::find_if(out.begin(), out.end(), lineMarked);
    std::vector<const MidiTextEvent*> kept;
    for (auto it = out.begin(); it != out.end(); ++it) {
        if (it < first) {
            if (it + 1 != out.end() && (*(it + 1))->tick == (*it)->tick) continue;
            const std::string text = validUtf8((*it)->bytes) ? (*it)->bytes : cp932ToUtf8((*it)->bytes);
            std::vector<WordSyllable> syllables;
            WordSplitError bad;
            WordSplitOptions lax;
            lax.skipPunctuation = true;
            bool sung = true;
            std::size_t from = 0;
            while (sung && from < text.size()) {  // word by word
                const std::size_t blank = std::min(text.find(' ', from), text.size());
                sung = splitWord(std::string_view(text).substr(from, blank - from), syllables, bad, lax);
                from = blank + 1;
            }
            if (!sung) continue;
        }
        kept.push_back(*it);
    }
    return kept;
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
                if (type == 0x03 && t.name.empty())
                    t.name.assign(d.begin() + static_cast<long>(p), d.begin() + static_cast<long>(p + std::min<uint32_t>(n, 256)));
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
        t.number = static_cast<int>(tracks.size()) + 1;
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

bool midiLyricsFor(const std::vector<MidiTextTrack>& tracks, int c, std::vector<LyricPiece>& pieces, std::string& why,
                   const MidiLyricsChoice& choice, MidiLyricsReport* report) {
    pieces.clear();
    const bool karaoke = isKaraoke(tracks);
    // A track that names the channel with a channel prefix wins over one with its notes.
    const MidiTextTrack* named = nullptr;
    const MidiTextTrack* own = nullptr;
    std::vector<const MidiTextTrack*> carrying;
    for (const MidiTextTrack& t : tracks) {
        if (lyricEvents(t, karaoke).empty()) continue;
        carrying.push_back(&t);
        if (t.channelPrefix == c && !named) named = &t;
        if (t.channelPrefix < 0 && ((t.noteChannels >> c) & 1u) && !own) own = &t;
    }
    if (carrying.empty()) return why = "the MIDI file has no lyrics", false;
    auto list = [&] {
        std::string s;
        for (const MidiTextTrack* t : carrying)
            s += (s.empty() ? "" : ", ") + std::to_string(t->number) +
                 (t->name.empty() ? std::string() : " \"" + shownText(t->name, 24) + "\"");
        return s;
    };
    const MidiTextTrack* chosen = nullptr;
    bool byDefault = false;
    if (choice.track > 0) {
        for (const MidiTextTrack* t : carrying)
            if (t->number == choice.track) chosen = t;
        if (!chosen)
            return why = "track " + std::to_string(choice.track) + " of the MIDI file has no lyrics (tracks with lyrics: " +
                         list() + ")",
                   false;
    } else if (choice.verse > 0) {
        if (static_cast<std::size_t>(choice.verse) > carrying.size())
            return why = "the MIDI file has " + std::to_string(carrying.size()) + " lyric track" +
                         (carrying.size() == 1 ? "" : "s") + " (" + list() + "), no verse " + std::to_string(choice.verse),
                   false;
        chosen = carrying[static_cast<std::size_t>(choice.verse - 1)];
    } else {
        chosen = named ? named : own ? own : carrying.front();
        byDefault = !named && !own && carrying.size() > 1;
    }
    if (report) {
        report->track = chosen->number;
        report->trackName = shownText(chosen->name, 24);
        report->lyricTracks = static_cast<int>(carrying.size());
        report->verse = static_cast<int>(std::find(carrying.begin(), carrying.end(), chosen) - carrying.begin()) + 1;
        report->chosenByDefault = byDefault;
    }
    const std::vector<const MidiTextEvent*> events = lyricEvents(*chosen, karaoke);
    // UTF-8 unless most events with other than ASCII are not: one stray byte does not turn
    // the whole file to cp932 (it is reported where it is).
    std::size_t utf8Votes = 0, cp932Votes = 0;
    for (const MidiTextEvent* e : events) {
        if (plainAscii(e->bytes)) continue;
        ++(validUtf8(e->bytes) ? utf8Votes : cp932Votes);
    }
    const bool utf8 = utf8Votes >= cp932Votes;

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
        // A blank before a syllable begins a word; "-" joins syllables of one word, "_" holds one.
        bool holds = false;
        while (!s.empty() && (s.front() == ' ' || s.front() == '-')) s.erase(s.begin());
        while (!s.empty() && (s.back() == ' ' || s.back() == '-' || s.back() == '_')) holds = holds || s.back() != ' ', s.pop_back();
        if (s.compare(0, 3, "\xE3\x80\x80") == 0) s.erase(0, 3);  // ideographic blank
        // A "_" or "-" of its own on a note holds the syllable before, as "ー" does.
        if (s.empty() && holds) s = "ー", holds = false;
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
            p.holds = holds;
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

std::vector<std::string> MidiLyricsReport::notes() const {
    std::vector<std::string> out;
    if (chosenByDefault)
        out.push_back("the lyrics of track " + std::to_string(track) + (trackName.empty() ? "" : " (" + trackName + ")") +
                      " are taken, verse 1 of " + std::to_string(lyricTracks) +
                      "; --verse N or --lyrics-track N takes another");
    if (melismaNotes > 0)
        out.push_back(std::to_string(melismaNotes) +
                      (melismaNotes == 1 ? " note without a lyric holds" : " notes without a lyric hold") +
                      " the syllable before (melisma)");
    if (silentNotes > 0)
        out.push_back(std::to_string(silentNotes) +
                      (silentNotes == 1 ? " note without a lyric after a rest stays" : " notes without a lyric after a rest stay") +
                      " silent");
    if (unplaced > 0) {
        std::string s = std::to_string(unplaced) + " lyric event" + (unplaced == 1 ? " starts" : "s start") +
                        " on no note of the channel and " + (unplaced == 1 ? "is" : "are") + " left out:";
        for (const std::string& u : unplacedShown) s += "\n  " + u;
        if (unplaced > unplacedShown.size()) s += "\n  (" + std::to_string(unplaced - unplacedShown.size()) + " more)";
        out.push_back(s);
    }
    return out;
}

bool placeMidiLyrics(const MidiFile& midi, int c, const std::vector<LyricPiece>& pieces, std::vector<NoteLyric>& notes,
                     MidiLyricsReport& report, std::string& error) {
    notes.clear();
    report.melismaNotes = report.silentNotes = report.unplaced = 0;
    report.unplacedShown.clear();
    struct Span {
        uint32_t start, end;
    };
    std::vector<Span> spans;
    for (const auto& e : midi.channel(c))
        if (e && e->isNote()) spans.push_back(Span{e->startTick(), e->endTick()});
    std::vector<uint32_t> starts;
    for (const Span& sp : spans) starts.push_back(sp.start);
    const uint32_t after = std::max<uint32_t>(midi.division() / 8, 1);   // a 32nd note late
    const uint32_t before = std::max<uint32_t>(midi.division() / 4, 1);  // a 16th note early
    TempoMap map;
    const bool haveMeasures = map.buildMeasureTable(midi);
    auto measureOf = [&](uint32_t tick) -> std::string {
        const long m = haveMeasures ? map.measureIndexAt(tick) : -1;
        return m < 0 ? std::string() : ", measure " + std::to_string(m + 1);
    };
    std::vector<int> noteAt(starts.size(), -1);  // index into `notes`
    std::vector<char> holdsAfter(starts.size(), 0);
    UnknownPieces unknown;
    bool head = true;
    std::string previous;  // the last syllable, which a piece "ー" holds
    for (const LyricPiece& p : pieces) {
        if (p.newLine) head = true;
        std::vector<WordSyllable> syl;
        WordSplitError bad;
        WordSplitOptions lax;
        lax.skipPunctuation = true;
        lax.previous = previous;
        const std::string where = "tick " + std::to_string(p.tick) + measureOf(p.tick) + ", line " + std::to_string(p.line) +
                                  ", column ";
        if (!splitWord(p.text, syl, bad, lax)) {
            unknown.add(where + std::to_string(p.column + static_cast<int>(bad.column)), bad.piece, p.text);
            continue;
        }
        if (syl.empty()) continue;
        previous = syl.back().text;
        // The note starting nearest the tick: up to a 32nd note before it, or a 16th after.
        const uint32_t lo = p.tick > after ? p.tick - after : 0;
        auto it = std::lower_bound(starts.begin(), starts.end(), lo);
        long best = -1;
        uint32_t bestDist = 0;
        for (; it != starts.end() && *it <= uint64_t(p.tick) + before; ++it) {
            const uint32_t dist = *it > p.tick ? *it - p.tick : p.tick - *it;
            if (best < 0 || dist < bestDist) best = it - starts.begin(), bestDist = dist;
        }
        if (best < 0) {
            if (report.unplacedShown.size() < UnknownPieces::kShown)
                report.unplacedShown.push_back("tick " + std::to_string(p.tick) + measureOf(p.tick) + ": \"" +
                                               shownText(p.text) + "\"");
            ++report.unplaced;
            continue;
        }
        const auto at = static_cast<std::size_t>(best);
        int& slot = noteAt[at];
        if (slot < 0) {
            slot = static_cast<int>(notes.size());
            NoteLyric nl;
            nl.note = at;
            nl.where = where + std::to_string(p.column);
            notes.push_back(std::move(nl));
        }
        holdsAfter[at] = p.holds ? 1 : 0;
        NoteLyric& nl = notes[static_cast<std::size_t>(slot)];
        if (head) nl.phraseHead = true, head = false;
        for (const WordSyllable& w : syl) nl.syllables.push_back(w.text);
        if (nl.syllables.size() > 4) {
            error = where + std::to_string(p.column) + ": more than four syllables on the note at tick " +
                    std::to_string(starts[at]) + ": " + shownText(p.text);
            return false;
        }
    }
    if (!unknown.empty()) {
        error = unknown.message();
        return false;
    }
    // Melismas: a note without a lyric that goes on from the note before without a rest (or
    // after a "-" or "_") sings that note's vowel again; after a rest it stays silent. Notes
    // of a chord (starting with the one before) are left alone.
    long last = -1;           // the note before, among those that start one after another
    std::string sungBefore;   // the syllable the note before ended on ("" when it was silent)
    bool holds = false;
    std::vector<NoteLyric> melismas;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        if (last >= 0 && spans[i].start == spans[static_cast<std::size_t>(last)].start) continue;
        const uint64_t lastEnd = last >= 0 ? spans[static_cast<std::size_t>(last)].end : 0;
        const bool legato = last >= 0 && lastEnd + after >= spans[i].start;
        // A "_" or "-" holds the syllable over short breaks, not over a rest of a beat or more.
        const bool held = last >= 0 && holds && lastEnd + midi.division() > spans[i].start;
        if (noteAt[i] >= 0) {
            sungBefore = notes[static_cast<std::size_t>(noteAt[i])].syllables.back();
            holds = holdsAfter[i] != 0;
        } else if (!sungBefore.empty() && (legato || held)) {
            std::vector<WordSyllable> vowel;
            WordSplitError bad;
            WordSplitOptions options;
            options.previous = sungBefore;
            if (splitWord("ー", vowel, bad, options) && vowel.size() == 1) {
                NoteLyric nl;
                nl.note = i;
                nl.where = "tick " + std::to_string(spans[i].start) + measureOf(spans[i].start);
                nl.syllables.push_back(vowel[0].text);
                sungBefore = vowel[0].text;
                melismas.push_back(std::move(nl));
                ++report.melismaNotes;
            } else {
                sungBefore.clear();
                ++report.silentNotes;
            }
        } else {
            sungBefore.clear();
            holds = false;
            ++report.silentNotes;
        }
        last = static_cast<long>(i);
    }
    for (NoteLyric& m : melismas) notes.push_back(std::move(m));
    // Notes in list order, as the song walks them.
    std::sort(notes.begin(), notes.end(), [](const NoteLyric& a, const NoteLyric& b) { return a.note < b.note; });
    return true;
}

bool midiLyricsOnNotes(const MidiFile& midi, int c, std::vector<NoteLyric>& notes, MidiLyricsReport& report,
                       std::string& error, bool* none, const MidiLyricsChoice& choice) {
    if (none) *none = false;
    notes.clear();
    report = MidiLyricsReport{};
    std::vector<uint8_t> bytes;
    if (const ReadStatus st = readWholeFile(midi.path(), bytes); st != ReadStatus::Ok) {
        error = std::string("cannot read the file: ") + readStatusText(st);
        return false;
    }
    std::vector<MidiTextTrack> tracks;
    std::vector<LyricPiece> pieces;
    if (!readMidiText(bytes, tracks, error)) return false;
    if (!midiLyricsFor(tracks, c, pieces, error, choice, &report)) {
        if (none) *none = choice.track == 0 && choice.verse == 0;
        return false;
    }
    if (!placeMidiLyrics(midi, c, pieces, notes, report, error)) return false;
    if (notes.empty()) {
        if (none) *none = true;
        error = "no lyric falls on a note of channel " + std::to_string(c + 1);
        return false;
    }
    return true;
}

}  // namespace kantor

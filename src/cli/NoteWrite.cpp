// kantor-cli note add|move|resize|split|join|delete: writing a channel's notes
// (song/NoteEdits.h). The MIDI file and the song change together under the song's lock; a
// failure leaves both as they were, and success is printed only once both are written.
#include <charconv>
#include <ostream>

#include "base/FileLock.h"
#include "base/Translation.h"
#include "cli/Commands.h"
#include "cli/Session.h"
#include "midi/MidiFile.h"
#include "song/NoteEdits.h"

namespace kantor::cli {
namespace {

// A whole number with an optional sign in [lo, hi].
bool parseSigned(const std::string& t, int64_t lo, int64_t hi, int64_t& v) {
    const char* b = t.data();
    const char* e = t.data() + t.size();
    if (b != e && *b == '+') ++b;
    if (b == e) return false;
    auto [p, ec] = std::from_chars(b, e, v);
    return ec == std::errc() && p == e && v >= lo && v <= hi;
}

// N or N-M counted from 1, as 0-based indexes.
bool parseNotes(const std::string& t, std::size_t& first, std::size_t& last) {
    const std::size_t dash = t.find('-');
    int64_t n = 0, m = 0;
    if (!parseSigned(t.substr(0, dash), 1, 0xFFFFFFFF, n) || t[0] == '+') return false;
    m = n;
    if (dash != std::string::npos &&
        (dash + 1 >= t.size() || t[dash + 1] == '+' || !parseSigned(t.substr(dash + 1), 1, 0xFFFFFFFF, m) || m < n))
        return false;
    first = std::size_t(n - 1);
    last = std::size_t(m - 1);
    return true;
}

std::size_t noteCount(const MidiFile& midi, int c) {
    std::size_t n = 0;
    for (const auto& e : midi.channel(c))
        if (e && e->isNote()) ++n;
    return n;
}

}  // namespace

bool isNoteWriteCommand(const std::string& command) {
    return command == "add" || command == "move" || command == "resize" || command == "split" || command == "join" ||
           command == "delete";
}

int noteWrite(const NoteArgs& a, std::ostream& out, std::ostream& err) {
    const std::string what = "note " + a.command + ": ";
    const int64_t maxTick = noteedit::kMaxTick;
    int64_t tick = 0, length = 0, key = -1, by = 0, transpose = 0, at = 0;
    std::size_t first = 0, last = 0;
    auto usage = [&](const std::string& text) {
        err << what << text << "\n";
        return 2;
    };
    const std::string& cmd = a.command;
    if (cmd == "add") {
        if (!parseSigned(a.tick, 0, maxTick, tick)) return usage("--tick must be a tick from 0");
        if (!parseSigned(a.length, 1, maxTick, length)) return usage("--length must be 1 tick or more");
        if (!parseSigned(a.key, 0, 127, key)) return usage("--key must be a key number 0 to 127");
    } else {
        if (!parseNotes(a.notes, first, last)) return usage("--note " + a.notes + " is not N or N-M (counted from 1)");
        if (cmd != "delete" && first != last) return usage("--note takes one note");
    }
    if (cmd == "move") {
        if (!a.by.empty() && !parseSigned(a.by, -maxTick, maxTick, by)) return usage("--by must be a number of ticks");
        if (!a.key.empty() && !a.transpose.empty()) return usage("give --key or --transpose, not both");
        if (!a.key.empty() && !parseSigned(a.key, 0, 127, key)) return usage("--key must be a key number 0 to 127");
        if (!a.transpose.empty() && !parseSigned(a.transpose, -127, 127, transpose))
            return usage("--transpose must be -127 to 127 semitones");
        if (a.by.empty() && a.key.empty() && a.transpose.empty()) return usage("nothing to move: give --by, --key or --transpose");
    }
    if (cmd == "resize" && !parseSigned(a.length, 1, maxTick, length)) return usage("--length must be 1 tick or more");
    if (cmd == "split" && !parseSigned(a.at, 0, maxTick, at)) return usage("--at must be a tick inside the note");
    std::string syllable = a.syllable;
    for (char& ch : syllable)
        if (ch >= 'a' && ch <= 'z') ch = char(ch - 'a' + 'A');

    const FileLock lock(a.song);
    if (!lock.locked()) {
        err << what << translated(lock.error()) << "\n";
        return 1;
    }
    CliSession s(a.common);
    s.setMessageStream(err);
    if (!s.session().openSong(a.song)) return 1;
    const int c = int(a.channel) - 1;
    NoteEdits edits(s.song(), s.midi(), nullptr);
    const std::size_t count = noteCount(s.midi(), c);
    if (cmd != "add" && last >= count) {
        err << what << "note " << last + 1 << " is past the end: channel " << a.channel << " has " << count
            << " notes\n";
        return 1;
    }
    bool ok = false;
    if (cmd == "add") {
        ok = edits.add(c, uint32_t(tick), uint32_t(length), int(key), syllable);
    } else if (cmd == "move") {
        int semitones = int(transpose);
        if (key >= 0) {
            std::size_t n = 0;
            for (const auto& e : s.midi().channel(c))
                if (e && e->isNote() && n++ == first) semitones = int(key) - int(e->noteNumber());
        }
        ok = edits.move(c, {first}, by, semitones);
    } else if (cmd == "resize") {
        ok = edits.resize(c, first, uint32_t(length));
    } else if (cmd == "split") {
        ok = edits.split(c, first, uint32_t(at));
    } else if (cmd == "join") {
        ok = edits.join(c, first);
    } else {
        std::vector<std::size_t> notes;
        for (std::size_t i = first; i <= last; ++i) notes.push_back(i);
        ok = edits.remove(c, notes);
    }
    if (!ok) {
        err << what << translated(edits.lastError()) << "\n";
        return 1;
    }
    // Both files are written: now say so.
    if (cmd == "delete") {
        out << "notes " << first + 1 << "-" << last + 1 << " of channel " << a.channel << " deleted\n";
    } else if (cmd == "join") {
        out << "notes " << first + 1 << " and " << first + 2 << " of channel " << a.channel << " joined\n";
    } else {
        const std::size_t n = edits.lastNote();
        const VoxEvent* e = s.song().event(c, n);
        out << "note " << n + 1 << " of channel " << a.channel;
        if (e) out << ": tick " << e->startTick << ", key " << e->noteKey;
        out << "\n";
    }
    return 0;
}

}  // namespace kantor::cli

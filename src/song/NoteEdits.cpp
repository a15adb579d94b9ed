#include "song/NoteEdits.h"

#include <algorithm>
#include <new>
#include <numeric>

#include "base/FileIO.h"
#include "base/Texts.h"
#include "midi/MidiFile.h"
#include "song/EditHistory.h"
#include "song/Song.h"
#include "song/SongFile.h"
#include "song/VoxTrackBuilder.h"
#include "voice/SyllableTable.h"

namespace kantor {
namespace {

// The notes of a channel list: the entry index of each.
std::vector<std::size_t> noteEntries(const ChannelEventList& list) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] && list[i]->isNote()) out.push_back(i);
    return out;
}

bool knownCode(const std::string& code) {
    for (const SyllableRow& row : syllableTable())
        if (row.code == code) return true;
    return false;
}

}  // namespace

std::string heldVowel(const VoxEvent& e) {
    for (int k = VoxEvent::kSlots; k-- > 0;) {
        if (e.syllableLength[std::size_t(k)] == 0 || e.isBlankCode(k)) continue;
        const std::string code = e.codeText(k);
        switch (code.back()) {
            case 'A': return "A";
            case 'I': return "I";
            case 'U': return "U";
            case 'E': return "E";
            case 'O': return "O";
            case 'N': return "N";
            default: return {};
        }
    }
    return {};
}

bool NoteEdits::load(std::vector<uint8_t>& bytes) {
    const ReadStatus st = readWholeFile(midi_.path(), bytes);
    if (st != ReadStatus::Ok) return fail(std::string(noteedit::kMidiChanged) + "\n" + midi_.path() + ": " + readStatusText(st));
    return true;
}

bool NoteEdits::plan(int c, std::vector<PlannedNote>& out) {
    clearError();
    planned_ = -1;
    out.clear();
    c &= 15;
    if (!midi_.isLoaded()) return fail(noteedit::kMidiNotEditable);
    std::vector<uint8_t> bytes;
    if (!load(bytes)) return false;
    if (!smf_.parse(std::move(bytes))) return fail(std::string(noteedit::kMidiNotEditable) + "\n" + smf_.lastError());
    notes_ = smf_.channelNotes(c);
    // The file on disk must still be the one the song was opened with.
    const ChannelEventList& list = midi_.channel(c);
    const std::vector<std::size_t> entries = noteEntries(list);
    if (entries.size() != notes_.size()) return fail(noteedit::kMidiChanged);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ChannelEvent& m = *list[entries[i]];
        if (m.startTick() != notes_[i].start || m.noteNumber() != notes_[i].key) return fail(noteedit::kMidiChanged);
    }
    auto& events = song_.channel(c).events;
    if (!events.empty() && events.size() != entries.size()) return fail(noteedit::kMidiChanged);
    try {
        out.reserve(entries.size() + 2);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const ChannelEvent& m = *list[entries[i]];
            const SmfNote& n = notes_[i];
            PlannedNote p;
            p.old = long(i);
            p.start = m.startTick();
            p.end = m.endTick();
            p.rawOff = n.offTick;
            p.key = uint8_t(n.key);
            p.velocity = n.velocity;
            p.track = n.track;
            p.offIsNoteOn = n.offIsNoteOn;
            p.offVelocity = n.hasOff ? n.offVelocity : 64;
            // A channel that is not yet a Vox channel becomes one.
            p.event = i < events.size() && events[i] ? *events[i] : newVoxEvent(m, entries[i], uint32_t(i + 1));
            if (p.event.hasLyric == 2) p.event.hasLyric = p.event.hasSyllable() ? 1 : 0;
            out.push_back(std::move(p));
        }
    } catch (const std::bad_alloc&) {
        return fail(text::kOutOfMemory);
    }
    planned_ = c;
    return true;
}

bool NoteEdits::commit(int c, std::vector<PlannedNote>& plan) {
    clearError();
    c &= 15;
    if (planned_ != c) return fail(noteedit::kMidiNotEditable);
    planned_ = -1;
    // The notes in time; where an edited note and another overlap, the earlier one ends
    // where the later begins.
    std::vector<std::size_t> byTime(plan.size());
    std::iota(byTime.begin(), byTime.end(), 0);
    for (const PlannedNote& p : plan)
        if (p.key > 127 || p.end <= p.start || p.end > noteedit::kMaxTick) return fail(noteedit::kOutOfRange);
    std::stable_sort(byTime.begin(), byTime.end(),
                     [&](std::size_t a, std::size_t b) { return plan[a].start < plan[b].start; });
    for (std::size_t k = 0; k + 1 < byTime.size(); ++k) {
        PlannedNote& a = plan[byTime[k]];
        const PlannedNote& b = plan[byTime[k + 1]];
        if (!a.edited() && !b.edited()) continue;
        if (a.start == b.start) return fail(noteedit::kSameStart);
        if (a.end > b.start) {
            a.end = b.start;
            if (a.old >= 0) a.rewrite = true;
        }
        // A note-off in the file beyond the next note's start would end a new note of its key.
        if (b.edited() && a.rawOff > b.start && a.old >= 0) a.rewrite = true;
        if (a.event.endTick > a.end && a.edited()) a.event.endTick = a.end;
        if (a.event.startTick >= a.event.endTick) a.event.startTick = a.start;
    }

    std::vector<bool> remove(notes_.size(), true);
    std::vector<SmfNewNote> add;
    std::vector<std::size_t> addPlan;  // the plan entry of each note put in
    std::vector<long> oldPlan(notes_.size(), -1);
    int nearTrack = smf_.trackForNewChannel(c);
    for (const PlannedNote& p : plan)
        if (p.old >= 0) nearTrack = p.track;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const PlannedNote& p = plan[i];
        if (p.old >= long(notes_.size())) return fail(noteedit::kNoSuchNote);
        if (p.old >= 0 && !p.rewrite) {
            remove[std::size_t(p.old)] = false;
            oldPlan[std::size_t(p.old)] = long(i);
            continue;
        }
        SmfNewNote n;
        n.start = p.start;
        n.end = p.end;
        n.key = p.key;
        n.velocity = p.velocity == 0 ? 100 : p.velocity;
        n.track = p.track >= 0 && p.track < smf_.trackCount() ? p.track : nearTrack;
        n.offIsNoteOn = p.offIsNoteOn;
        n.offVelocity = p.offVelocity;
        add.push_back(n);
        addPlan.push_back(i);
    }
    std::vector<uint8_t> bytes;
    std::vector<SmfOrderEntry> order;
    std::vector<std::unique_ptr<VoxEvent>> events;
    MidiFile check;
    try {
        if (!smf_.rewrite(c, notes_, remove, add, bytes, order))
            return fail(std::string(noteedit::kMidiNotEditable) + "\n" + smf_.lastError());
        // The new file read back must list the notes planned, in the order worked out.
        if (!check.loadImage(bytes, midi_.path())) return fail(std::string(noteedit::kMidiNotEditable) + "\n" + check.lastError());
        const ChannelEventList& list = check.channel(c);
        const std::vector<std::size_t> entries = noteEntries(list);
        if (entries.size() != plan.size() || order.size() != plan.size())
            return fail(std::string(noteedit::kMidiNotEditable) + "\nthe notes written do not read back");
        events.reserve(plan.size());
        for (std::size_t j = 0; j < order.size(); ++j) {
            const long at = order[j].added ? long(addPlan.at(order[j].index)) : oldPlan.at(order[j].index);
            if (at < 0) return fail(std::string(noteedit::kMidiNotEditable) + "\nthe notes written do not read back");
            const PlannedNote& p = plan[std::size_t(at)];
            const ChannelEvent& m = *list[entries[j]];
            if (m.startTick() != p.start || m.noteNumber() != p.key || (p.edited() && m.endTick() != p.end))
                return fail(std::string(noteedit::kMidiNotEditable) + "\nthe notes written do not read back");
            VoxEvent e = p.event;
            e.noteKey = p.key;
            e.midiEventIndex = uint16_t(entries[j]);
            e.noteNumber = uint16_t(j + 1);
            events.push_back(std::make_unique<VoxEvent>(e));
        }
        // lastNote_: the first note the edit was asked about, else the first it changed.
        lastNote_ = plan.size();
        for (int pass = 0; pass < 2 && lastNote_ == plan.size(); ++pass)
            for (std::size_t j = 0; j < order.size(); ++j) {
                const PlannedNote& p = plan[std::size_t(order[j].added ? long(addPlan[order[j].index]) : oldPlan[order[j].index])];
                if (pass == 0 ? p.primary : p.edited()) {
                    lastNote_ = j;
                    break;
                }
            }
    } catch (const std::bad_alloc&) {
        return fail(text::kOutOfMemory);
    }

    // The song and both files, as one step.
    const std::vector<uint8_t> previous = smf_.bytes();
    VoxChannel& ch = song_.channel(c);
    if (history_) history_->begin(song_, c);
    std::vector<std::unique_ptr<VoxEvent>> before;
    before.swap(ch.events);
    ch.events.swap(events);
    if (!writeFiles(bytes, previous)) {
        ch.events.swap(before);
        if (history_) history_->cancel();
        return false;
    }
    if (history_) {
        history_->setMidiChange(ByteChange::compare(previous, bytes));
        history_->end(song_);
    }
    const std::string path = midi_.path();
    midi_.loadImage(std::move(bytes), path);
    return true;
}

bool NoteEdits::writeFiles(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& previous) {
    songWritten_ = false;
    std::string error;
    if (!writeFileAtomically(midi_.path(), bytes, &error))
        return fail(std::string(noteedit::kMidiSaveFailed) + "\n" + midi_.path() + ": " + error);
    if (saveSong_ && !song_.songPath().empty()) {
        const bool wasModified = song_.modified();
        SongFile file;
        if (!file.write(song_, song_.songPath(), midi_.path(), midi_.division())) {
            // The MIDI file goes back to what the song file still matches.
            writeFileAtomically(midi_.path(), previous, nullptr);
            song_.setModified(wasModified);
            return fail(file.lastError());
        }
        song_.setModified(false);
        songWritten_ = true;
    } else {
        song_.setModified(true);
    }
    return true;
}

bool NoteEdits::undo() { return step(false); }
bool NoteEdits::redo() { return step(true); }

bool NoteEdits::step(bool forward) {
    clearError();
    songWritten_ = false;
    if (!history_) return false;
    const ByteChange* change = forward ? history_->redoMidi() : history_->undoMidi();
    auto run = [&](bool f) { return (f ? history_->redo(song_) : history_->undo(song_)) != EditHistory::kNothing; };
    if (!change) return run(forward);
    std::vector<uint8_t> current, target;
    if (!load(current)) return false;
    if (!change->apply(current, forward, target)) return fail(noteedit::kMidiChanged);
    if (!run(forward)) return false;
    if (!writeFiles(target, current)) {
        run(!forward);
        return false;
    }
    const std::string path = midi_.path();
    midi_.loadImage(std::move(target), path);
    return true;
}

bool NoteEdits::add(int c, uint32_t tick, uint32_t length, int key, const std::string& syllable) {
    if (key < 0 || key > 127 || length == 0 || uint64_t(tick) + length > noteedit::kMaxTick)
        return fail(noteedit::kOutOfRange);
    if (!syllable.empty() && !knownCode(syllable)) return fail(std::string(noteedit::kBadSyllable) + "\n" + syllable);
    std::vector<PlannedNote> p;
    if (!plan(c, p)) return false;
    PlannedNote n;
    n.start = tick;
    n.end = tick + length;
    n.key = uint8_t(key);
    n.primary = true;
    // Velocity and note-off as the channel's nearest earlier note has them.
    for (const PlannedNote& q : p) {
        if (q.start > tick) break;
        n.velocity = q.velocity;
        n.track = q.track;
        n.offIsNoteOn = q.offIsNoteOn;
        n.offVelocity = q.offVelocity;
    }
    ChannelEvent m;
    m.value1 = uint32_t(key);
    m.value2 = tick;
    m.value3 = tick + length;
    n.event = newVoxEvent(m, 0, 0);
    if (!syllable.empty()) {
        n.event.setCode(0, syllable);
        n.event.syllableLength[0] = 1;
        n.event.hasLyric = 1;
    }
    p.push_back(std::move(n));
    return commit(c, p);
}

bool NoteEdits::move(int c, const std::vector<std::size_t>& notes, int64_t ticks, int semitones) {
    std::vector<PlannedNote> p;
    if (!plan(c, p)) return false;
    if (notes.empty()) return fail(noteedit::kNoSuchNote);
    for (std::size_t i : notes) {
        if (i >= p.size()) return fail(noteedit::kNoSuchNote);
        PlannedNote& n = p[i];
        const int64_t start = int64_t(n.start) + ticks, end = int64_t(n.end) + ticks;
        const int key = int(n.key) + semitones;
        if (start < 0 || end > int64_t(noteedit::kMaxTick) || key < 0 || key > 127) return fail(noteedit::kOutOfRange);
        if (n.rewrite) continue;  // named twice
        n.start = uint32_t(start);
        n.end = uint32_t(end);
        n.key = uint8_t(key);
        n.rewrite = true;
        n.primary = true;
        // The event keeps its own offsets from the note.
        n.event.startTick = uint32_t(std::clamp<int64_t>(int64_t(n.event.startTick) + ticks, 0, noteedit::kMaxTick));
        n.event.endTick = uint32_t(std::clamp<int64_t>(int64_t(n.event.endTick) + ticks, 0, noteedit::kMaxTick));
    }
    return commit(c, p);
}

bool NoteEdits::setKey(int c, std::size_t note, int key) {
    if (key < 0 || key > 127) return fail(noteedit::kOutOfRange);
    const ChannelEventList& list = midi_.channel(c & 15);
    const std::vector<std::size_t> entries = noteEntries(list);
    if (note >= entries.size()) return fail(noteedit::kNoSuchNote);
    return move(c, {note}, 0, key - int(list[entries[note]]->noteNumber()));
}

bool NoteEdits::resize(int c, std::size_t note, uint32_t length) {
    std::vector<PlannedNote> p;
    if (!plan(c, p)) return false;
    if (note >= p.size()) return fail(noteedit::kNoSuchNote);
    PlannedNote& n = p[note];
    if (length == 0 || uint64_t(n.start) + length > noteedit::kMaxTick) return fail(noteedit::kOutOfRange);
    n.end = n.start + length;
    n.rewrite = true;
    n.primary = true;
    n.event.endTick = n.end;
    if (n.event.startTick >= n.event.endTick) n.event.startTick = n.start;
    return commit(c, p);
}

bool NoteEdits::split(int c, std::size_t note, uint32_t at) {
    std::vector<PlannedNote> p;
    if (!plan(c, p)) return false;
    if (note >= p.size()) return fail(noteedit::kNoSuchNote);
    PlannedNote& first = p[note];
    if (at <= first.start || at >= first.end) return fail(noteedit::kOutOfRange);
    PlannedNote second = first;
    second.old = -1;
    second.rewrite = false;
    second.start = at;
    second.primary = true;
    first.end = at;
    first.rewrite = true;
    // The second half sings on the vowel of the first: its syllables go, its settings stay.
    VoxEvent& e = second.event;
    const std::string vowel = heldVowel(first.event);
    e.syllableCode = {};
    e.syllableLength = {};
    e.syllableSettingsIndex = {};
    e.syllableVolume = {100, 100, 100, 100};
    e.phraseIndex = 0;
    e.hasLyric = 0;
    if (!vowel.empty()) {
        e.setCode(0, vowel);
        e.syllableLength[0] = 1;
        e.syllableVolume[0] = first.event.syllableVolume[0];
        e.hasLyric = 1;
    }
    e.startTick = at;
    e.endTick = std::max(first.event.endTick, at + 1);
    first.event.endTick = at;
    if (first.event.startTick >= at) first.event.startTick = first.start;
    p.push_back(std::move(second));
    return commit(c, p);
}

namespace {
// A phrase head that goes hands its phrase to the next note of its group, when that note is
// in the same phrase (no head of its own).
void handOnPhrase(std::vector<PlannedNote>& p, std::size_t gone, const std::vector<bool>& going) {
    const VoxEvent& g = p[gone].event;
    if (g.phraseIndex == 0) return;
    for (std::size_t j = gone + 1; j < p.size(); ++j) {
        if (going[j] || p[j].event.phraseGroup != g.phraseGroup) continue;
        if (p[j].event.phraseIndex == 0) p[j].event.phraseIndex = g.phraseIndex;
        return;
    }
}
}  // namespace

bool NoteEdits::join(int c, std::size_t note) {
    std::vector<PlannedNote> p;
    if (!plan(c, p)) return false;
    if (note + 1 >= p.size()) return fail(noteedit::kNoSuchNote);
    std::vector<bool> going(p.size(), false);
    going[note + 1] = true;
    handOnPhrase(p, note + 1, going);
    PlannedNote& first = p[note];
    const PlannedNote& second = p[note + 1];
    first.end = std::max(first.end, second.end);
    first.rewrite = true;
    first.primary = true;
    first.event.endTick = std::max(first.event.endTick, second.event.endTick);
    p.erase(p.begin() + long(note + 1));
    return commit(c, p);
}

bool NoteEdits::remove(int c, const std::vector<std::size_t>& notes) {
    std::vector<PlannedNote> p;
    if (!plan(c, p)) return false;
    if (notes.empty()) return fail(noteedit::kNoSuchNote);
    std::vector<bool> going(p.size(), false);
    for (std::size_t i : notes) {
        if (i >= p.size()) return fail(noteedit::kNoSuchNote);
        going[i] = true;
    }
    for (std::size_t i = 0; i < p.size(); ++i)
        if (going[i]) handOnPhrase(p, i, going);
    std::vector<PlannedNote> kept;
    for (std::size_t i = 0; i < p.size(); ++i)
        if (!going[i]) kept.push_back(std::move(p[i]));
    return commit(c, kept);
}

}  // namespace kantor

#include "song/EditHistory.h"

#include <algorithm>
#include <new>

namespace kantor {

namespace {

template <typename T>
std::vector<std::optional<T>> copyList(const SlotList<T>& list) {
    std::vector<std::optional<T>> out;
    out.reserve(list.size());
    for (const auto& p : list) {
        if (p)
            out.emplace_back(*p);
        else
            out.emplace_back(std::nullopt);
    }
    return out;
}

template <typename T>
SlotList<T> makeList(const std::vector<std::optional<T>>& copies) {
    SlotList<T> out;
    out.reserve(copies.size());
    for (const auto& c : copies) out.push_back(c ? std::make_unique<T>(*c) : nullptr);
    return out;
}

}  // namespace

ChannelRecords ChannelRecords::capture(const Song& song, int c) {
    ChannelRecords r;
    r.channel = c;
    const VoxChannel& ch = song.channel(c);
    r.events = copyList(ch.events);
    for (auto& e : r.events) {
        if (e && e->hasLyric == 2) e->hasLyric = e->hasSyllable() ? 1 : 0;
    }
    r.phrases = copyList(ch.phrases);
    r.syllableSettings = copyList(ch.syllableSettings);
    r.noteSettings = copyList(ch.noteSettings);
    r.defaults = song.channelDefaults(c);
    return r;
}

bool ChannelRecords::restore(Song& song) const {
    // Everything is built before the song's lists are touched, so running out of memory
    // leaves them as they were.
    try {
        VoxChannel fresh;
        fresh.events = makeList(events);
        fresh.phrases = makeList(phrases);
        fresh.syllableSettings = makeList(syllableSettings);
        fresh.noteSettings = makeList(noteSettings);
        VoxChannel& ch = song.channel(channel);
        std::swap(ch.events, fresh.events);
        std::swap(ch.phrases, fresh.phrases);
        std::swap(ch.syllableSettings, fresh.syllableSettings);
        std::swap(ch.noteSettings, fresh.noteSettings);
        song.channelDefaults(channel) = defaults;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

std::size_t ChannelRecords::bytes() const {
    return events.size() * sizeof(std::optional<VoxEvent>) + phrases.size() * sizeof(std::optional<VoiceSettings>) +
           syllableSettings.size() * sizeof(std::optional<SyllableSettings>) +
           noteSettings.size() * sizeof(std::optional<NoteSettings>) + sizeof(ChannelRecords);
}

template <typename T>
ListDiff<T> ListDiff<T>::compare(const std::vector<std::optional<T>>& before,
                                 const std::vector<std::optional<T>>& after) {
    ListDiff d;
    d.sizeBefore = before.size();
    d.sizeAfter = after.size();
    const std::size_t shorter = std::min(before.size(), after.size());
    std::size_t head = 0;
    while (head < shorter && before[head] == after[head]) ++head;
    std::size_t tail = 0;
    while (tail < shorter - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) ++tail;
    const std::size_t beforeEnd = before.size() - tail, afterEnd = after.size() - tail;
    auto take = [](const std::vector<std::optional<T>>& v, std::size_t from, std::size_t to) {
        return std::vector<std::optional<T>>(v.begin() + static_cast<std::ptrdiff_t>(from),
                                             v.begin() + static_cast<std::ptrdiff_t>(to));
    };
    if (before.size() != after.size()) {
        d.changes.push_back({head, take(before, head, beforeEnd), take(after, head, afterEnd)});
        return d;
    }
    for (std::size_t i = head; i < beforeEnd;) {
        if (before[i] == after[i]) {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < beforeEnd && !(before[j] == after[j])) ++j;
        d.changes.push_back({i, take(before, i, j), take(after, i, j)});
        i = j;
    }
    return d;
}

template <typename T>
bool ListDiff<T>::apply(SlotList<T>& list, bool forward) const {
    const std::size_t from = forward ? sizeBefore : sizeAfter;
    const std::size_t to = forward ? sizeAfter : sizeBefore;
    if (list.size() != from) return false;
    // Every check and every allocation comes before the list is touched.
    std::size_t pos = 0, size = from;
    for (const SlotChange<T>& c : changes) {
        const std::size_t gone = (forward ? c.before : c.after).size();
        const std::size_t come = (forward ? c.after : c.before).size();
        if (c.at < pos || c.at > from || gone > from - c.at) return false;
        pos = c.at + gone;
        size = size - gone + come;
    }
    if (size != to) return false;
    try {
        std::vector<SlotList<T>> made;
        made.reserve(changes.size());
        for (const SlotChange<T>& c : changes) made.push_back(makeList(forward ? c.after : c.before));
        SlotList<T> fresh;
        fresh.reserve(to);
        pos = 0;
        for (std::size_t k = 0; k < changes.size(); ++k) {
            for (; pos < changes[k].at; ++pos) fresh.push_back(std::move(list[pos]));
            for (auto& p : made[k]) fresh.push_back(std::move(p));
            pos += (forward ? changes[k].before : changes[k].after).size();
        }
        for (; pos < from; ++pos) fresh.push_back(std::move(list[pos]));
        list.swap(fresh);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

template <typename T>
std::size_t ListDiff<T>::bytes() const {
    std::size_t n = sizeof(ListDiff);
    for (const SlotChange<T>& c : changes)
        n += sizeof(SlotChange<T>) + (c.before.size() + c.after.size()) * sizeof(std::optional<T>);
    return n;
}

template struct ListDiff<VoxEvent>;
template struct ListDiff<VoiceSettings>;
template struct ListDiff<SyllableSettings>;
template struct ListDiff<NoteSettings>;

EditHistory::EditHistory(std::size_t maxSteps, std::size_t maxBytes)
    : maxSteps_(std::max<std::size_t>(1, maxSteps)), maxBytes_(maxBytes) {}

EditHistory::Pending EditHistory::capture(const Song& song, int scope) {
    Pending p;
    p.scope = scope;
    if (scope >= 0)
        p.channel = ChannelRecords::capture(song, scope);
    else
        p.songDefaults = song.songDefaults();
    return p;
}

EditHistory::Part EditHistory::compare(const Pending& before, const Pending& after) {
    Part p;
    p.scope = before.scope;
    if (p.scope < 0) {
        p.defaultsBefore = before.songDefaults;
        p.defaultsAfter = after.songDefaults;
        return p;
    }
    const ChannelRecords& b = before.channel;
    const ChannelRecords& a = after.channel;
    p.events = ListDiff<VoxEvent>::compare(b.events, a.events);
    p.phrases = ListDiff<VoiceSettings>::compare(b.phrases, a.phrases);
    p.syllableSettings = ListDiff<SyllableSettings>::compare(b.syllableSettings, a.syllableSettings);
    p.noteSettings = ListDiff<NoteSettings>::compare(b.noteSettings, a.noteSettings);
    p.defaultsBefore = b.defaults;
    p.defaultsAfter = a.defaults;
    return p;
}

bool EditHistory::Part::changed() const {
    return !events.empty() || !phrases.empty() || !syllableSettings.empty() || !noteSettings.empty() ||
           !(defaultsBefore == defaultsAfter);
}

std::size_t EditHistory::Part::bytes() const {
    return sizeof(Part) + events.bytes() + phrases.bytes() + syllableSettings.bytes() + noteSettings.bytes();
}

bool EditHistory::applyPart(Song& song, const Part& p, bool forward) {
    if (p.scope < 0) {
        song.songDefaults() = forward ? p.defaultsAfter : p.defaultsBefore;
        return true;
    }
    // The four lists change together or not at all. Each list's diff either applies or
    // leaves that list as it was; after a failure the lists already changed are changed back
    // (which, with memory so short that a list of pointers cannot be built, may fail too).
    VoxChannel& ch = song.channel(p.scope);
    int done = 0;
    const bool ok = p.events.apply(ch.events, forward) && ++done && p.phrases.apply(ch.phrases, forward) &&
                    ++done && p.syllableSettings.apply(ch.syllableSettings, forward) && ++done &&
                    p.noteSettings.apply(ch.noteSettings, forward);
    if (!ok) {
        if (done > 2) p.syllableSettings.apply(ch.syllableSettings, !forward);
        if (done > 1) p.phrases.apply(ch.phrases, !forward);
        if (done > 0) p.events.apply(ch.events, !forward);
    }
    if (!ok) return false;
    song.channelDefaults(p.scope) = forward ? p.defaultsAfter : p.defaultsBefore;
    // The highlight of the note being edited is a display state: a restored channel shows
    // the lyric marks it stands for.
    for (auto& e : ch.events)
        if (e && e->hasLyric == 2) e->hasLyric = e->hasSyllable() ? 1 : 0;
    return true;
}

void EditHistory::begin(const Song& song, int scope) {
    if (scope != kSongDefaults) scope &= 15;
    ++depth_;
    for (const Pending& p : pending_)
        if (p.scope == scope) return;
    pending_.push_back(capture(song, scope));
}

bool EditHistory::end(const Song& song) {
    if (depth_ == 0) return false;
    if (--depth_ > 0) return false;
    std::vector<Pending> before = std::move(pending_);
    pending_.clear();
    Step step;
    bool changed = false;
    if (pendingMidi_) {
        step.bytes += pendingMidi_->bytes();
        step.midi = std::move(pendingMidi_);
        pendingMidi_.reset();
        changed = true;
    }
    for (const Pending& b : before) {
        Part part = compare(b, capture(song, b.scope));
        if (part.changed()) changed = true;
        step.bytes += part.bytes();
        step.parts.push_back(std::move(part));
    }
    if (!changed) return false;
    for (std::size_t i = done_; i < steps_.size(); ++i) totalBytes_ -= steps_[i].bytes;
    steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(done_), steps_.end());
    totalBytes_ += step.bytes;
    steps_.push_back(std::move(step));
    done_ = steps_.size();
    trim();
    return true;
}

void EditHistory::cancel() {
    if (depth_ == 0) return;
    if (--depth_ == 0) {
        pending_.clear();
        pendingMidi_.reset();
    }
}

const ByteChange* EditHistory::undoMidi() const {
    if (!canUndo() || !steps_[done_ - 1].midi) return nullptr;
    return &*steps_[done_ - 1].midi;
}

const ByteChange* EditHistory::redoMidi() const {
    if (!canRedo() || !steps_[done_].midi) return nullptr;
    return &*steps_[done_].midi;
}

ByteChange ByteChange::compare(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) {
    ByteChange c;
    c.sizeBefore = before.size();
    c.sizeAfter = after.size();
    const std::size_t shorter = std::min(before.size(), after.size());
    std::size_t head = 0;
    while (head < shorter && before[head] == after[head]) ++head;
    std::size_t tail = 0;
    while (tail < shorter - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) ++tail;
    c.head = head;
    c.before.assign(before.begin() + long(head), before.end() - long(tail));
    c.after.assign(after.begin() + long(head), after.end() - long(tail));
    return c;
}

bool ByteChange::apply(const std::vector<uint8_t>& current, bool forward, std::vector<uint8_t>& out) const {
    const std::vector<uint8_t>& from = forward ? before : after;
    const std::vector<uint8_t>& to = forward ? after : before;
    if (current.size() != (forward ? sizeBefore : sizeAfter) || head + from.size() > current.size() ||
        !std::equal(from.begin(), from.end(), current.begin() + long(head)))
        return false;
    out.clear();
    out.reserve(current.size() - from.size() + to.size());
    out.insert(out.end(), current.begin(), current.begin() + long(head));
    out.insert(out.end(), to.begin(), to.end());
    out.insert(out.end(), current.begin() + long(head + from.size()), current.end());
    return true;
}

void EditHistory::trim() {
    // The newest step always stays, however large. Steps go from the front in one move.
    std::size_t drop = 0;
    while (steps_.size() - drop > 1 && (steps_.size() - drop > maxSteps_ || totalBytes_ > maxBytes_)) {
        totalBytes_ -= steps_[drop].bytes;
        ++drop;
    }
    if (drop == 0) return;
    steps_.erase(steps_.begin(), steps_.begin() + static_cast<std::ptrdiff_t>(drop));
    done_ = done_ > drop ? done_ - drop : 0;
}

int EditHistory::apply(Song& song, const std::vector<Part>& parts, bool forward) {
    lastScopes_.clear();
    for (const Part& p : parts) {
        applyPart(song, p, forward);
        lastScopes_.push_back(p.scope);
    }
    return lastScopes_.empty() ? kNothing : lastScopes_.front();
}

int EditHistory::undo(Song& song) {
    if (!canUndo() || depth_ > 0) return kNothing;
    --done_;
    return apply(song, steps_[done_].parts, false);
}

int EditHistory::redo(Song& song) {
    if (!canRedo() || depth_ > 0) return kNothing;
    const int r = apply(song, steps_[done_].parts, true);
    ++done_;
    return r;
}

void EditHistory::clear() {
    steps_.clear();
    done_ = 0;
    totalBytes_ = 0;
    pending_.clear();
    pendingMidi_.reset();
    depth_ = 0;
    lastScopes_.clear();
}

}  // namespace kantor

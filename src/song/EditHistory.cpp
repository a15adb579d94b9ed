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

EditHistory::EditHistory(std::size_t maxSteps, std::size_t maxBytes)
    : maxSteps_(std::max<std::size_t>(1, maxSteps)), maxBytes_(maxBytes) {}

EditHistory::Part EditHistory::capturePart(const Song& song, int scope) {
    Part p;
    p.scope = scope;
    if (scope >= 0)
        p.channel = ChannelRecords::capture(song, scope);
    else
        p.songDefaults = song.songDefaults();
    return p;
}

bool EditHistory::applyPart(Song& song, const Part& p) {
    if (p.scope >= 0) return p.channel.restore(song);
    song.songDefaults() = p.songDefaults;
    return true;
}

bool EditHistory::samePart(const Part& a, const Part& b) {
    if (a.scope != b.scope) return false;
    if (a.scope >= 0) return a.channel == b.channel;
    return a.songDefaults == b.songDefaults;
}

void EditHistory::begin(const Song& song, int scope) {
    if (scope != kSongDefaults) scope &= 15;
    ++depth_;
    for (const Part& p : pending_)
        if (p.scope == scope) return;
    pending_.push_back(capturePart(song, scope));
}

bool EditHistory::end(const Song& song) {
    if (depth_ == 0) return false;
    if (--depth_ > 0) return false;
    Step step;
    step.before = std::move(pending_);
    pending_.clear();
    bool changed = false;
    for (const Part& b : step.before) {
        step.after.push_back(capturePart(song, b.scope));
        if (!samePart(b, step.after.back())) changed = true;
    }
    if (!changed) return false;
    for (const Part& p : step.before) step.bytes += p.scope >= 0 ? p.channel.bytes() : sizeof(Part);
    step.bytes *= 2;
    steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(done_), steps_.end());
    steps_.push_back(std::move(step));
    done_ = steps_.size();
    trim();
    return true;
}

void EditHistory::cancel() {
    if (depth_ == 0) return;
    if (--depth_ == 0) pending_.clear();
}

void EditHistory::trim() {
    std::size_t total = 0;
    for (const Step& s : steps_) total += s.bytes;
    // The newest step always stays, however large.
    while (steps_.size() > 1 && (steps_.size() > maxSteps_ || total > maxBytes_)) {
        total -= steps_.front().bytes;
        steps_.erase(steps_.begin());
        if (done_ > 0) --done_;
    }
}

int EditHistory::apply(Song& song, const std::vector<Part>& parts) {
    lastScopes_.clear();
    for (const Part& p : parts) {
        applyPart(song, p);
        lastScopes_.push_back(p.scope);
    }
    return lastScopes_.empty() ? kNothing : lastScopes_.front();
}

int EditHistory::undo(Song& song) {
    if (!canUndo() || depth_ > 0) return kNothing;
    --done_;
    return apply(song, steps_[done_].before);
}

int EditHistory::redo(Song& song) {
    if (!canRedo() || depth_ > 0) return kNothing;
    const int r = apply(song, steps_[done_].after);
    ++done_;
    return r;
}

void EditHistory::clear() {
    steps_.clear();
    done_ = 0;
    pending_.clear();
    depth_ = 0;
    lastScopes_.clear();
}

}  // namespace kantor

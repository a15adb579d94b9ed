#include "midi/SmfEdit.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>

#include "base/ByteIO.h"

namespace kantor {
namespace {

bool readVarLen(const std::vector<uint8_t>& d, std::size_t end, std::size_t& pos, uint32_t& value) {
    value = 0;
    for (int n = 0; pos < end && n < 4; ++n) {
        const uint8_t b = d[pos++];
        value = (value << 7) | (b & 0x7Fu);
        if (!(b & 0x80)) return true;
    }
    return false;
}

void writeVarLen(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1) out.push_back(static_cast<uint8_t>(groups[--n] | 0x80));
    out.push_back(groups[0]);
}

void putBE32(std::vector<uint8_t>& out, std::size_t at, uint32_t v) {
    out[at] = uint8_t(v >> 24);
    out[at + 1] = uint8_t(v >> 16);
    out[at + 2] = uint8_t(v >> 8);
    out[at + 3] = uint8_t(v);
}

void putLE32(std::vector<uint8_t>& out, std::size_t at, uint32_t v) {
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
    out[at + 2] = uint8_t(v >> 16);
    out[at + 3] = uint8_t(v >> 24);
}

bool isNoteOn(uint8_t status, uint8_t velocity) { return (status & 0xF0) == 0x90 && velocity != 0; }
bool isNoteOff(uint8_t status, uint8_t velocity) {
    return (status & 0xF0) == 0x80 || ((status & 0xF0) == 0x90 && velocity == 0);
}

}  // namespace

bool SmfEditor::parse(std::vector<uint8_t> bytes) {
    clearError();
    bytes_ = std::move(bytes);
    tracks_.clear();
    const std::size_t size = bytes_.size();
    if (size >= 4 && std::memcmp(bytes_.data(), "RIFF", 4) == 0) {
        headerStart_ = 20;
    } else {
        headerStart_ = 0;
    }
    if (size < headerStart_ + 14 || std::memcmp(bytes_.data() + headerStart_, "MThd", 4) != 0)
        return fail("the file has no MIDI header");
    const uint32_t headerLength = loadBE32(bytes_.data() + headerStart_ + 4);
    format_ = loadBE16(bytes_.data() + headerStart_ + 8);
    const uint16_t count = loadBE16(bytes_.data() + headerStart_ + 10);
    if (headerLength != 6) return fail("the MIDI header is not 6 bytes long");
    if (format_ > 1) return fail("only MIDI files of format 0 and 1 can be edited");
    if (count == 0 || count > 64 || (format_ == 0 && count != 1))
        return fail("the MIDI file has " + std::to_string(count) + " tracks");
    std::size_t chunk = headerStart_ + 14;
    for (uint16_t i = 0; i < count; ++i) {
        if (chunk > size || size - chunk < 8 || std::memcmp(bytes_.data() + chunk, "MTrk", 4) != 0)
            return fail("track " + std::to_string(i + 1) + " has no \"MTrk\" chunk");
        const uint32_t length = loadBE32(bytes_.data() + chunk + 4);
        if (length > size - chunk - 8) return fail("track " + std::to_string(i + 1) + " runs past the end of the file");
        Track t;
        t.chunk = chunk;
        t.dataBegin = chunk + 8;
        t.dataEnd = t.dataBegin + length;
        if (!parseTrack(t)) return fail("track " + std::to_string(i + 1) + ": " + lastError());
        tracks_.push_back(std::move(t));
        chunk = tracks_.back().dataEnd;
    }
    return true;
}

bool SmfEditor::parseTrack(Track& t) {
    const std::vector<uint8_t>& d = bytes_;
    std::size_t pos = t.dataBegin;
    uint32_t tick = 0;
    uint8_t running = 0;
    t.tail = t.dataEnd;
    while (pos < t.dataEnd) {
        Event e;
        e.delta = pos;
        uint32_t delta = 0;
        if (!readVarLen(d, t.dataEnd, pos, delta)) return fail("a delta-time is cut short");
        if (uint64_t(tick) + delta > 0x0FFFFFFFu) return fail("the track is too long");
        tick += delta;
        e.tick = tick;
        if (pos >= t.dataEnd) return fail("an event is cut short");
        e.begin = pos;
        const uint8_t s = d[pos];
        if (s == 0xFF || s == 0xF0 || s == 0xF7) {
            std::size_t p = pos + (s == 0xFF ? 2 : 1);
            uint32_t len = 0;
            if (p > t.dataEnd || !readVarLen(d, t.dataEnd, p, len) || len > t.dataEnd - p)
                return fail("an event is cut short");
            e.status = s;
            e.written = true;
            e.end = p + len;
            e.endOfTrack = s == 0xFF && d[pos + 1] == 0x2F;
        } else if (s >= 0x80 && s <= 0xEF) {
            const std::size_t n = (s & 0xF0) == 0xC0 || (s & 0xF0) == 0xD0 ? 2 : 3;
            if (t.dataEnd - pos < n) return fail("an event is cut short");
            for (std::size_t k = 1; k < n; ++k)
                if (d[pos + k] & 0x80) return fail("a data byte has its top bit set");
            e.status = s;
            e.written = true;
            e.end = pos + n;
            running = s;
        } else if (s < 0x80) {
            if (running == 0) return fail("data bytes with no status before them");
            const std::size_t n = (running & 0xF0) == 0xC0 || (running & 0xF0) == 0xD0 ? 1 : 2;
            if (t.dataEnd - pos < n) return fail("an event is cut short");
            for (std::size_t k = 0; k < n; ++k)
                if (d[pos + k] & 0x80) return fail("a data byte has its top bit set");
            e.status = running;
            e.written = false;
            e.end = pos + n;
        } else {
            return fail("a system message has no place in a file");
        }
        pos = e.end;
        t.events.push_back(e);
        if (e.endOfTrack) {
            t.tail = pos;
            return true;
        }
    }
    return true;
}

std::vector<SmfNote> SmfEditor::channelNotes(int channel) const {
    // The reader merges the tracks by tick, then track, then place in the track.
    struct Ref {
        uint32_t tick;
        int track;
        std::size_t index;
        uint8_t key, velocity, status;
    };
    std::vector<Ref> refs;
    for (int t = 0; t < trackCount(); ++t) {
        const Track& tr = tracks_[std::size_t(t)];
        for (std::size_t i = 0; i < tr.events.size(); ++i) {
            const Event& e = tr.events[i];
            if ((e.status & 0x0F) != channel || ((e.status & 0xF0) != 0x80 && (e.status & 0xF0) != 0x90)) continue;
            const std::size_t data = e.written ? e.begin + 1 : e.begin;
            refs.push_back({e.tick, t, i, bytes_[data], bytes_[data + 1], e.status});
        }
    }
    std::stable_sort(refs.begin(), refs.end(), [](const Ref& a, const Ref& b) {
        return std::tie(a.tick, a.track, a.index) < std::tie(b.tick, b.track, b.index);
    });
    std::vector<SmfNote> notes;
    // The next note-off of each key, walking backwards.
    std::vector<int> nextOff(128, -1);
    std::vector<int> offOf(refs.size(), -1);
    for (std::size_t i = refs.size(); i-- > 0;) {
        const Ref& r = refs[i];
        if (isNoteOff(r.status, r.velocity))
            nextOff[r.key] = int(i);
        else
            offOf[i] = nextOff[r.key];
    }
    for (std::size_t i = 0; i < refs.size(); ++i) {
        const Ref& r = refs[i];
        if (!isNoteOn(r.status, r.velocity)) continue;
        SmfNote n;
        n.start = r.tick;
        n.key = r.key;
        n.velocity = r.velocity;
        n.track = r.track;
        n.on = r.index;
        if (offOf[i] >= 0) {
            const Ref& o = refs[std::size_t(offOf[i])];
            n.hasOff = true;
            n.offTick = o.tick;
            n.offTrack = o.track;
            n.off = o.index;
            n.offIsNoteOn = (o.status & 0xF0) == 0x90;
            n.offVelocity = o.velocity;
        } else {
            n.offTick = refs.back().tick;
        }
        notes.push_back(n);
    }
    return notes;
}

int SmfEditor::trackOfChannel(int channel) const {
    for (int t = 0; t < trackCount(); ++t)
        for (const Event& e : tracks_[std::size_t(t)].events)
            if (e.status >= 0x80 && e.status <= 0xEF && (e.status & 0x0F) == channel) return t;
    return -1;
}

int SmfEditor::trackForNewChannel(int channel) const {
    const int t = trackOfChannel(channel);
    if (t >= 0) return t;
    return trackCount() > 1 ? 1 : 0;
}

bool SmfEditor::rewrite(int channel, const std::vector<SmfNote>& notes, const std::vector<bool>& remove,
                        const std::vector<SmfNewNote>& add, std::vector<uint8_t>& out,
                        std::vector<SmfOrderEntry>& order) {
    clearError();
    const std::size_t nt = tracks_.size();
    // Which events go, per track, and which events come.
    std::vector<std::vector<bool>> gone(nt);
    for (std::size_t t = 0; t < nt; ++t) gone[t].assign(tracks_[t].events.size(), false);
    for (std::size_t i = 0; i < notes.size() && i < remove.size(); ++i) {
        if (!remove[i]) continue;
        const SmfNote& n = notes[i];
        gone[std::size_t(n.track)][n.on] = true;
        if (n.hasOff) gone[std::size_t(n.offTrack)][n.off] = true;
    }
    struct Insert {
        uint32_t tick;
        bool isOff;
        std::size_t note;  // index into add
        uint8_t bytes[3];
    };
    std::vector<std::vector<Insert>> inserts(nt);
    for (std::size_t i = 0; i < add.size(); ++i) {
        const SmfNewNote& a = add[i];
        if (a.track < 0 || std::size_t(a.track) >= nt || a.key > 127 || a.velocity == 0 || a.velocity > 127 ||
            a.end <= a.start || a.end > 0x0FFFFFFFu)
            return fail("a note to write is out of range");
        const uint8_t ch = uint8_t(channel & 15);
        inserts[std::size_t(a.track)].push_back({a.start, false, i, {uint8_t(0x90 | ch), a.key, a.velocity}});
        inserts[std::size_t(a.track)].push_back(
            {a.end, true, i,
             {uint8_t((a.offIsNoteOn ? 0x90 : 0x80) | ch), a.key, a.offIsNoteOn ? uint8_t(0) : uint8_t(a.offVelocity & 0x7F)}});
    }
    for (auto& list : inserts)
        std::stable_sort(list.begin(), list.end(), [](const Insert& a, const Insert& b) {
            return std::tie(a.tick, b.isOff) < std::tie(b.tick, a.isOff);  // offs first within a tick
        });

    struct On {
        uint32_t tick;
        std::size_t track, pos;
        SmfOrderEntry entry;
    };
    std::vector<On> ons;
    // Kept notes by their note-on.
    std::vector<std::vector<long>> keptAt(nt);
    for (std::size_t t = 0; t < nt; ++t) keptAt[t].assign(tracks_[t].events.size(), -1);
    for (std::size_t i = 0; i < notes.size(); ++i)
        if (i >= remove.size() || !remove[i]) keptAt[std::size_t(notes[i].track)][notes[i].on] = long(i);

    out.clear();
    out.reserve(bytes_.size() + add.size() * 8 + 64);
    std::size_t copied = 0;
    const std::vector<uint8_t>& d = bytes_;
    for (std::size_t t = 0; t < nt; ++t) {
        const Track& tr = tracks_[t];
        bool changed = !inserts[t].empty();
        for (bool g : gone[t]) changed = changed || g;
        std::size_t pos = 0;  // events written to this track
        if (!changed) {
            // The channel's note-ons of an untouched track still count for the order.
            for (std::size_t i = 0; i < tr.events.size(); ++i)
                if (keptAt[t][i] >= 0) ons.push_back({tr.events[i].tick, t, i, {false, std::size_t(keptAt[t][i])}});
            continue;
        }
        out.insert(out.end(), d.begin() + long(copied), d.begin() + long(tr.chunk));
        const std::size_t chunkAt = out.size();
        out.insert(out.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 0});
        uint32_t lastTick = 0;
        uint8_t running = 0;
        long lastOriginal = -1;  // the original event written last, -1 after a new one
        bool any = false;
        auto putNew = [&](const Insert& in) {
            writeVarLen(out, in.tick - lastTick);
            lastTick = in.tick;
            out.insert(out.end(), in.bytes, in.bytes + 3);
            running = in.bytes[0];
            if (!in.isOff) ons.push_back({in.tick, t, pos, {true, in.note}});
            ++pos;
            lastOriginal = -1;
            any = true;
        };
        std::size_t k = 0;
        const std::vector<Insert>& ins = inserts[t];
        for (std::size_t i = 0; i < tr.events.size(); ++i) {
            const Event& e = tr.events[i];
            if (gone[t][i]) continue;
            if (e.endOfTrack) {
                while (k < ins.size()) putNew(ins[k++]);
            } else {
                // New events before this one: every earlier tick, and note-offs of its tick.
                while (k < ins.size() && (ins[k].tick < e.tick || (ins[k].tick == e.tick && ins[k].isOff)))
                    putNew(ins[k++]);
            }
            const uint32_t tick = std::max(e.tick, lastTick);
            if (any && lastOriginal == long(i) - 1 && tick == e.tick) {
                out.insert(out.end(), d.begin() + long(e.delta), d.begin() + long(e.begin));
            } else if (!any && i == 0) {
                out.insert(out.end(), d.begin() + long(e.delta), d.begin() + long(e.begin));
            } else {
                writeVarLen(out, tick - lastTick);
            }
            lastTick = tick;
            if (e.status >= 0x80 && e.status <= 0xEF) {
                if (!e.written && running != e.status) out.push_back(e.status);
                running = e.status;
            }
            out.insert(out.end(), d.begin() + long(e.begin), d.begin() + long(e.end));
            if (keptAt[t][i] >= 0) ons.push_back({e.tick, t, pos, {false, std::size_t(keptAt[t][i])}});
            ++pos;
            lastOriginal = long(i);
            any = true;
            // Note-ons of this tick go after the last original event of the tick.
            const bool lastOfTick = i + 1 >= tr.events.size() || tr.events[i + 1].tick != e.tick ||
                                    tr.events[i + 1].endOfTrack;
            if (lastOfTick && !e.endOfTrack)
                while (k < ins.size() && ins[k].tick <= e.tick) putNew(ins[k++]);
        }
        while (k < ins.size()) putNew(ins[k++]);
        out.insert(out.end(), d.begin() + long(tr.tail), d.begin() + long(tr.dataEnd));
        const std::size_t length = out.size() - chunkAt - 8;
        if (length > 0xFFFFFFFFu) return fail("the track is too long");
        putBE32(out, chunkAt + 4, uint32_t(length));
        copied = tr.dataEnd;
    }
    out.insert(out.end(), d.begin() + long(copied), d.end());
    if (headerStart_ == 20 && out.size() >= 20) {
        // A RIFF file: its own length and its "data" chunk's length follow the change.
        const long change = long(out.size()) - long(d.size());
        putLE32(out, 4, uint32_t(long(loadLE32(d.data() + 4)) + change));
        putLE32(out, 16, uint32_t(long(loadLE32(d.data() + 16)) + change));
    }
    std::stable_sort(ons.begin(), ons.end(), [](const On& a, const On& b) {
        return std::tie(a.tick, a.track, a.pos) < std::tie(b.tick, b.track, b.pos);
    });
    order.clear();
    for (const On& o : ons) order.push_back(o.entry);
    return true;
}

}  // namespace kantor

#include "midi/MidiFile.h"

#include <algorithm>
#include <cstring>

#include "base/ByteIO.h"
#include "base/FileIO.h"
#include "base/Texts.h"
#include "base/Translation.h"

namespace kantor {
namespace {

constexpr const char* kNotFound = KANTOR_TEXT("Midiﾌｧｲﾙが見つかりません。");
constexpr const char* kReadFailed = KANTOR_TEXT("Midiﾌｧｲﾙの読み込みに失敗しました。");
constexpr const char* kBadFormat = KANTOR_TEXT("不当なファイル形式です。");
constexpr const char* kTooManyTracks = "This SMF is over 64_tracks.";
constexpr const char* kUnsupportedFormat = KANTOR_TEXT("format 0,1 にのみ対応してます。");

// The header chunk and the first track chunk header: 14 + 8 bytes before the first event.
constexpr std::size_t kHeaderAndTrackHeader = 22;

// Reads a variable-length quantity from data[pos..end). There is no limit on the number of
// bytes; the value keeps its low 32 bits. Fails when the data ends inside the quantity.
bool readVarLen(const uint8_t* data, std::size_t end, std::size_t& pos, uint32_t& value) {
    value = 0;
    while (pos < end) {
        uint8_t b = data[pos++];
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

// Length in bytes of the system exclusive or meta event starting at pos (its status byte),
// or 0 when it runs past `end`. `lengthAt` is where its variable-length length begins.
std::size_t lengthedEventSize(const uint8_t* data, std::size_t end, std::size_t pos, std::size_t lengthAt) {
    std::size_t p = lengthAt;
    uint32_t len = 0;
    if (!readVarLen(data, end, p, len)) return 0;
    if (len > end - p) return 0;
    return p + len - pos;
}

struct TrackCursor {
    std::size_t pos = 0;
    std::size_t end = 0;
    uint32_t nextTick = 0;
    bool finished = false;
    uint8_t runningStatus = 0;
    uint8_t lastLength = 0;
};

}  // namespace

bool MidiFile::load(const std::string& path) {
    clearError();
    clear();
    path_ = path;
    if (path.empty()) return fail("Non Smf Path");
    std::vector<uint8_t> bytes;
    const ReadStatus st = readWholeFile(path, bytes);
    switch (st) {
        case ReadStatus::Ok: break;
        case ReadStatus::NotFound:
            path_.clear();
            return fail(std::string(kNotFound) + "\n" + path);
        case ReadStatus::NoAccess:
        case ReadStatus::NotRegular:
            path_.clear();
            return fail(std::string(kReadFailed) + "\n" + path + " (" + readStatusText(st) + ")");
        case ReadStatus::TooLarge:
        case ReadStatus::ReadError:
            path_.clear();
            return fail(std::string(kReadFailed) + "\n" + path + ": " + readStatusText(st));
    }
    return loadImage(std::move(bytes), path);
}

bool MidiFile::loadImage(std::vector<uint8_t> bytes, const std::string& path) {
    clearError();
    clear();
    path_ = path;
    if (path.empty()) return fail("Non Smf Path");
    if (!readImage(std::move(bytes))) {
        // The reader's text, then the file and the reason.
        const std::size_t line = lastError().find('\n');
        if (line != std::string::npos) {
            const std::string text = lastError().substr(0, line), why = lastError().substr(line + 1);
            clearError();
            fail(text + "\n" + path + ": " + why);
        }
        path_.clear();
        image_.clear();
        image_.shrink_to_fit();
        trackData_ = 0;
        return false;
    }
    return buildChannelLists();
}

void MidiFile::freeLists() {
    for (ChannelEventList& list : lists_) list.clear();
}

void MidiFile::clear() {
    freeLists();
    image_.clear();
    image_.shrink_to_fit();
    trackData_ = 0;
    path_.clear();
    headerMagic_.clear();
    headerLength_ = 0;
    format_ = trackCount_ = division_ = 0;
}

uint32_t MidiFile::songEndTick() const {
    const ChannelEventList& list = lists_[0];
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        if (*it) return (*it)->value3;
    }
    return 0;
}

bool MidiFile::readImage(std::vector<uint8_t> bytes) {
    image_ = std::move(bytes);
    auto refuse = [&](const char* text, const std::string& why) { return fail(std::string(text) + "\n" + why); };
    if (image_.size() < 4) return refuse(kBadFormat, "the file holds " + std::to_string(image_.size()) + " bytes");
    std::size_t headerStart;
    if (std::memcmp(image_.data(), "MThd", 4) == 0) {
        headerStart = 0;
    } else if (std::memcmp(image_.data(), "RIFF", 4) == 0) {
        headerStart = 20;  // after "RIFF", its length, the form type, "data" and its length
    } else {
        return refuse(kBadFormat, "it starts with neither \"MThd\" nor \"RIFF\"");
    }
    // The header chunk and the first track chunk header must be there to read anything.
    if (image_.size() < headerStart + kHeaderAndTrackHeader)
        return refuse(kBadFormat, "the header and the first track's header are cut short");

    const uint8_t* h = image_.data() + headerStart;
    headerMagic_.assign(reinterpret_cast<const char*>(h), 4);
    headerLength_ = loadBE32(h + 4);
    format_ = loadBE16(h + 8);
    trackCount_ = loadBE16(h + 10);
    division_ = loadBE16(h + 12);

    if (trackCount_ > kMaxTracks) return refuse(kTooManyTracks, std::to_string(trackCount_) + " tracks");
    if (format_ == 0) {
        trackData_ = headerStart + kHeaderAndTrackHeader;
        return true;
    }
    if (format_ == 1) return mergeTracks(headerStart);
    return refuse(kUnsupportedFormat, "format " + std::to_string(format_));
}

// Merges the tracks of a format 1 file into one track. Events of different tracks at the
// same tick come out in track order, each track's events keep their order, running status
// is re-inserted where the previous output event had another status, the tracks' own
// end-of-track events are dropped and one ends the merged track.
//
// The walk goes tick by tick in principle, but only ticks at which some track has an event
// can emit anything, so it jumps straight to the next such tick.
//
// Damaged tracks: a chunk length running past the end of the file is cut at the end of the
// file; a track whose data ends inside an event, or that has data bytes before any status
// byte, ends there as if it had an end-of-track event.
bool MidiFile::mergeTracks(std::size_t headerStart) {
    const uint8_t* in = image_.data();
    const std::size_t size = image_.size();

    std::vector<TrackCursor> tracks(trackCount_);
    std::size_t chunk = headerStart + 14;
    for (TrackCursor& t : tracks) {
        if (chunk > size || size - chunk < 8 || std::memcmp(in + chunk, "MTrk", 4) != 0) {
            return fail(std::string(kBadFormat) + "\ntrack " + std::to_string(&t - tracks.data() + 1) + " of " +
                        std::to_string(trackCount_) + " has no \"MTrk\" chunk at byte " + std::to_string(chunk));
        }
        uint64_t length = loadBE32(in + chunk + 4);
        t.pos = chunk + 8;
        t.end = static_cast<std::size_t>(std::min<uint64_t>(t.pos + length, size));
        chunk = t.pos + static_cast<std::size_t>(length);
        if (chunk < t.pos) chunk = size + 1;  // length wrapped the address space
    }

    std::vector<uint8_t> out;
    out.reserve(size * 2);
    out.insert(out.end(), in + headerStart, in + headerStart + kHeaderAndTrackHeader);

    int active = trackCount_;
    auto finish = [&](TrackCursor& t) {
        t.finished = true;
        --active;
    };
    for (TrackCursor& t : tracks) {
        if (!readVarLen(in, t.end, t.pos, t.nextTick)) finish(t);
    }

    uint64_t T = 0;
    uint64_t lastTick = 0;
    uint8_t lastStatus = 0;
    bool emittedAtT = false;
    auto writeDelta = [&]() {
        if (!emittedAtT) {
            writeVarLen(out, static_cast<uint32_t>(T - lastTick));
            lastTick = T;
            emittedAtT = true;
        } else {
            out.push_back(0);
        }
    };

    while (active > 0) {
        emittedAtT = false;
        uint64_t nextT = UINT64_MAX;
        for (TrackCursor& t : tracks) {
            if (t.finished) continue;
            while (t.nextTick <= T) {
                if (t.pos >= t.end) {
                    finish(t);
                    break;
                }
                const uint8_t s = in[t.pos];
                std::size_t n;  // bytes of the event to copy, from t.pos
                bool insertStatus = false;
                if (s >= 0x80 && s <= 0xEF) {
                    n = (s >= 0xC0 && s <= 0xDF) ? 2 : 3;
                    if (t.end - t.pos < n) {
                        finish(t);
                        break;
                    }
                    t.runningStatus = s;
                    t.lastLength = static_cast<uint8_t>(n);
                } else if (s == 0xFF) {
                    if (t.end - t.pos >= 3 && in[t.pos + 1] == 0x2F && in[t.pos + 2] == 0) {
                        finish(t);
                        break;
                    }
                    n = t.end - t.pos >= 2 ? lengthedEventSize(in, t.end, t.pos, t.pos + 2) : 0;
                    if (n == 0) {
                        finish(t);
                        break;
                    }
                } else if (s >= 0xF0) {
                    n = lengthedEventSize(in, t.end, t.pos, t.pos + 1);
                    if (n == 0) {
                        finish(t);
                        break;
                    }
                } else {
                    // Running status: data bytes only.
                    n = t.lastLength == 3 ? 2 : 1;
                    if (t.runningStatus == 0 || t.end - t.pos < n) {
                        finish(t);
                        break;
                    }
                    insertStatus = lastStatus != t.runningStatus;
                }
                writeDelta();
                if (insertStatus) out.push_back(t.runningStatus);
                if (n <= 3) {
                    for (std::size_t k = 0; k < n; ++k) out.push_back(in[t.pos + k]);
                } else {
                    out.insert(out.end(), in + t.pos, in + t.pos + n);
                }
                lastStatus = s < 0x80 ? t.runningStatus : s;
                t.pos += n;

                uint32_t delta = 0;
                if (!readVarLen(in, t.end, t.pos, delta)) {
                    finish(t);
                    break;
                }
                if (delta != 0) {
                    t.nextTick += delta;
                    break;
                }
            }
            if (!t.finished) nextT = std::min<uint64_t>(nextT, t.nextTick);
        }
        if (active == 0) break;
        T = std::max(T + 1, nextT);
    }

    writeVarLen(out, static_cast<uint32_t>(T - lastTick));
    out.push_back(0xFF);
    out.push_back(0x2F);
    out.push_back(0x00);
    image_ = std::move(out);
    trackData_ = kHeaderAndTrackHeader;
    return true;
}

namespace {

enum class RawKind : uint8_t { Note, TimeSignature, Tempo, EndOfTrack, SystemExclusive, Control, Program };

// A flat record (no allocation of its own): the bytes of a control, program or system
// exclusive event lie in the lists' shared byte pool.
struct RawEvent {
    uint32_t tick = 0;
    RawKind kind = RawKind::Note;
    uint8_t note = 0;
    uint8_t velocity = 0;
    bool noteOff = false;
    uint8_t numerator = 0;
    uint8_t exponent = 0;
    uint32_t tempo = 0;
    uint32_t dataOffset = 0;
    uint32_t dataLength = 0;
};

struct RawLists {
    std::array<std::vector<RawEvent>, MidiFile::kChannels> lists;
    std::vector<uint8_t> pool;
    std::vector<RawEvent>& operator[](std::size_t n) { return lists[n]; }
    // Appends bytes to the pool and points the event at them.
    void keep(RawEvent& e, const uint8_t* bytes, std::size_t n) {
        e.dataOffset = static_cast<uint32_t>(pool.size());
        e.dataLength = static_cast<uint32_t>(n);
        pool.insert(pool.end(), bytes, bytes + n);
    }
};

// Pass 1: the single track into raw events, notes to their channel's list and everything
// else to list 0. Ends at the end-of-track event, at a status byte it does not know, or
// where the data ends inside an event; each of these adds an end-of-track event.
void collectRawEvents(const std::vector<uint8_t>& image, std::size_t start, RawLists& raw) {
    const uint8_t* d = image.data();
    const std::size_t end = image.size();
    std::size_t pos = start;
    uint32_t tick = 0;
    uint8_t running = 0;
    uint8_t runningLength = 0;

    auto endOfTrack = [&]() {
        RawEvent e;
        e.tick = tick;
        e.kind = RawKind::EndOfTrack;
        raw[0].push_back(std::move(e));
    };
    auto note = [&](uint8_t status, uint8_t number, uint8_t velocity) {
        RawEvent e;
        e.tick = tick;
        e.kind = RawKind::Note;
        e.note = number;
        bool on = (status & 0xF0) == 0x90;
        e.velocity = on ? velocity : 0;
        e.noteOff = !on || velocity == 0;
        raw[status & 0x0F].push_back(std::move(e));
    };
    auto control = [&](RawKind kind, uint8_t a, uint8_t b, uint8_t c) {
        RawEvent e;
        e.tick = tick;
        e.kind = kind;
        const uint8_t bytes[3] = {a, b, c};
        raw.keep(e, bytes, 3);
        raw[0].push_back(e);
    };

    while (true) {
        uint32_t delta = 0;
        if (!readVarLen(d, end, pos, delta)) {
            endOfTrack();
            return;
        }
        tick += delta;
        if (pos >= end) {
            endOfTrack();
            return;
        }
        const uint8_t s = d[pos];
        const std::size_t left = end - pos;

        if (s == 0xF7 || s == 0xF0) {
            std::size_t p = pos + 1;
            uint32_t len = 0;
            if (!readVarLen(d, end, p, len) || len > end - p) {
                endOfTrack();
                return;
            }
            RawEvent e;
            e.tick = tick;
            e.kind = RawKind::SystemExclusive;
            // An 0xF0 event keeps its status byte in front of the payload.
            e.dataOffset = static_cast<uint32_t>(raw.pool.size());
            if (s == 0xF0) raw.pool.push_back(0xF0);
            raw.pool.insert(raw.pool.end(), d + p, d + p + len);
            e.dataLength = static_cast<uint32_t>(raw.pool.size() - e.dataOffset);
            raw[0].push_back(e);
            pos = p + len;
        } else if (s == 0xFF) {
            if (left < 3) {
                endOfTrack();
                return;
            }
            uint8_t type = d[pos + 1];
            std::size_t p = pos + 2;
            uint32_t len = 0;
            if (!readVarLen(d, end, p, len) || len > end - p) {
                endOfTrack();
                return;
            }
            if (type == 0x2F && len == 0) {
                endOfTrack();
                return;
            }
            if (type == 0x51 && len == 3) {
                RawEvent e;
                e.tick = tick;
                e.kind = RawKind::Tempo;
                e.tempo = (static_cast<uint32_t>(d[p]) << 16) | (static_cast<uint32_t>(d[p + 1]) << 8) | d[p + 2];
                raw[0].push_back(std::move(e));
            } else if (type == 0x58 && len == 4) {
                RawEvent e;
                e.tick = tick;
                e.kind = RawKind::TimeSignature;
                e.numerator = d[p];
                e.exponent = d[p + 1];
                raw[0].push_back(std::move(e));
            }
            pos = p + len;
        } else if (s >= 0x80 && s <= 0xEF) {
            const uint8_t hi = s & 0xF0;
            const std::size_t n = (hi == 0xC0 || hi == 0xD0) ? 2 : 3;
            if (left < n) {
                endOfTrack();
                return;
            }
            if (hi == 0x80 || hi == 0x90) {
                note(s, d[pos + 1], d[pos + 2]);
            } else if (hi == 0xB0) {
                control(RawKind::Control, s, d[pos + 1], d[pos + 2]);
            } else if (hi == 0xC0) {
                control(RawKind::Program, s, d[pos + 1], 0);
            }
            running = s;
            runningLength = static_cast<uint8_t>(n);
            pos += n;
        } else if (s >= 0x80) {
            // A system common or real-time byte has no place in a file: the track ends here.
            endOfTrack();
            return;
        } else {
            // Running status. Data bytes with no status to run on end the track.
            if (runningLength == 0 || left < (runningLength == 3 ? 2u : 1u)) {
                endOfTrack();
                return;
            }
            const uint8_t hi = running & 0xF0;
            if (runningLength == 3) {
                if (hi == 0x80 || hi == 0x90) {
                    note(running, d[pos], d[pos + 1]);
                } else if (hi == 0xB0) {
                    control(RawKind::Control, running, d[pos], d[pos + 1]);
                }
                pos += 2;
            } else {
                if (hi == 0xC0) control(RawKind::Program, running, d[pos], 0);
                pos += 1;
            }
        }
    }
}

}  // namespace

bool MidiFile::buildChannelLists() {
    if (image_.empty() || trackData_ > image_.size()) return fail(kReadFailed);

    RawLists raw;
    collectRawEvents(image_, trackData_, raw);

    // Pass 2: notes joined with their ends, the other kinds copied into records.
    freeLists();
    std::vector<uint32_t> noteEnd;
    for (int n = 0; n < kChannels; ++n) {
        std::vector<RawEvent>& events = raw[static_cast<std::size_t>(n)];
        if (events.empty()) continue;
        // A note ends at the first later note-off of the same number in its list, or else at
        // the last event of the list. Walking backwards keeps the next note-off per number.
        noteEnd.assign(events.size(), 0);
        uint32_t nextOff[256];
        std::fill(std::begin(nextOff), std::end(nextOff), events.back().tick);
        for (std::size_t i = events.size(); i-- > 0;) {
            const RawEvent& e = events[i];
            if (e.kind != RawKind::Note) continue;
            if (e.noteOff) {
                nextOff[e.note] = e.tick;
            } else {
                noteEnd[i] = nextOff[e.note];
            }
        }
        ChannelEventList& list = lists_[static_cast<std::size_t>(n)];
        list.reserve(events.size());
        for (std::size_t i = 0; i < events.size(); ++i) {
            const RawEvent& e = events[i];
            auto rec = std::make_unique<ChannelEvent>();
            switch (e.kind) {
                case RawKind::Note:
                    if (e.noteOff) continue;
                    rec->kind = ChannelEventKind::Note;
                    rec->velocity = e.velocity;
                    rec->value1 = e.note;
                    rec->value2 = e.tick;
                    rec->value3 = noteEnd[i];
                    break;
                case RawKind::TimeSignature:
                    rec->kind = ChannelEventKind::TimeSignature;
                    rec->value1 = e.tick;
                    rec->value2 = e.numerator;
                    rec->value3 = e.exponent < 32 ? (1u << e.exponent) : 0;
                    break;
                case RawKind::Tempo:
                    rec->kind = ChannelEventKind::Tempo;
                    rec->value1 = e.tempo;
                    rec->value2 = e.tick;
                    break;
                case RawKind::EndOfTrack:
                    rec->kind = ChannelEventKind::EndOfTrack;
                    rec->value2 = rec->value3 = e.tick;
                    break;
                case RawKind::SystemExclusive:
                case RawKind::Control:
                case RawKind::Program:
                    rec->kind = e.kind == RawKind::SystemExclusive ? ChannelEventKind::SystemExclusive
                                : e.kind == RawKind::Control      ? ChannelEventKind::ControlChange
                                                                  : ChannelEventKind::ProgramChange;
                    rec->value2 = rec->value3 = e.tick;
                    rec->data.assign(raw.pool.begin() + e.dataOffset,
                                     raw.pool.begin() + e.dataOffset + e.dataLength);
                    break;
            }
            list.push_back(std::move(rec));
        }
        events.clear();
        events.shrink_to_fit();
    }

    // Pass 3: a note that starts later cuts every earlier note of its list still sounding;
    // notes that start together keep their own ends. Walking backwards, `a` is the start of
    // the nearest later note and `b` the start of the nearest later note that starts at a
    // tick other than `a`.
    for (ChannelEventList& list : lists_) {
        bool haveA = false, haveB = false;
        uint32_t a = 0, b = 0;
        for (std::size_t i = list.size(); i-- > 0;) {
            ChannelEvent* e = list[i].get();
            if (!e || !e->isNote()) continue;
            const uint32_t s = e->value2;
            bool haveCut = false;
            uint32_t cut = 0;
            if (haveA && a != s) {
                haveCut = true;
                cut = a;
            } else if (haveA && haveB) {
                haveCut = true;
                cut = b;
            }
            if (haveCut && cut < e->value3) e->value3 = cut;
            if (!haveA || a != s) {
                if (haveA) {
                    b = a;
                    haveB = true;
                }
                a = s;
                haveA = true;
            }
        }
    }
    return true;
}

}  // namespace kantor

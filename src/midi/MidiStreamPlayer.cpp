#include "midi/MidiStreamPlayer.h"
#include "midi/StreamCalls.h"

#include <algorithm>
#include <cstring>

#include "base/ByteIO.h"
#include "base/Texts.h"

namespace kantor {
namespace {

constexpr uint32_t kNoMarker = 0xFFFFFFFFu;

// Reads a variable-length quantity at image[pos..size); false when the data ends inside it.
inline bool readVarLen(const uint8_t* d, std::size_t size, std::size_t& pos, uint32_t& value) {
    value = 0;
    while (pos < size) {
        uint8_t b = d[pos++];
        value = (value << 7) | (b & 0x7Fu);
        if (!(b & 0x80)) return true;
    }
    return false;
}

inline uint32_t pad4(uint32_t n) { return (n + 3u) & ~3u; }

// Writes stream events into one buffer; every caller checks room first.
struct Writer {
    uint8_t* buf;
    uint32_t used = 0;

    bool fits(uint64_t bytes) const { return used + bytes <= MidiStreamPlayer::kBufferSize; }
    void event(uint32_t delta, uint32_t word) {
        storeLE32(buf + used, delta);
        storeLE32(buf + used + 4, 0);
        storeLE32(buf + used + 8, word);
        used += 12;
    }
    void longMessage(uint32_t delta, uint8_t lead, bool withLead, const uint8_t* bytes, uint32_t n) {
        uint32_t length = n + (withLead ? 1 : 0);
        event(delta, kMevtFLong | kMevtLongMsg | length);
        uint8_t* p = buf + used;
        if (withLead) *p++ = lead;
        std::memcpy(p, bytes, n);
        used += pad4(length);  // the padding is already zero
    }
};

inline uint32_t shortWord(uint8_t s, uint8_t a, uint8_t b) {
    return kMevtShortMsg | s | (uint32_t(a) << 8) | (uint32_t(b) << 16);
}

}  // namespace

MidiStreamPlayer::MidiStreamPlayer(const MidiFile& file, MidiStream& stream) : file_(file), stream_(stream) {
    for (std::size_t i = 0; i < 2; ++i) {
        buffers_[i].assign(kBufferSize, 0);
        headers_[i].data = buffers_[i].data();
        headers_[i].bufferLength = kBufferSize;
        headers_[i].user = i;
    }
}

MidiStreamPlayer::~MidiStreamPlayer() { stop(); }

bool MidiStreamPlayer::platformFail(int code) { return fail(streamErrorText(stream_, code)); }

void MidiStreamPlayer::beginConversion(const MidiStreamOwner* owner, uint32_t start, uint32_t end) {
    owner_ = owner;
    currentTick_ = 0;
    pendingAdjust_ = 0;
    markerIndex_ = 0;
    markerCount_ = owner ? owner->markerCount() : 0;
    nextMarkerTick_ = markerCount_ > 0 ? owner->markerTick(0) : kNoMarker;
    limit_ = MidiStreamOwner::kAllMarkers;
    markersPending_ = true;
    start_ = start;
    end_ = end;
    runningStatus_ = 0;
    runningLength_ = 0;
    endState_ = 0;
    started_ = false;
    tail_ = false;
    readPos_ = file_.trackDataOffset();
    for (auto& c : chase_) c = {0, 0, 0};
    chasePending_ = false;
}

bool MidiStreamPlayer::play(MidiStreamOwner& owner, uint32_t start, uint32_t end) {
    clearError();
    if (!file_.isLoaded()) return true;
    if (buffers_[0].size() != kBufferSize || buffers_[1].size() != kBufferSize) return fail(text::kOutOfMemory);
    if (streamOpen_) stop();

    if (int r = stream_.open(&owner); r != kDeviceOk) return platformFail(r);
    streamOpen_ = true;
    closeHook_ = &owner;
    if (int r = stream_.pause(); r != kDeviceOk) {
        platformFail(r);
        std::string text = lastError();
        stop();
        return fail(text);
    }
    stream_.setTimeDivision(file_.division());  // the result is not checked

    beginConversion(&owner, start, end);
    headers_[1].flags = 0;
    // Both buffers go to the stream at once, and each is filled again and queued behind the
    // other as soon as it is done: the stream never waits for the owner's thread at a
    // buffer's end (an event just after it would otherwise sound late).
    for (int i = 0; i < 2 && endState_ == 0; ++i) {
        if (refill(i) == SendResult::Failed) return false;
    }
    playState_ = PlayState::Playing;
    return true;
}

MidiStreamPlayer::SendResult MidiStreamPlayer::refill(int i) {
    const FillResult f = fill(i);
    if (f == FillResult::Failed) {
        std::string text = lastError();
        stop();
        fail(text);
        return SendResult::Failed;
    }
    if (f == FillResult::EndReached) endState_ = 1;
    return send(i);
}

MidiStreamPlayer::SendResult MidiStreamPlayer::send(int i) {
    MidiHeader& h = headers_[static_cast<std::size_t>(i)];
    int r = stream_.prepareHeader(h);
    if (r == kDeviceOk) r = stream_.restart();
    if (r == kDeviceOk) r = stream_.out(h);
    if (r != kDeviceOk) {
        platformFail(r);
        std::string text = lastError();
        stop();
        fail(text);
        return SendResult::Failed;
    }
    queued_[static_cast<std::size_t>(i)] = true;
    return SendResult::Sent;
}

bool MidiStreamPlayer::bufferDone(const MidiHeader* header) {
    if (!streamOpen_ || !header) return true;
    int index;
    if (header == &headers_[0]) {
        index = 0;
    } else if (header == &headers_[1]) {
        index = 1;
    } else {
        return true;
    }
    MidiHeader& h = headers_[static_cast<std::size_t>(index)];
    if (!(h.flags.load() & kHeaderDone)) return true;
    clearError();
    if (int r = stream_.unprepareHeader(h); r != kDeviceOk) {
        platformFail(r);
        std::string text = lastError();
        stop();
        return fail(text);
    }
    h.flags = 0;
    queued_[static_cast<std::size_t>(index)] = false;
    if (endState_ == 0) return refill(index) != SendResult::Failed;
    // The last buffer has played: the song has ended.
    if (!queued_[0] && !queued_[1]) stop();
    return true;
}

bool MidiStreamPlayer::stop() {
    if (!streamOpen_) return true;
    const std::string text = stopAndCloseStream(stream_, headers_);
    queued_ = {false, false};
    streamOpen_ = false;
    playState_ = PlayState::Stopped;
    MidiStreamOwner* hook = closeHook_;
    closeHook_ = nullptr;
    if (hook) hook->streamClosed();
    if (!text.empty()) return fail(text);
    return true;
}

bool MidiStreamPlayer::pauseOrRestart() {
    if (!streamOpen_) return true;
    if (playState_ == PlayState::Playing) {
        if (int r = stream_.pause(); r != kDeviceOk) return platformFail(r);
        playState_ = PlayState::Paused;
    } else {
        if (int r = stream_.restart(); r != kDeviceOk) return platformFail(r);
        playState_ = PlayState::Playing;
    }
    return true;
}

bool MidiStreamPlayer::position(uint32_t& ticks) {
    if (!streamOpen_) return false;
    uint32_t t = 0;
    if (int r = stream_.position(t); r != kDeviceOk) return platformFail(r);
    ticks = t;
    return true;
}

long MidiStreamPlayer::markerIndex(const Notification& n) const {
    const MidiHeader* h = static_cast<const MidiHeader*>(n.header);
    if (h != &headers_[0] && h != &headers_[1]) return -1;
    if (uint64_t(n.offset) + 12 > h->bufferLength) return -1;
    uint32_t word = loadLE32(h->data + n.offset + 8);
    if (!(word & kMarkerBit)) return -1;
    return static_cast<long>(word & 0xFFFFFu);
}

void MidiStreamPlayer::refreshMarkers(bool all) {
    // Only the owner of a playing stream is asked; a conversion alone takes the list as it is.
    if (!closeHook_ || closeHook_ != owner_) {
        markersPending_ = false;
        return;
    }
    limit_ = closeHook_->markersKnownTo(currentTick_, all);
    if (all) limit_ = MidiStreamOwner::kAllMarkers;
    markersPending_ = limit_ != MidiStreamOwner::kAllMarkers;
    markerCount_ = owner_->markerCount();
    if (nextMarkerTick_ == kNoMarker && markerIndex_ < markerCount_) nextMarkerTick_ = owner_->markerTick(markerIndex_);
}

MidiStreamPlayer::FillResult MidiStreamPlayer::fill(int i) {
    auto& buffer = buffers_[static_cast<std::size_t>(i)];
    MidiHeader& h = headers_[static_cast<std::size_t>(i)];
    std::fill(buffer.begin(), buffer.end(), uint8_t(0));
    Writer w{buffer.data()};

    // The owner's mute flags and note filter as they stand for this buffer.
    std::array<bool, 16> muted{};
    uint8_t filter = 255;
    if (owner_) {
        for (int c = 0; c < 16; ++c) muted[static_cast<std::size_t>(c)] = owner_->midiMuted(c);
        filter = owner_->noteFilter();
    }

    const uint8_t* img = file_.image().data();
    const std::size_t size = file_.image().size();
    FillResult result = FillResult::MoreToCome;

    auto chaseBytes = [&]() -> uint32_t {
        if (!chasePending_) return 0;
        uint32_t n = 0;
        for (const auto& c : chase_) n += c[0] != 0 ? 12 : 0;
        return n;
    };
    auto writeChase = [&]() {
        for (const auto& c : chase_) {
            if (c[0] != 0) w.event(0, shortWord(c[0], c[1], c[2]));
        }
        chasePending_ = false;
    };

    if (markersPending_) refreshMarkers(false);
    // Where the owner's markers are not known yet the buffer ends, with a no-op at that tick
    // so that the next buffer goes on from there.
    auto beyondLimit = [&](uint64_t tick) {
        return limit_ != MidiStreamOwner::kAllMarkers && tick >= limit_ && tick >= start_;
    };
    auto waitAtLimit = [&]() {
        const uint32_t gap = limit_ > currentTick_ ? limit_ - currentTick_ : 0;
        uint32_t delta = gap;
        const bool startsHere = !started_;
        if (startsHere) delta = limit_ > start_ ? limit_ - start_ : 0;
        if (!w.fits(12 + (startsHere ? chaseBytes() : 0))) return;
        if (startsHere) {
            started_ = true;
            if (chasePending_) writeChase();
        }
        w.event(delta, kMevtNop);
        pendingAdjust_ += gap;
        currentTick_ += gap;
    };

    for (;;) {
        if (tail_) {
            // The MIDI data has ended before the owner's sound does (a phrase's wave sounds on
            // after the last MIDI event): the markers still due are planted, and the stream
            // lasts until then so that nothing is cut.
            if (!w.fits(12)) break;
            if (nextMarkerTick_ != kNoMarker && nextMarkerTick_ <= holdTo_) {
                const uint32_t gap = nextMarkerTick_ > currentTick_ ? nextMarkerTick_ - currentTick_ : 0;
                w.event(gap, kMarkerWord | (markerIndex_ & 0xFFFFFu));
                currentTick_ += gap;
                ++markerIndex_;
                nextMarkerTick_ = markerIndex_ < markerCount_ ? owner_->markerTick(markerIndex_) : kNoMarker;
                continue;
            }
            w.event((holdTo_ > currentTick_ ? holdTo_ - currentTick_ : 0) + file_.division() / 2, kMevtNop);
            result = FillResult::EndReached;
            break;
        }
        std::size_t p = readPos_;
        uint32_t d = 0;
        if (!readVarLen(img, size, p, d)) {
            // The data ends without an end-of-track event.
            result = FillResult::EndReached;
            break;
        }
        const uint32_t rem = d - pendingAdjust_;

        // A marker falls due at or before this event: plant it, then read the event again.
        if (nextMarkerTick_ != kNoMarker && uint64_t(rem) + currentTick_ >= nextMarkerTick_) {
            if (beyondLimit(nextMarkerTick_)) {
                waitAtLimit();
                break;
            }
            const uint32_t gap = nextMarkerTick_ > currentTick_ ? nextMarkerTick_ - currentTick_ : 0;
            uint32_t delta;
            bool startsHere = false;
            if (started_) {
                delta = gap;
            } else if (nextMarkerTick_ >= start_) {
                // Measured from the start tick, so that nothing is delayed by the gap
                // between the last event before the start and the start itself.
                delta = nextMarkerTick_ - start_;
                startsHere = true;
            } else {
                delta = 0;
            }
            uint32_t need = 12 + (startsHere ? chaseBytes() : 0);
            if (!w.fits(need)) break;
            if (startsHere) {
                started_ = true;
                if (chasePending_) writeChase();
            }
            w.event(delta, kMarkerWord | (markerIndex_ & 0xFFFFFu));
            pendingAdjust_ += gap;
            currentTick_ += gap;
            ++markerIndex_;
            nextMarkerTick_ = markerIndex_ < markerCount_ ? owner_->markerTick(markerIndex_) : kNoMarker;
            continue;
        }

        const uint64_t e = uint64_t(currentTick_) + rem;  // the event's absolute tick
        const bool startsNow = !started_ && e >= start_;
        const bool after = started_ || startsNow;
        const uint32_t f = startsNow ? static_cast<uint32_t>(e - start_) : (after ? rem : 0);
        const uint32_t chase = (after && chasePending_) ? chaseBytes() : 0;

        if (beyondLimit(e)) {
            waitAtLimit();
            break;
        }
        if (e > end_) {
            if (!w.fits(chase + 12)) break;
            started_ = started_ || startsNow;
            if (chase) writeChase();
            w.event(file_.division() / 2, kMevtNop);
            result = FillResult::EndReached;
            break;
        }

        if (p >= size) {
            result = FillResult::EndReached;
            break;
        }
        const uint8_t s = img[p];
        uint8_t status = 0, d1 = 0, d2 = 0;
        uint16_t length = 0;
        std::size_t next = p;
        enum class Kind { Channel, Long, Meta } kind = Kind::Channel;

        if (s == 0xF7 || s == 0xF0) {
            std::size_t q = p + 1;
            uint32_t L = 0;
            if (!readVarLen(img, size, q, L) || L > size - q) {
                result = FillResult::EndReached;
                break;
            }
            const bool lead = s == 0xF0;
            const uint32_t bytes = L + (lead ? 1u : 0u);
            const uint32_t delta = e < start_ ? 1 : f;
            if (uint64_t(12) + pad4(bytes) > kBufferSize - 12) {
                // Could never fit in any buffer: its time is kept by a no-op instead.
                if (!w.fits(chase + 12)) break;
                if (chase) writeChase();
                w.event(delta, kMevtNop);
            } else {
                if (!w.fits(uint64_t(chase) + 12 + pad4(bytes))) break;
                if (chase) writeChase();
                w.longMessage(delta, 0xF0, lead, img + q, L);
            }
            next = q + L;
            kind = Kind::Long;
        } else if (s == 0xFF) {
            if (size - p < 3) {
                result = FillResult::EndReached;
                break;
            }
            const uint8_t type = img[p + 1];
            std::size_t q = p + 2;
            uint32_t L = 0;
            if (!readVarLen(img, size, q, L) || L > size - q) {
                result = FillResult::EndReached;
                break;
            }
            if (type == 0x2F) {
                // The MIDI data ends: how long the stream holds on needs every marker.
                if (limit_ != MidiStreamOwner::kAllMarkers) {
                    refreshMarkers(true);
                    continue;
                }
                if (started_ && uint64_t(currentTick_) + rem < holdTo_) {
                    tail_ = true;
                    continue;
                }
                result = FillResult::EndReached;
                break;
            }
            if (!w.fits(chase + 12)) break;
            if (chase) writeChase();
            if (type == 0x51 && L == 3) {
                w.event(f, kMevtTempo | (uint32_t(img[q]) << 16) | (uint32_t(img[q + 1]) << 8) | img[q + 2]);
            } else {
                w.event(f, kMevtNop);
            }
            next = q + L;
            kind = Kind::Meta;
        } else if (s >= 0x80 && s <= 0xEF) {
            length = (s >= 0xC0 && s <= 0xDF) ? 2 : 3;
            if (size - p < length) {
                result = FillResult::EndReached;
                break;
            }
            status = s;
            d1 = img[p + 1];
            d2 = length == 3 ? img[p + 2] : 0;
            next = p + length;
        } else if (s >= 0x80) {
            result = FillResult::EndReached;
            break;
        } else {
            // Running status: data bytes only.
            if (runningStatus_ == 0) {
                result = FillResult::EndReached;
                break;
            }
            length = runningLength_;
            const std::size_t n = length == 3 ? 2 : 1;
            if (size - p < n) {
                result = FillResult::EndReached;
                break;
            }
            status = runningStatus_;
            d1 = img[p];
            d2 = n == 2 ? img[p + 1] : 0;
            next = p + n;
        }

        if (kind == Kind::Channel) {
            const bool note = status < 0xA0;
            if (after) {
                if (!w.fits(chase + 12)) break;
                if (chase) writeChase();
                uint32_t word = shortWord(status, d1, d2);
                if (note && (muted[status & 0x0F] || (filter != 255 && d1 != filter))) word = kMevtNop;
                w.event(f, word);
            } else if (!note) {
                chase_[status - 0xA0] = {status, d1, d2};
                chasePending_ = true;
            }
            runningStatus_ = status;
            runningLength_ = length;
        }

        started_ = after;
        pendingAdjust_ = 0;
        currentTick_ = static_cast<uint32_t>(e);
        readPos_ = next;
    }

    // Whatever stopped the fill, the state is that before the event not converted, and
    // the unused rest of the buffer is already zero.
    h.bytesRecorded = w.used;
    h.flags = 0;
    h.user = static_cast<uint64_t>(i);
    return result;
}

}  // namespace kantor

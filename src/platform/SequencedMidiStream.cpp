#include "platform/SequencedMidiStream.h"

#include "base/ByteIO.h"

namespace kantor {
namespace {

// Time arithmetic in units of 1 / (sampleRate * division) microseconds: one frame lasts
// 1e6 * division units and one tick tempo * sampleRate units, both exact integers.
uint64_t unitsPerFrame(uint16_t division) { return 1000000ull * division; }
uint64_t unitsPerTick(uint32_t tempo) { return uint64_t(tempo ? tempo : 1) * AudioEngine::kSampleRate; }

}  // namespace

SequencedMidiStream::SequencedMidiStream(AudioEngine& engine, NotificationQueue& queue, MidiEventSink& sink)
    : engine_(engine), queue_(queue), sink_(sink) {}

SequencedMidiStream::~SequencedMidiStream() {
    if (isOpen()) close();
    engine_.detach(this);
}

int SequencedMidiStream::open(NotificationTarget* owner) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (open_) return kDeviceStillPlaying;
    }
    int r = openDevice();
    if (r != kDeviceOk) return r;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        playing_ = false;
        owner_ = owner;
        division_ = kDefaultDivision;
        tempo_ = kDefaultTempo;
        head_ = tail_ = nullptr;
        resetClock();
    }
    engine_.attach(this, EngineStage::Sequencer);
    return kDeviceOk;
}

void SequencedMidiStream::resetClock() {
    cursor_ = 0;
    armed_ = false;
    eventTick_ = lastEventTick_ = 0;
    tick_ = 0;
    unitsIntoTick_ = 0;
}

bool SequencedMidiStream::isOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

uint32_t SequencedMidiStream::tempo() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return tempo_;
}

int SequencedMidiStream::setTimeDivision(uint16_t ticksPerQuarter) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kDeviceInvalidHandle;
    if (ticksPerQuarter == 0) return kDeviceInvalidParameter;
    division_ = ticksPerQuarter;
    unitsIntoTick_ = 0;
    return kDeviceOk;
}

int SequencedMidiStream::prepareHeader(MidiHeader& h) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kDeviceInvalidHandle;
    if (!h.data || h.bufferLength == 0) return kDeviceInvalidParameter;
    h.flags.fetch_or(kHeaderPrepared);
    return kDeviceOk;
}

int SequencedMidiStream::unprepareHeader(MidiHeader& h) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kDeviceInvalidHandle;
    if (h.flags.load() & kHeaderInQueue) return kDeviceStillPlaying;
    h.flags.fetch_and(~kHeaderPrepared);
    return kDeviceOk;
}

int SequencedMidiStream::out(MidiHeader& h) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kDeviceInvalidHandle;
    uint32_t f = h.flags.load();
    if (!(f & kHeaderPrepared)) return kDeviceUnprepared;
    if (f & kHeaderInQueue) return kDeviceStillPlaying;
    if (h.bytesRecorded > h.bufferLength || h.bytesRecorded % 4 != 0) return kDeviceInvalidParameter;
    h.flags.store((f & ~kHeaderDone) | kHeaderInQueue);
    h.next = nullptr;
    if (tail_) {
        tail_->next = &h;
    } else {
        head_ = &h;
        cursor_ = 0;
        armed_ = false;
    }
    tail_ = &h;
    return kDeviceOk;
}

int SequencedMidiStream::pause() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!open_) return kDeviceInvalidHandle;
        playing_ = false;
    }
    sink_.silence();
    return kDeviceOk;
}

int SequencedMidiStream::restart() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kDeviceInvalidHandle;
    playing_ = true;
    return kDeviceOk;
}

void SequencedMidiStream::finishHeader(uint64_t frame) {
    MidiHeader* h = head_;
    head_ = h->next;
    if (!head_) tail_ = nullptr;
    h->next = nullptr;
    cursor_ = 0;
    armed_ = false;
    h->flags.store((h->flags.load() & ~kHeaderInQueue) | kHeaderDone);
    Notification n;
    n.kind = NotificationKind::MidiDone;
    n.header = h;
    n.frame = frame;
    queue_.post(owner_, n);
}

void SequencedMidiStream::returnAll(uint64_t frame) {
    while (head_) finishHeader(frame);
}

int SequencedMidiStream::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!open_) return kDeviceInvalidHandle;
        playing_ = false;
        returnAll(engine_.frameTime());
        resetClock();
    }
    sink_.silence();
    return kDeviceOk;
}

int SequencedMidiStream::close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!open_) return kDeviceInvalidHandle;
        playing_ = false;
        returnAll(engine_.frameTime());
        resetClock();
    }
    engine_.detach(this);
    sink_.silence();
    closeDevice();
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
    Notification n;
    n.kind = NotificationKind::MidiClose;
    n.frame = engine_.frameTime();
    queue_.post(owner_, n);
    owner_ = nullptr;
    return kDeviceOk;
}

int SequencedMidiStream::position(uint32_t& ticks) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kDeviceInvalidHandle;
    ticks = tick_;
    return kDeviceOk;
}

void SequencedMidiStream::process(float*, const float*, uint32_t frames, uint64_t frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || !playing_) return;
    const uint64_t perFrame = unitsPerFrame(division_);
    const uint64_t available = perFrame * frames;
    uint64_t used = 0;
    for (;;) {
        if (head_ && !armed_) {
            // Read the next event's delta, or finish the buffer.
            if (cursor_ + 12 > head_->bytesRecorded) {
                finishHeader(frame + used / perFrame);
                continue;
            }
            uint32_t delta = loadLE32(head_->data + cursor_);
            eventTick_ = lastEventTick_ + delta;
            if (eventTick_ < lastEventTick_) eventTick_ = 0xFFFFFFFFu;
            armed_ = true;
        }
        const uint64_t perTick = unitsPerTick(tempo_);
        const uint64_t left = available - used;
        if (!head_) {
            uint64_t u = unitsIntoTick_ + left;
            tick_ += static_cast<uint32_t>(u / perTick);
            unitsIntoTick_ = u % perTick;
            return;
        }
        if (eventTick_ > tick_) {
            uint64_t ticksAway = eventTick_ - tick_;
            uint64_t reachable = (unitsIntoTick_ + left) / perTick;
            // An event exactly at the end of the block belongs to the next one.
            if (reachable < ticksAway || ticksAway * perTick - unitsIntoTick_ == left) {
                uint64_t u = unitsIntoTick_ + left;
                tick_ += static_cast<uint32_t>(reachable);
                unitsIntoTick_ = u % perTick;
                return;
            }
            used += ticksAway * perTick - unitsIntoTick_;
            tick_ = eventTick_;
            unitsIntoTick_ = 0;
        }
        // The event is due now.
        uint64_t at = frame + std::min<uint64_t>(used / perFrame, frames - 1);
        const uint8_t* ev = head_->data + cursor_;
        uint32_t word = loadLE32(ev + 8);
        uint32_t size = 12;
        lastEventTick_ = eventTick_;
        armed_ = false;
        if (word & kMevtFLong) {
            uint32_t length = word & 0x00FFFFFFu;
            uint32_t padded = (length + 3u) & ~3u;
            if (padded < length || padded > head_->bytesRecorded - cursor_ - 12) {
                // A damaged buffer: what is left of it is skipped.
                finishHeader(at);
                continue;
            }
            if (length) sink_.longMessage(at, ev + 12, length);
            size += padded;
        } else {
            uint32_t type = (word >> 24) & 0x3Fu;
            if (type == (kMevtShortMsg >> 24)) {
                uint8_t status = static_cast<uint8_t>(word);
                if (status >= 0x80) {
                    sink_.shortMessage(at, status, static_cast<uint8_t>((word >> 8) & 0x7F),
                                       static_cast<uint8_t>((word >> 16) & 0x7F));
                }
            } else if (type == (kMevtTempo >> 24)) {
                uint32_t t = word & 0x00FFFFFFu;
                if (t) tempo_ = t;
            }
        }
        if (word & kMevtFCallback) {
            Notification n;
            n.kind = NotificationKind::MidiMarker;
            n.header = head_;
            n.offset = cursor_;
            n.frame = at;
            queue_.post(owner_, n);
        }
        cursor_ += size;
    }
}

}  // namespace kantor

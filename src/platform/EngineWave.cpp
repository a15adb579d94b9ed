#include "platform/EngineWave.h"

#include <algorithm>
#include <cmath>

#include "base/ByteIO.h"

namespace kantor {
namespace {

float sampleAt(const uint8_t* p, uint16_t bits) {
    if (bits == 8) return (float(p[0]) - 128.0f) / 128.0f;
    return float(int16_t(loadLE16(p))) / 32768.0f;
}

void storeSample(uint8_t* p, uint16_t bits, float v) {
    v = std::clamp(v, -1.0f, 1.0f);
    if (bits == 8) {
        p[0] = static_cast<uint8_t>(std::lrint(v * 127.0f) + 128);
    } else {
        storeLE16(p, static_cast<uint16_t>(static_cast<int16_t>(std::lrint(v * 32767.0f))));
    }
}

}  // namespace

int EngineWaveDevice::prepare(WaveHeader& h) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kDeviceInvalidHandle;
    if (!h.data || h.bufferLength == 0) return kDeviceInvalidParameter;
    h.flags.fetch_or(kHeaderPrepared);
    return kDeviceOk;
}

int EngineWaveDevice::unprepare(WaveHeader& h) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kDeviceInvalidHandle;
    if (h.flags.load() & kHeaderInQueue) return kDeviceStillPlaying;
    h.flags.fetch_and(~kHeaderPrepared);
    return kDeviceOk;
}

int EngineWaveDevice::admit(WaveHeader& h) {
    if (!open_) return kDeviceInvalidHandle;
    uint32_t f = h.flags.load();
    if (!(f & kHeaderPrepared)) return kDeviceUnprepared;
    if (f & kHeaderInQueue) return kDeviceStillPlaying;
    h.flags.store((f & ~kHeaderDone) | kHeaderInQueue);
    return kDeviceOk;
}

int EngineWaveDevice::closeDevice(EngineClient* client) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!open_) return kDeviceInvalidHandle;
        if (head_) return kDeviceStillPlaying;
        open_ = false;
        owner_ = nullptr;
    }
    engine_.detach(client);
    return kDeviceOk;
}

int EngineWaveDevice::bytePosition(uint32_t& bytes) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kDeviceInvalidHandle;
    bytes = position_;
    return kDeviceOk;
}

void EngineWaveDevice::enqueue(WaveHeader& h) {
    h.next = nullptr;
    if (tail_) {
        tail_->next = &h;
    } else {
        head_ = &h;
    }
    tail_ = &h;
}

int checkEngineWaveFormat(const WaveFormat& f) {
    if (f.formatTag != 1) return kDeviceBadFormat;
    if (f.bitsPerSample != 8 && f.bitsPerSample != 16) return kDeviceBadFormat;
    if (f.channels != 1 && f.channels != 2) return kDeviceBadFormat;
    if (f.samplesPerSec < 1000 || f.samplesPerSec > 192000) return kDeviceBadFormat;
    if (f.blockAlign != f.channels * (f.bitsPerSample / 8)) return kDeviceBadFormat;
    return kDeviceOk;
}

// ---- output -------------------------------------------------------------------------

EngineWaveOut::EngineWaveOut(AudioEngine& engine, NotificationQueue& queue) : EngineWaveDevice(engine, queue) {}

EngineWaveOut::~EngineWaveOut() {
    engine_.detach(this);
    std::lock_guard<std::mutex> lock(mutex_);
    returnAll(engine_.frameTime());
    open_ = false;
}

int EngineWaveOut::queryFormat(const WaveFormat& f) { return checkEngineWaveFormat(f); }

int EngineWaveOut::open(const WaveFormat& f, NotificationTarget* owner) {
    if (int r = checkEngineWaveFormat(f)) return r;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (open_) return kDeviceError;
        open_ = true;
        paused_ = false;
        owner_ = owner;
        format_ = f;
        head_ = tail_ = nullptr;
        cursor_ = position_ = 0;
        step_ = (uint64_t(f.samplesPerSec) << 32) / AudioEngine::kSampleRate;
        phase_ = 0;
        primed_ = false;
        prevL_ = prevR_ = curL_ = curR_ = 0;
        startPending_ = false;
    }
    engine_.attach(this, EngineStage::Source);
    return kDeviceOk;
}

int EngineWaveOut::write(WaveHeader& h) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (int r = admit(h)) return r;
    if (!head_) cursor_ = 0;
    enqueue(h);
    return kDeviceOk;
}

void EngineWaveOut::finishHeader(uint64_t frame) {
    WaveHeader* h = head_;
    head_ = h->next;
    if (!head_) tail_ = nullptr;
    h->next = nullptr;
    cursor_ = 0;
    h->flags.store((h->flags.load() & ~kHeaderInQueue) | kHeaderDone);
    Notification n;
    n.kind = NotificationKind::WaveOutDone;
    n.header = h;
    n.frame = frame;
    queue_.post(owner_, n);
}

void EngineWaveOut::returnAll(uint64_t frame) {
    while (head_) finishHeader(frame);
}

int EngineWaveOut::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kDeviceInvalidHandle;
    returnAll(engine_.frameTime());
    position_ = 0;
    phase_ = 0;
    primed_ = false;
    prevL_ = prevR_ = curL_ = curR_ = 0;
    startPending_ = false;
    return kDeviceOk;
}

int EngineWaveOut::scheduleStart(uint64_t frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kDeviceInvalidHandle;
    startPending_ = true;
    startFrame_ = frame;
    return kDeviceOk;
}

int EngineWaveOut::pause() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kDeviceInvalidHandle;
    paused_ = true;
    return kDeviceOk;
}

int EngineWaveOut::restart() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kDeviceInvalidHandle;
    paused_ = false;
    return kDeviceOk;
}

int EngineWaveOut::caps(WaveOutCaps& c) {
    c.volume = true;
    c.lrVolume = true;
    return kDeviceOk;
}

int EngineWaveOut::getVolume(uint32_t& volume) {
    volume = engine_.waveVolume();
    return kDeviceOk;
}

int EngineWaveOut::setVolume(uint32_t volume) {
    engine_.setWaveVolume(volume);
    return kDeviceOk;
}

// Takes the next source frame; false when no data is queued.
bool EngineWaveOut::nextFrame(float& l, float& r, uint64_t frame) {
    while (head_ && cursor_ + format_.blockAlign > head_->bufferLength) finishHeader(frame);
    if (!head_) return false;
    const uint8_t* p = head_->data + cursor_;
    l = sampleAt(p, format_.bitsPerSample);
    r = format_.channels == 2 ? sampleAt(p + format_.bitsPerSample / 8, format_.bitsPerSample) : l;
    cursor_ += format_.blockAlign;
    position_ += format_.blockAlign;
    if (cursor_ + format_.blockAlign > head_->bufferLength) finishHeader(frame);
    return true;
}

bool EngineWaveOut::produce(float& l, float& r, uint64_t frame) {
    if (format_.samplesPerSec == AudioEngine::kSampleRate) return nextFrame(l, r, frame);
    if (!primed_) {
        if (!nextFrame(curL_, curR_, frame)) return false;
        prevL_ = curL_;
        prevR_ = curR_;
        primed_ = true;
    }
    while (phase_ >= (uint64_t(1) << 32)) {
        phase_ -= uint64_t(1) << 32;
        prevL_ = curL_;
        prevR_ = curR_;
        if (!nextFrame(curL_, curR_, frame)) {
            primed_ = false;
            phase_ = 0;
            return false;
        }
    }
    const float t = float(phase_ & 0xFFFFFFFFu) / 4294967296.0f;
    l = prevL_ + (curL_ - prevL_) * t;
    r = prevR_ + (curR_ - prevR_) * t;
    phase_ += step_;
    return true;
}

void EngineWaveOut::process(float* mix, const float*, uint32_t frames, uint64_t frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || paused_ || !head_) return;
    uint32_t first = 0;
    if (startPending_) {
        if (startFrame_ >= frame + frames) return;  // not yet
        if (startFrame_ >= frame) {
            first = static_cast<uint32_t>(startFrame_ - frame);
        } else {
            // Started late (the notification was handled after its frame had sounded):
            // the overdue frames are dropped, so the rest lies on the sample clock.
            float l, r;
            for (uint64_t late = frame - startFrame_; late > 0; --late) {
                if (!produce(l, r, frame)) break;
            }
        }
        startPending_ = false;
    }
    const uint32_t volume = engine_.waveVolume();
    const float gl = float(volume & 0xFFFF) / 65535.0f;
    const float gr = float(volume >> 16) / 65535.0f;
    for (uint32_t i = first; i < frames; ++i) {
        float l, r;
        if (!produce(l, r, frame + i)) break;
        mix[2 * i] += l * gl;
        mix[2 * i + 1] += r * gr;
    }
}

// ---- input --------------------------------------------------------------------------

EngineWaveIn::EngineWaveIn(AudioEngine& engine, NotificationQueue& queue) : EngineWaveDevice(engine, queue) {}

EngineWaveIn::~EngineWaveIn() { engine_.detach(this); }

int EngineWaveIn::queryFormat(const WaveFormat& f) { return checkEngineWaveFormat(f); }

int EngineWaveIn::open(const WaveFormat& f, NotificationTarget* owner) {
    if (int r = checkEngineWaveFormat(f)) return r;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (open_) return kDeviceError;
        open_ = true;
        started_ = false;
        owner_ = owner;
        format_ = f;
        head_ = tail_ = nullptr;
        position_ = 0;
        phase_ = 0;
    }
    engine_.attach(this, EngineStage::Capture);
    return kDeviceOk;
}

int EngineWaveIn::addBuffer(WaveHeader& h) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (int r = admit(h)) return r;
    h.bytesRecorded = 0;
    enqueue(h);
    return kDeviceOk;
}

void EngineWaveIn::finishHeader(uint64_t frame) {
    WaveHeader* h = head_;
    head_ = h->next;
    if (!head_) tail_ = nullptr;
    h->next = nullptr;
    h->flags.store((h->flags.load() & ~kHeaderInQueue) | kHeaderDone);
    Notification n;
    n.kind = NotificationKind::WaveInData;
    n.header = h;
    n.frame = frame;
    queue_.post(owner_, n);
}

int EngineWaveIn::start() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kDeviceInvalidHandle;
    started_ = true;
    return kDeviceOk;
}

int EngineWaveIn::stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kDeviceInvalidHandle;
    started_ = false;
    // The buffer being filled comes back with what it holds.
    if (head_ && head_->bytesRecorded > 0) finishHeader(engine_.frameTime());
    return kDeviceOk;
}

int EngineWaveIn::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kDeviceInvalidHandle;
    started_ = false;
    while (head_) finishHeader(engine_.frameTime());
    position_ = 0;
    return kDeviceOk;
}

void EngineWaveIn::process(float*, const float* input, uint32_t frames, uint64_t frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || !started_) return;
    const uint16_t bytes = format_.bitsPerSample / 8;
    for (uint32_t i = 0; i < frames && head_; ++i) {
        // Keep one input frame in every 44100 / rate.
        phase_ += format_.samplesPerSec;
        if (phase_ < AudioEngine::kSampleRate) continue;
        phase_ -= AudioEngine::kSampleRate;
        const float l = input[2 * i], r = input[2 * i + 1];
        if (head_->bytesRecorded + format_.blockAlign > head_->bufferLength) {
            finishHeader(frame + i);
            if (!head_) break;
        }
        uint8_t* p = head_->data + head_->bytesRecorded;
        if (format_.channels == 1) {
            storeSample(p, format_.bitsPerSample, (l + r) * 0.5f);
        } else {
            storeSample(p, format_.bitsPerSample, l);
            storeSample(p + bytes, format_.bitsPerSample, r);
        }
        head_->bytesRecorded += format_.blockAlign;
        position_ += format_.blockAlign;
        if (head_->bytesRecorded + format_.blockAlign > head_->bufferLength) finishHeader(frame + i);
    }
}

}  // namespace kantor

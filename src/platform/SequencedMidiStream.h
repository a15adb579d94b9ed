#pragma once
// The MIDI stream as the platform provides it, clocked by the audio engine's sample clock:
// queued buffers are played event by event at their delta ticks under the current tempo,
// each message going to a sink on the exact sample of its tick. Markers (callback events),
// buffer completion and closing are posted to the owner through a notification queue.
//
// Stream time is absolute: an event's tick is the previous event's tick plus its delta, and
// it sounds when the stream's position reaches it; a buffer queued late plays its overdue
// events at once, so the music catches up instead of drifting.
#include <cstdint>
#include <mutex>

#include "platform/AudioEngine.h"
#include "platform/MidiEventSink.h"
#include "platform/MidiStream.h"
#include "platform/NotificationQueue.h"

namespace kantor {

class SequencedMidiStream : public MidiStream, public EngineClient {
public:
    static constexpr uint16_t kDefaultDivision = 96;
    static constexpr uint32_t kDefaultTempo = 500000;

    SequencedMidiStream(AudioEngine& engine, NotificationQueue& queue, MidiEventSink& sink);
    ~SequencedMidiStream() override;

    int open(NotificationTarget* owner) override;
    int setTimeDivision(uint16_t ticksPerQuarter) override;
    int prepareHeader(MidiHeader& h) override;
    int unprepareHeader(MidiHeader& h) override;
    int out(MidiHeader& h) override;
    int pause() override;
    int restart() override;
    int stop() override;
    int close() override;
    int position(uint32_t& ticks) override;
    bool isOpen() const override;

    void process(float* mix, const float* input, uint32_t frames, uint64_t frame) override;

    uint32_t tempo() const;

protected:
    // Hooks for drivers that hold a real device: called by open and close.
    virtual int openDevice() { return kDeviceOk; }
    virtual void closeDevice() {}

private:
    // Returns every queued buffer done. Caller holds the mutex.
    void returnAll(uint64_t frame);
    void finishHeader(uint64_t frame);
    void resetClock();

    AudioEngine& engine_;
    NotificationQueue& queue_;
    MidiEventSink& sink_;

    mutable std::mutex mutex_;
    bool open_ = false;
    bool playing_ = false;
    NotificationTarget* owner_ = nullptr;
    uint16_t division_ = kDefaultDivision;
    uint32_t tempo_ = kDefaultTempo;

    MidiHeader* head_ = nullptr;  // the buffer being played; the queue follows its `next`
    MidiHeader* tail_ = nullptr;
    uint32_t cursor_ = 0;         // byte offset of the next event in head_
    bool armed_ = false;          // the next event's tick is known
    uint32_t eventTick_ = 0;      // absolute tick of the next event (when armed)
    uint32_t lastEventTick_ = 0;  // absolute tick of the last event played

    uint32_t tick_ = 0;           // position
    uint64_t unitsIntoTick_ = 0;  // progress into the next tick, in 1/(rate*division) us
};

}  // namespace kantor

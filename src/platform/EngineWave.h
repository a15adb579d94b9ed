#pragma once
// The wave output and input devices of the audio engine. An output converts its PCM
// (8 or 16 bits, mono or stereo, any rate) to the engine's 44100 Hz stereo and mixes it in
// with the engine's software wave volume; an input takes the engine's input (silence on the
// null device) in the format it was opened with.
#include <cstdint>
#include <mutex>

#include "platform/AudioEngine.h"
#include "platform/NotificationQueue.h"
#include "platform/WaveDevice.h"

namespace kantor {

// Whether the engine's wave devices take this format.
int checkEngineWaveFormat(const WaveFormat& f);

// What the engine's output and input devices share: the open state, the owner, the format
// and the queue of headers, all under one mutex, and the header bookkeeping.
class EngineWaveDevice {
protected:
    EngineWaveDevice(AudioEngine& engine, NotificationQueue& queue) : engine_(engine), queue_(queue) {}
    bool openNow() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return open_;
    }
    int prepare(WaveHeader& h);
    int unprepare(WaveHeader& h);
    // With the mutex held: marks a prepared header queued, or says why it can't be.
    int admit(WaveHeader& h);
    // With the mutex held: appends a header to the queue.
    void enqueue(WaveHeader& h);
    // Closes the device (refused while headers are queued) and takes it off the engine.
    int closeDevice(EngineClient* client);
    int bytePosition(uint32_t& bytes) const;

    AudioEngine& engine_;
    NotificationQueue& queue_;
    mutable std::mutex mutex_;
    bool open_ = false;
    NotificationTarget* owner_ = nullptr;
    WaveFormat format_;
    WaveHeader* head_ = nullptr;
    WaveHeader* tail_ = nullptr;
    uint32_t position_ = 0;
    uint64_t phase_ = 0;
};

class EngineWaveOut : public WaveOut, public EngineClient, private EngineWaveDevice {
public:
    EngineWaveOut(AudioEngine& engine, NotificationQueue& queue);
    ~EngineWaveOut() override;

    int queryFormat(const WaveFormat& f) override;
    int open(const WaveFormat& f, NotificationTarget* owner) override;
    int prepareHeader(WaveHeader& h) override { return prepare(h); }
    int unprepareHeader(WaveHeader& h) override { return unprepare(h); }
    int write(WaveHeader& h) override;
    int reset() override;
    int pause() override;
    int restart() override;
    int close() override { return closeDevice(this); }
    int position(uint32_t& bytes) override { return bytePosition(bytes); }
    bool isOpen() const override { return openNow(); }
    int scheduleStart(uint64_t frame) override;
    int deviceCount() const override { return 1; }
    int caps(WaveOutCaps& c) override;
    int getVolume(uint32_t& volume) override;
    int setVolume(uint32_t volume) override;

    void process(float* mix, const float* input, uint32_t frames, uint64_t frame) override;

private:
    bool nextFrame(float& l, float& r, uint64_t frame);
    // The next output frame of the queued data at the engine rate; false when it has run out.
    bool produce(float& l, float& r, uint64_t frame);
    void finishHeader(uint64_t frame);
    void returnAll(uint64_t frame);

    bool paused_ = false;
    uint32_t cursor_ = 0;
    // Rate conversion: linear interpolation between the last two source frames; phase_ is
    // 32.32 fixed point.
    uint64_t step_ = 0;
    float prevL_ = 0, prevR_ = 0, curL_ = 0, curR_ = 0;
    bool primed_ = false;
    // A scheduled start: nothing sounds before this engine frame.
    bool startPending_ = false;
    uint64_t startFrame_ = 0;
};

class EngineWaveIn : public WaveIn, public EngineClient, private EngineWaveDevice {
public:
    EngineWaveIn(AudioEngine& engine, NotificationQueue& queue);
    ~EngineWaveIn() override;

    int queryFormat(const WaveFormat& f) override;
    int open(const WaveFormat& f, NotificationTarget* owner) override;
    int prepareHeader(WaveHeader& h) override { return prepare(h); }
    int unprepareHeader(WaveHeader& h) override { return unprepare(h); }
    int addBuffer(WaveHeader& h) override;
    int start() override;
    int stop() override;
    int reset() override;
    int close() override { return closeDevice(this); }
    int position(uint32_t& bytes) override { return bytePosition(bytes); }
    bool isOpen() const override { return openNow(); }

    void process(float* mix, const float* input, uint32_t frames, uint64_t frame) override;

private:
    void finishHeader(uint64_t frame);

    bool started_ = false;
};

}  // namespace kantor

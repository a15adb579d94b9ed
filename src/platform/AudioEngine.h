#pragma once
// The one audio clock of the program: a stream at 44100 Hz stereo whose callback drives the
// MIDI streams (their events and markers fall on its sample clock), renders the embedded
// synthesizer, mixes every open wave output with the software L/R wave volume, and feeds
// every open wave input.
//
// Three ways to run it:
// - real time on the default sound device (PortAudio);
// - real time on a null device when there is no sound device: the same processing, paced by
//   the system clock, with the sound thrown away (said once on stderr);
// - the virtual clock: nothing runs by itself; advance() processes a number of frames as fast
//   as the machine allows, pumps a notification queue between blocks, and can capture the
//   mixed output (offline mixdown, tests).
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kantor {

class NotificationQueue;

// Something the engine calls once per block, on the audio thread.
class EngineClient {
public:
    virtual ~EngineClient() = default;
    // `mix` and `input` are interleaved stereo of `frames` frames; `input` is silence when
    // there is no input. `frame` is the engine clock at the block's first frame.
    virtual void process(float* mix, const float* input, uint32_t frames, uint64_t frame) = 0;
};

// Clients run in stage order within a block: MIDI streams first (they hand their events to
// the synthesizer), then the sound sources, then the inputs.
enum class EngineStage { Sequencer = 0, Source = 1, Capture = 2 };

class AudioEngine {
public:
    static constexpr uint32_t kSampleRate = 44100;
    static constexpr uint32_t kMaxBlock = 1024;

    enum class Kind { Stopped, Device, Null, Virtual };

    AudioEngine();
    ~AudioEngine();
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    // Runs in real time on the default sound device, or on the null device when none can be
    // opened. Never fails for want of a sound device.
    void startRealTime();
    // Real time on the null device even when a sound device exists (tests, silent runs).
    void startNull();
    // Runs on the virtual clock. When `pumpQueue` is given it is pumped after every block of
    // `blockFrames` frames, on the thread that calls advance().
    void startVirtual(NotificationQueue* pumpQueue = nullptr, uint32_t blockFrames = 64);
    void stop();
    Kind kind() const { return kind_; }
    // Empty, or the note given when the null device replaced a missing sound device.
    const std::string& deviceNote() const { return deviceNote_; }

    // The virtual clock: processes `frames` frames in blocks. `inputStereo`, when given, is
    // the 16-bit interleaved stereo input for those frames. The queue is also pumped between
    // the MIDI streams and the sound sources of each block, so that a wave started by a
    // marker's notification can begin on the marker's own frame within the same block.
    void advance(uint64_t frames, const int16_t* inputStereo = nullptr);
    // Capture of the mixed output as 16-bit interleaved stereo (virtual clock only).
    void setCapture(bool on);
    const std::vector<int16_t>& captured() const { return captured_; }
    std::vector<int16_t> takeCaptured();

    uint64_t frameTime() const { return frameTime_.load(std::memory_order_acquire); }

    void attach(EngineClient* c, EngineStage stage);
    void detach(EngineClient* c);

    // The software wave volume: left in the low 16 bits, right in the high 16 bits.
    void setWaveVolume(uint32_t volume) { waveVolume_.store(volume, std::memory_order_relaxed); }
    uint32_t waveVolume() const { return waveVolume_.load(std::memory_order_relaxed); }

    // One block: runs every client and writes the clipped mix to `out` (interleaved stereo,
    // may be null). `in` may be null. frames <= kMaxBlock. For the drivers.
    void render(float* out, const float* in, uint32_t frames);

    // The sound device's inputs by name (empty unless running on a sound device), and the
    // one in use ("" = the default input).
    std::vector<std::string> inputDeviceNames() const;
    const std::string& inputDevice() const { return inputDevice_; }
    // Reopens the device stream with the named input ("" = the default input). The clock and
    // every client carry on. False, with the previous input back, when it cannot be opened.
    bool setInputDevice(const std::string& name);

    // Output of the null device so far (frames processed in real time without a device).
    bool realTimeRunning() const;

private:
    struct Device;
    void runNull();
    void runNullDevice();
    // Runs the clients of stages [from, to) over one block into mix_.
    void runStages(int from, int to, const float* input, uint32_t frames, uint64_t frame);
    // One block of the virtual clock into virtualOut_, pumping between the stages.
    void renderVirtualBlock(const float* in, uint32_t frames);

    std::mutex clientsMutex_;
    std::vector<EngineClient*> stages_[3];
    std::vector<float> mix_;
    std::vector<float> silence_;
    std::atomic<uint64_t> frameTime_{0};
    std::atomic<uint32_t> waveVolume_{0xFFFFFFFFu};

    Kind kind_ = Kind::Stopped;
    std::string deviceNote_;
    std::string inputDevice_;

    // Virtual clock.
    NotificationQueue* pumpQueue_ = nullptr;
    uint32_t blockFrames_ = 64;
    bool capture_ = false;
    std::vector<int16_t> captured_;
    std::vector<float> virtualIn_;
    std::vector<float> virtualOut_;

    // Null device.
    std::thread nullThread_;
    std::atomic<bool> nullRunning_{false};

    std::unique_ptr<Device> device_;
};

}  // namespace kantor

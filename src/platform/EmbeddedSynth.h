#pragma once
// The embedded General MIDI synthesizer (FluidSynth with a SoundFont), rendered inside the
// audio engine's callback. MIDI streams hand it their messages with the sample frame at
// which each takes effect; it renders the block in pieces between them, so every message
// lands on its exact sample.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "base/LastError.h"
#include "platform/AudioEngine.h"
#include "platform/MidiEventSink.h"
#include "platform/SequencedMidiStream.h"

namespace kantor {

class EmbeddedSynth : public EngineClient, public MidiEventSink, public LastError {
public:
    // The General MIDI SoundFont of the Debian package, or empty when it is not installed.
    static std::string defaultSoundFont();

    explicit EmbeddedSynth(AudioEngine& engine);
    ~EmbeddedSynth() override;
    EmbeddedSynth(const EmbeddedSynth&) = delete;
    EmbeddedSynth& operator=(const EmbeddedSynth&) = delete;

    // Creates the synthesizer with a SoundFont and attaches it to the engine.
    bool load(const std::string& soundFont);
    bool isLoaded() const { return synth_ != nullptr; }

    // Selects each channel's program now (channel 0-15, program 0-127), so that the
    // SoundFont's samples of those instruments are loaded before a play needs them (they are
    // loaded on demand). For the owner's thread while nothing plays.
    void preparePrograms(const std::vector<std::pair<int, int>>& channelPrograms);

    void shortMessage(uint64_t frame, uint8_t status, uint8_t data1, uint8_t data2) override;
    void longMessage(uint64_t frame, const uint8_t* data, uint32_t length) override;
    void silence() override;

    void process(float* mix, const float* input, uint32_t frames, uint64_t frame) override;

private:
    struct Event {
        uint64_t frame;
        uint8_t status, data1, data2;
        uint32_t longOffset, longLength;  // in pool_ for system exclusive
    };
    void apply(const Event& e);
    void renderInto(float* mix, uint32_t from, uint32_t to);

    static constexpr std::size_t kMaxEvents = 8192;
    static constexpr std::size_t kPoolSize = 1 << 17;

    AudioEngine& engine_;
    void* settings_ = nullptr;  // fluid_settings_t
    void* synth_ = nullptr;     // fluid_synth_t
    std::mutex mutex_;
    std::vector<Event> events_;
    std::size_t eventCount_ = 0;
    std::vector<uint8_t> pool_;
    std::size_t poolUsed_ = 0;
    std::atomic<bool> silencePending_{false};
    std::vector<float> left_, right_;
};

// A MIDI stream that plays on the embedded synthesizer.
class SynthMidiStream : public SequencedMidiStream {
public:
    SynthMidiStream(AudioEngine& engine, NotificationQueue& queue, EmbeddedSynth& synth)
        : SequencedMidiStream(engine, queue, synth) {}
};

}  // namespace kantor

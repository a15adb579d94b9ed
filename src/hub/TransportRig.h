#pragma once
// The transport with its devices: the audio engine, the embedded synthesizer (or an ALSA
// sequencer port), the MIDI stream, the engine's wave output and the notification queue they
// post to. The devices live as long as the rig; the transport is made for one song at a time
// (attach) and goes with it (detach), so a newly opened song keeps the running devices.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "audio/Transport.h"
#include "platform/AudioEngine.h"
#include "platform/EmbeddedSynth.h"
#include "platform/EngineWave.h"
#include "platform/NotificationQueue.h"
#include "platform/UserPrompt.h"

namespace kantor {

class MidiFile;
class Song;
class SynthEngine;
class TempoMap;

// The devices of one MIDI output choice: the audio engine, the queue its devices post to,
// and the embedded synthesizer or the name of the ALSA sequencer port. Shared: the rig holds
// it, and so does every stream, wave output and wave input made on it, so the engine runs
// until the last of them is gone, whatever the hub does with its own rig meanwhile (a new
// MIDI output, exit). A window that plays or records by itself owns what it made here.
class DeviceSet : public std::enable_shared_from_this<DeviceSet> {
public:
    DeviceSet() = default;
    // The engine stops before the synthesizer it runs goes away.
    ~DeviceSet();
    DeviceSet(const DeviceSet&) = delete;
    DeviceSet& operator=(const DeviceSet&) = delete;

    // An empty `port` plays on the embedded synthesizer; otherwise the ALSA sequencer port
    // ("client:port") gets the MIDI. False with `error` set.
    bool setUp(const std::string& port, std::string& error);
    bool ready() const { return ready_; }
    bool embeddedSynth() const { return synth_ != nullptr; }
    AudioEngine& engine() { return engine_; }
    NotificationQueue& queue() { return queue_; }
    EmbeddedSynth* synth() { return synth_.get(); }

    // A MIDI stream, a wave output or a wave input of its own on these devices, holding them
    // for as long as it lives. Null before setUp succeeded.
    std::unique_ptr<MidiStream> makeStream();
    std::unique_ptr<EngineWaveOut> makeWaveOut();
    std::unique_ptr<EngineWaveIn> makeWaveIn();

private:
    struct Hold {
        std::shared_ptr<DeviceSet> set;
    };
    // A device that holds its set: the hold is a base made before the device and destroyed
    // after it, so the device closes on a living engine.
    template <class Device>
    class Held final : private Hold, public Device {
    public:
        template <class... Args>
        explicit Held(std::shared_ptr<DeviceSet> s, Args&&... args)
            : Hold{std::move(s)}, Device(Hold::set->engine_, Hold::set->queue_, std::forward<Args>(args)...) {}
    };

    AudioEngine engine_;
    NotificationQueue queue_;
    std::unique_ptr<EmbeddedSynth> synth_;
    std::string port_;
    bool ready_ = false;
};

class TransportRig {
public:
    TransportRig() = default;
    ~TransportRig();
    TransportRig(const TransportRig&) = delete;
    TransportRig& operator=(const TransportRig&) = delete;

    // Makes the devices. An empty `port` plays on the embedded synthesizer; otherwise the
    // ALSA sequencer port ("client:port") gets the MIDI. False with `error` set.
    bool setUpDevices(const std::string& port, std::string& error);
    bool devicesReady() const { return stream_ != nullptr; }
    // True when MIDI and vocal leave through the same audio callback (no delay to correct).
    bool embeddedSynth() const { return devices_->embeddedSynth(); }

    // Makes the transport for a song; the previous one is closed first. Its messages and
    // questions go to `prompt`.
    Transport& attach(Song& song, const MidiFile& midi, const TempoMap& tempoMap, SynthEngine& engine,
                      UserPrompt& prompt, uint16_t qualityCode);
    // Gets the embedded synthesizer ready for a song: the first instrument of every channel
    // that plays notes is loaded now rather than when the play needs it.
    void prepareFor(const MidiFile& midi);
    // Closes the transport (its stream and wave output) and drops what it left queued.
    void detach();
    bool attached() const { return transport_ != nullptr; }

    // The devices, for a window that plays or records by itself (the sync correction's test
    // pattern, the voice data maker): what it makes on them keeps them alive. Null before
    // the devices are made.
    std::shared_ptr<DeviceSet> devices() const { return stream_ ? devices_ : nullptr; }
    std::unique_ptr<MidiStream> makeStream() { return stream_ ? devices_->makeStream() : nullptr; }
    std::unique_ptr<EngineWaveOut> makeWaveOut() { return stream_ ? devices_->makeWaveOut() : nullptr; }
    std::unique_ptr<EngineWaveIn> makeWaveIn() { return stream_ ? devices_->makeWaveIn() : nullptr; }

    AudioEngine& engine() { return devices_->engine(); }
    NotificationQueue& queue() { return devices_->queue(); }
    Transport& transport() { return *transport_; }

    // The whole sound output of the play, written to a stereo WAV file on the virtual clock
    // as fast as the machine allows. The mixdown ends when the play has ended and the
    // synthesizer's last notes have died away (at most `tailMs` later). False with `error`.
    // `frames`, when given, gets the length written (the output need not be a file that can
    // be read back: /dev/null, a pipe).
    bool mixdown(const std::string& path, uint32_t tailMs, std::string& error, uint64_t* frames = nullptr);

private:
    void tearDown();

    // First: what follows runs on it.
    std::shared_ptr<DeviceSet> devices_ = std::make_shared<DeviceSet>();
    std::unique_ptr<MidiStream> stream_;
    std::unique_ptr<EngineWaveOut> waveOut_;
    std::unique_ptr<Transport> transport_;
};

}  // namespace kantor

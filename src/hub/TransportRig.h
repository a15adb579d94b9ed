#pragma once
// The transport with its devices: the audio engine, the embedded synthesizer (or an ALSA
// sequencer port), the MIDI stream, the engine's wave output and the notification queue they
// post to. The devices live as long as the rig; the transport is made for one song at a time
// (attach) and goes with it (detach), so a newly opened song keeps the running devices.
#include <cstdint>
#include <memory>
#include <string>

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
    bool embeddedSynth() const { return synth_ != nullptr; }

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

    // A MIDI stream and a wave output of their own for a window that plays by itself (the
    // sync correction's test pattern), on the same engine, synthesizer or port, and queue.
    // Null before the devices are made.
    std::unique_ptr<MidiStream> makeStream();
    std::unique_ptr<EngineWaveOut> makeWaveOut();
    // A wave input of its own (the voice data maker's recording), on the same engine and queue.
    std::unique_ptr<EngineWaveIn> makeWaveIn();

    AudioEngine& engine() { return engine_; }
    NotificationQueue& queue() { return queue_; }
    Transport& transport() { return *transport_; }

    // The whole sound output of the play, written to a stereo WAV file on the virtual clock
    // as fast as the machine allows. The mixdown ends when the play has ended and the
    // synthesizer's last notes have died away (at most `tailMs` later). False with `error`.
    bool mixdown(const std::string& path, uint32_t tailMs, std::string& error);

private:
    void tearDown();

    AudioEngine engine_;
    NotificationQueue queue_;
    std::unique_ptr<EmbeddedSynth> synth_;
    std::unique_ptr<MidiStream> stream_;
    std::unique_ptr<EngineWaveOut> waveOut_;
    std::unique_ptr<Transport> transport_;
    std::string port_;
};

}  // namespace kantor

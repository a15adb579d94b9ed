#pragma once
// The transport of a command-line session with its devices: the audio engine, the embedded
// synthesizer (or an ALSA sequencer port), the MIDI stream, the engine's wave output and
// the notification queue they post to. Shared by `play` (real time) and `render --mix`
// (the virtual clock).
#include <memory>
#include <ostream>
#include <string>

#include "audio/Transport.h"
#include "platform/AudioEngine.h"
#include "platform/EmbeddedSynth.h"
#include "platform/EngineWave.h"
#include "platform/NotificationQueue.h"
#include "platform/UserPrompt.h"

namespace kantor::cli {

class CliSession;

class TransportRig {
public:
    TransportRig() = default;
    ~TransportRig();
    TransportRig(const TransportRig&) = delete;
    TransportRig& operator=(const TransportRig&) = delete;

    // Builds the devices and the transport for the session's song. An empty `port` plays on
    // the embedded synthesizer. False with a message on `err`.
    bool setUp(CliSession& session, const std::string& port, std::ostream& err);

    AudioEngine& engine() { return engine_; }
    NotificationQueue& queue() { return queue_; }
    Transport& transport() { return *transport_; }
    // The whole sound output of the play, written to a stereo WAV file on the virtual clock
    // as fast as the machine allows. The mixdown ends when the play has ended and the
    // synthesizer's last notes have died away (at most `tailMs` later).
    bool mixdown(const std::string& path, uint32_t tailMs, std::ostream& err);

private:
    // Messages and questions of the transport go to the command's error stream; questions
    // (an inserted wave that cannot be played) are answered Yes: play on without it.
    class StreamPrompt : public UserPrompt {
    public:
        std::ostream* err = nullptr;
        void notice(const std::string& caption, const std::string& text) override;
        void warning(const std::string& caption, const std::string& text) override;
        PromptAnswer askYesNo(const std::string& caption, const std::string& text) override;
        PromptAnswer askYesNoCancel(const std::string& caption, const std::string& text) override;
    };
    void tearDown();

    AudioEngine engine_;
    NotificationQueue queue_;
    StreamPrompt prompt_;
    std::unique_ptr<EmbeddedSynth> synth_;
    std::unique_ptr<MidiStream> stream_;
    std::unique_ptr<EngineWaveOut> waveOut_;
    std::unique_ptr<Transport> transport_;
};

}  // namespace kantor::cli

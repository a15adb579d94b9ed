#include "cli/TransportRig.h"

#include <cstdlib>

#include "audio/MixdownWriter.h"
#include "cli/Session.h"
#include "platform/AlsaSeqMidiStream.h"

namespace kantor::cli {

void TransportRig::StreamPrompt::notice(const std::string& caption, const std::string& text) {
    if (err) *err << "\n[" << caption << "] " << text << "\n";
}

void TransportRig::StreamPrompt::warning(const std::string& caption, const std::string& text) {
    notice(caption, text);
}

PromptAnswer TransportRig::StreamPrompt::askYesNo(const std::string& caption, const std::string& text) {
    if (err) *err << "[" << caption << "] " << text << " -> yes\n";
    return PromptAnswer::Yes;
}

PromptAnswer TransportRig::StreamPrompt::askYesNoCancel(const std::string& caption, const std::string& text) {
    return askYesNo(caption, text);
}

TransportRig::~TransportRig() { tearDown(); }

void TransportRig::tearDown() {
    // The transport closes its stream and wave output while the engine still exists; the
    // engine stops before the devices it runs go away.
    Transport* t = transport_.release();
    delete t;
    queue_.cancel(t);  // what closing posted to it goes with it
    engine_.stop();
    waveOut_.reset();
    stream_.reset();
    synth_.reset();
}

bool TransportRig::setUp(CliSession& s, const std::string& port, std::ostream& err) {
    tearDown();
    prompt_.err = &err;
    if (port.empty()) {
        const std::string sf = EmbeddedSynth::defaultSoundFont();
        if (sf.empty()) {
            err << "no General MIDI SoundFont (install fluid-soundfont-gm) - use --port for an external synthesizer\n";
            return false;
        }
        synth_ = std::make_unique<EmbeddedSynth>(engine_);
        if (!synth_->load(sf)) {
            err << synth_->lastError() << "\n";
            return false;
        }
        stream_ = std::make_unique<SynthMidiStream>(engine_, queue_, *synth_);
        // MIDI and vocal leave through the same audio callback: nothing to correct.
        s.engine().setMidiDelayCorrection(0);
    } else {
        stream_ = std::make_unique<AlsaSeqMidiStream>(engine_, queue_, port);
    }
    waveOut_ = std::make_unique<EngineWaveOut>(engine_, queue_);
    transport_ = std::make_unique<Transport>(s.song(), s.midi(), s.tempoMap(), s.engine(), *stream_, *waveOut_,
                                             prompt_);
    transport_->setQualityCode(s.settings().outputQualityCode());
    transport_->setNotificationQueue(&queue_);
    transport_->resetPositions();
    return true;
}

bool TransportRig::mixdown(const std::string& path, uint32_t tailMs, std::ostream& err) {
    MixdownWriter writer;
    if (!writer.begin(path)) {
        err << writer.lastError() << "\n";
        return false;
    }
    engine_.setCapture(true);
    constexpr uint64_t kChunk = AudioEngine::kSampleRate / 10;  // 100 ms per step
    uint64_t silentFrames = 0;
    const uint64_t tailFrames = uint64_t(tailMs) * AudioEngine::kSampleRate / 1000;
    bool ended = false;
    for (;;) {
        engine_.advance(kChunk);
        std::vector<int16_t> block = engine_.takeCaptured();
        if (!writer.append(block)) {
            err << writer.lastError() << "\n";
            engine_.setCapture(false);
            return false;
        }
        if (!ended) {
            ended = transport_->state() == Transport::State::Idle;
            continue;
        }
        // After the end: until the sound has died away, or the tail has passed.
        bool quiet = true;
        for (int16_t v : block) quiet = quiet && std::abs(v) <= 1;
        silentFrames += kChunk;
        if (quiet || silentFrames >= tailFrames) break;
    }
    engine_.setCapture(false);
    if (!writer.finish()) {
        err << writer.lastError() << "\n";
        return false;
    }
    return true;
}

}  // namespace kantor::cli

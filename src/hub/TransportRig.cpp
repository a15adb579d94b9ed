#include "hub/TransportRig.h"

#include <cstdlib>

#include "audio/MixdownWriter.h"
#include "midi/MidiFile.h"
#include "platform/AlsaSeqMidiStream.h"
#include "synth/SynthEngine.h"

namespace kantor {

TransportRig::~TransportRig() { tearDown(); }

void TransportRig::detach() {
    Transport* t = transport_.release();
    delete t;          // closes its stream and wave output while the engine still runs
    queue_.cancel(t);  // what closing posted to it goes with it
}

void TransportRig::tearDown() {
    detach();
    engine_.stop();  // the engine stops before the devices it runs go away
    waveOut_.reset();
    stream_.reset();
    synth_.reset();
}

bool TransportRig::setUpDevices(const std::string& port, std::string& error) {
    tearDown();
    port_ = port;
    if (port.empty()) {
        const std::string sf = EmbeddedSynth::defaultSoundFont();
        if (sf.empty()) {
            error = "no General MIDI SoundFont (install fluid-soundfont-gm) - choose an ALSA port for an external synthesizer";
            return false;
        }
        synth_ = std::make_unique<EmbeddedSynth>(engine_);
        if (!synth_->load(sf)) {
            error = synth_->lastError();
            synth_.reset();
            return false;
        }
        stream_ = std::make_unique<SynthMidiStream>(engine_, queue_, *synth_);
    } else {
        stream_ = std::make_unique<AlsaSeqMidiStream>(engine_, queue_, port);
    }
    waveOut_ = std::make_unique<EngineWaveOut>(engine_, queue_);
    return true;
}

void TransportRig::prepareFor(const MidiFile& midi) {
    if (!synth_) return;
    std::vector<std::pair<int, int>> programs;
    for (int c = 0; c < 16; ++c) {
        int program = -1;
        bool notes = false;
        for (const auto& e : midi.channel(c)) {
            if (!e) continue;
            if (e->kind == ChannelEventKind::ProgramChange && e->data.size() >= 2 && program < 0) program = e->data[1] & 0x7F;
            if (e->isNote()) notes = true;
        }
        if (notes) programs.push_back({c, program < 0 ? 0 : program});
    }
    synth_->preparePrograms(programs);
}

std::unique_ptr<MidiStream> TransportRig::makeStream() {
    if (!stream_) return nullptr;
    if (synth_) return std::make_unique<SynthMidiStream>(engine_, queue_, *synth_);
    return std::make_unique<AlsaSeqMidiStream>(engine_, queue_, port_);
}

std::unique_ptr<EngineWaveOut> TransportRig::makeWaveOut() {
    if (!stream_) return nullptr;
    return std::make_unique<EngineWaveOut>(engine_, queue_);
}

std::unique_ptr<EngineWaveIn> TransportRig::makeWaveIn() {
    if (!stream_) return nullptr;
    return std::make_unique<EngineWaveIn>(engine_, queue_);
}

Transport& TransportRig::attach(Song& song, const MidiFile& midi, const TempoMap& tempoMap, SynthEngine& engine,
                                UserPrompt& prompt, uint16_t qualityCode) {
    detach();
    transport_ = std::make_unique<Transport>(song, midi, tempoMap, engine, *stream_, *waveOut_, prompt);
    transport_->setQualityCode(qualityCode);
    transport_->setNotificationQueue(&queue_);
    // On the virtual clock (a mixdown) nothing plays in real time: the stream waits for the vocal.
    transport_->setVocalWaits(engine_.kind() == AudioEngine::Kind::Virtual);
    transport_->resetPositions();
    return *transport_;
}

bool TransportRig::mixdown(const std::string& path, uint32_t tailMs, std::string& error) {
    MixdownWriter writer;
    if (!writer.begin(path)) {
        error = writer.lastError();
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
            error = writer.lastError();
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
        error = writer.lastError();
        return false;
    }
    return true;
}

}  // namespace kantor

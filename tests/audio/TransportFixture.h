#pragma once
// A song on the virtual clock for the transport tests: a MIDI file at 120 beats a minute
// (480 ticks a quarter, so 960 ticks last a second) whose channels 1 and 3 sing one-note
// phrases of a synthetic voice, a virtual MIDI stream that records what it sends (and makes
// no sound, so the engine's output is the vocal alone), and the engine's wave output.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "audio/Transport.h"
#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "midi/TempoMap.h"
#include "platform/AudioEngine.h"
#include "platform/EmbeddedSynth.h"
#include "platform/EngineWave.h"
#include "platform/NotificationQueue.h"
#include "platform/VirtualMidiStream.h"
#include "song/Song.h"
#include "song/TestPrompt.h"
#include "song/VoxTrackBuilder.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"
#include "synth/SynthEngine.h"
#include "voice/VoiceBank.h"

namespace kantor::test {

struct Notice {
    PositionReceiver receiver;
    PositionCode code;
    uint32_t tick;
    std::string line;
};

class RecordingListener : public TransportListener {
public:
    std::vector<Notice> notices;
    void positionNotify(PositionReceiver r, PositionCode c, uint32_t tick, const LyricLine* line) override {
        notices.push_back({r, c, tick, line ? line->text : std::string()});
    }
    int count(PositionCode c) const {
        int n = 0;
        for (const Notice& x : notices) n += x.code == c;
        return n;
    }
};

// Notes: {start, end} per channel (0-based channel, key).
struct SongNotes {
    int channel;
    int key;
    std::vector<std::pair<uint32_t, uint32_t>> notes;
};

class TransportFixture {
public:
    TempDir dir;
    MidiFile midi;
    TempoMap map;
    Song song;
    VoiceBank bank;
    SynthEngine synth{bank, map};
    AudioEngine engine;
    NotificationQueue queue;
    RecordingPrompt prompt;
    RecordingListener listener;
    std::unique_ptr<VirtualMidiStream> stream;
    // With a SoundFont: the embedded synthesizer and its stream play instead.
    std::unique_ptr<EmbeddedSynth> gm;
    std::unique_ptr<SynthMidiStream> gmStream;
    std::unique_ptr<EngineWaveOut> waveOut;
    std::unique_ptr<Transport> transport;

    // Every note of a vocal channel is a phrase of one syllable "A".
    explicit TransportFixture(const std::vector<SongNotes>& channels, uint32_t blockFrames = 64,
                              const std::string& soundFont = "",
                              const std::vector<std::pair<uint32_t, uint32_t>>& tempos = {{0, 500000}}) {
        writeSyntheticVoice(dir.path(), "TestVox", {{"A", "あ", 60}, {"A", "あ", 69}}, 441, 22050);
        bank.setVoiceFolder(dir.path());
        SmfTrack t;
        for (auto [tick, us] : tempos) t.tempo(tick, us);
        for (const SongNotes& c : channels)
            for (auto [s, e] : c.notes) t.note(s, e, static_cast<uint8_t>(c.channel), static_cast<uint8_t>(c.key), 100);
        EXPECT_TRUE(midi.loadImage(buildSmf(0, 480, {t}), dir.file("s.mid")));
        EXPECT_TRUE(map.build(midi));
        song.songDefaults().voiceName = "TestVox";
        for (const SongNotes& c : channels) {
            EXPECT_TRUE(makeVoxChannel(song, midi.channel(c.channel), c.channel));
            for (std::size_t i = 0; i < song.channel(c.channel).events.size(); ++i) {
                VoxEvent& e = *song.channel(c.channel).events[i];
                e.setCode(0, "A");
                e.syllableLength[0] = 1;
                song.makePhraseHead(c.channel, i);
            }
        }
        song.setSongPath(dir.file("s.uta"));
        song.setMidiPath(dir.file("s.mid"));
        engine.startVirtual(&queue, blockFrames);
        stream = std::make_unique<VirtualMidiStream>(engine, queue);
        waveOut = std::make_unique<EngineWaveOut>(engine, queue);
        MidiStream* s = stream.get();
        if (!soundFont.empty()) {
            gm = std::make_unique<EmbeddedSynth>(engine);
            EXPECT_TRUE(gm->load(soundFont)) << gm->lastError();
            gmStream = std::make_unique<SynthMidiStream>(engine, queue, *gm);
            s = gmStream.get();
        }
        transport = std::make_unique<Transport>(song, midi, map, synth, *s, *waveOut, prompt);
        transport->addListener(&listener);
        transport->setNotificationQueue(&queue);
        transport->resetPositions();
    }
    ~TransportFixture() {
        // Closing posts notifications to the transport: they go with it.
        Transport* t = transport.release();
        delete t;
        queue.cancel(t);
        engine.stop();
    }

    // Advances the clock by whole seconds' worth of milliseconds.
    void run(uint32_t ms) { engine.advance(uint64_t(ms) * AudioEngine::kSampleRate / 1000); }
    // Runs until the transport is idle (and no loop is pending), at most `ms`.
    void runToEnd(uint32_t ms) {
        for (uint32_t t = 0; t < ms; t += 10) {
            run(10);
            if (transport->state() == Transport::State::Idle && !transport->looping()) return;
        }
    }
    // The frame at which a tick sounds, counted from the start of a play at `from`.
    uint64_t frameOf(uint32_t tick, uint32_t from = 0) const {
        return uint64_t(tick - from) * AudioEngine::kSampleRate / 960;
    }
};

}  // namespace kantor::test

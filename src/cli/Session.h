#pragma once
// What the song commands of the command line share: the user's folders and settings (or
// those the options name), the voice bank, and a song opened with its MIDI file.
#include <memory>
#include <ostream>
#include <string>

#include "cli/Commands.h"
#include "midi/MidiFile.h"
#include "midi/TempoMap.h"
#include "plugins/EffectRack.h"
#include "platform/EffectHostClient.h"
#include "platform/Folders.h"
#include "platform/StderrPrompt.h"
#include "settings/Settings.h"
#include "song/MidiStreamStopper.h"
#include "song/Song.h"
#include "song/SongSession.h"
#include "synth/SynthEngine.h"
#include "synth/VoiceBankLoader.h"
#include "voice/VoiceBank.h"

namespace kantor::cli {

class CliSession {
public:
    explicit CliSession(const CommonOptions& options);

    Folders& folders() { return folders_; }
    Settings& settings() { return settings_; }
    VoiceBank& voices() { return voices_; }
    Song& song() { return song_; }
    MidiFile& midi() { return midi_; }
    TempoMap& tempoMap() { return tempoMap_; }
    SongSession& session() { return session_; }
    SynthEngine& engine() { return engine_; }
    EffectRack& effects() { return effects_; }

private:
    class NoStream : public MidiStreamStopper {
    public:
        bool stopAndCloseStream(std::string&) override { return true; }
    };
    Folders folders_;
    Settings settings_;
    VoiceBank voices_;
    VoiceBankLoader loader_;
    StderrPrompt prompt_;
    NoStream stream_;
    Song song_;
    MidiFile midi_;
    TempoMap tempoMap_;
    SongSession session_;
    // The registered effect libraries, each in an effect host; outlives the engine.
    EffectHostLoader effectLoader_;
    EffectRack effects_;
    SynthEngine engine_;
};

// The switches given on the command line in place of the song's stored ones (when any is given).
void applySwitches(const ChannelSwitches& switches, ChannelFlags& flags);

// Parses a whole decimal number in [0, max]; false when it is not one.
bool parseNumber(const std::string& text, uint64_t max, uint64_t& value);

}  // namespace kantor::cli

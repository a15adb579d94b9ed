#pragma once
// What the song commands of the command line share: the user's folders and settings (or
// those the options name), the voice bank, and a song opened with its MIDI file.
#include <memory>
#include <ostream>
#include <string>

#include "cli/Commands.h"
#include "midi/MidiFile.h"
#include "midi/TempoMap.h"
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

// Options every song command takes; they win over the environment variables.
struct CommonOptions {
    std::string voiceDir;   // --voice-dir
    std::string configDir;  // --config-dir (the folder of the settings file)
    std::string dataDir;    // --data-dir
};

// Takes "--voice-dir DIR", "--config-dir DIR" and "--data-dir DIR" out of args.
// False (with a message on err) when an option lacks its value.
bool takeCommonOptions(Args& args, CommonOptions& options, std::ostream& err);

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
    SynthEngine engine_;
};

// Checks of option values, with the message on err: a quality code the vocal can be
// rendered in, a MIDI channel 1 to 16.
bool checkQualityCode(const std::string& cmd, uint64_t code, std::ostream& err);
bool checkChannel(const std::string& cmd, uint64_t channel, std::ostream& err);

// Parses a whole decimal number in [0, max]; false when it is not one.
bool parseNumber(const std::string& text, uint64_t max, uint64_t& value);

}  // namespace kantor::cli

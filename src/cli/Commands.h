#pragma once
// The commands of kantor-cli. Each returns the process exit status:
// 0 success, 1 failure (the reason on `err`), 2 usage error.
// run() parses the command line (cli/CommandLine.cpp) and calls the command with its options.
#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace kantor::cli {

using Args = std::vector<std::string>;

// Options every song command takes; they win over the environment variables.
struct CommonOptions {
    std::string voiceDir;   // --voice-dir
    std::string configDir;  // --config-dir (the folder of the settings file)
    std::string dataDir;    // --data-dir
    // --formants keep|resample of the commands that sing ("" = the choice kept beside the
    // settings file, render.conf, decides; Resample when there is none).
    std::string formants;
    // --expression auto|off of the commands that sing ("" = render.conf decides; off when none).
    std::string expression;
};

// kantor-cli info [--json] FILE   (.mid/.midi, .uta, .vxb, .wav by extension)
struct InfoArgs {
    std::string path;
    bool json = false;
};
int info(const InfoArgs& args, std::ostream& out, std::ostream& err);
int infoMidi(const std::string& path, bool json, std::ostream& out, std::ostream& err);
int infoSong(const std::string& path, bool json, std::ostream& out, std::ostream& err);
int infoVoice(const std::string& path, bool json, std::ostream& out, std::ostream& err);
int infoWav(const std::string& path, bool json, std::ostream& out, std::ostream& err);

// "480 ticks per quarter note", or the time code a division with its top bit set means.
std::string divisionText(uint16_t division);

// kantor-cli pos FILE.mid TICK...
struct PosArgs {
    std::string path;
    std::vector<uint32_t> ticks;
};
int pos(const PosArgs& args, std::ostream& out, std::ostream& err);

// --midi-mute, --vox-mute, --midi-solo, --vox-solo on play and render: channels (1 to 16)
// whose switches are on for this run. Any of them replaces the song's stored switches.
struct ChannelSwitches {
    std::vector<uint32_t> midiMute, voxMute, midiSolo, voxSolo;
    bool given() const { return !midiMute.empty() || !voxMute.empty() || !midiSolo.empty() || !voxSolo.empty(); }
};

// kantor-cli play FILE.uta|FILE.mid [--from TICK] [--to TICK] [--loop] [--port CLIENT:PORT] [--formants keep|resample] [--quiet]
struct PlayArgs {
    CommonOptions common;
    std::string path, port;
    uint32_t from = 0, to = 0xFFFFFFFFu;
    bool haveRange = false, loop = false, quiet = false;
    ChannelSwitches switches;
};
int play(const PlayArgs& args, std::ostream& out, std::ostream& err);

// kantor-cli render SONG.uta -o OUT.wav [--from TICK] [--to TICK] [--quality CODE] [--formants keep|resample] [--quiet]
// kantor-cli render SONG.uta --mix -o OUT.wav [--from TICK] [--to TICK] [--formants keep|resample] [--quiet]
// kantor-cli phrase SONG.uta --channel C --note N -o OUT.wav [--quality CODE] [--formants keep|resample]
struct RenderArgs {
    CommonOptions common;
    std::string input;
    std::string output;
    uint64_t from = 0, to = 0xFFFFFFFF, quality = 0, channel = 0, note = 0;
    bool haveQuality = false;
    bool mix = false;
    bool quiet = false;
    uint64_t jobs = 0;  // worker threads for the phrases (0: the machine's cores)
    ChannelSwitches switches;
};
int render(const RenderArgs& args, std::ostream& out, std::ostream& err);
int phrase(const RenderArgs& args, std::ostream& out, std::ostream& err);

// kantor-cli new MIDI.mid -o SONG.uta --vox C --lyrics FILE [--vox C --lyrics FILE ...] [--voice NAME]
// kantor-cli new MIDI.mid|KARAOKE.kar -o SONG.uta --vox C --lyrics-from-midi [--voice NAME]
struct NewArgs {
    CommonOptions common;
    std::string midiPath, output, voiceName;
    bool lyricsFromMidi = false;
    int verse = 0, lyricsTrack = 0;  // which lyrics of the MIDI file (1-based; 0 = the channel's)
    // channel (0-based), lyrics file ("" = the MIDI file's own lyrics, with --lyrics-from-midi)
    std::vector<std::pair<int, std::string>> pairs;
    bool force = false;  // replace an existing song
    // --empty: an empty MIDI file beside the song, with --tempo, --time and --measures.
    bool empty = false;
    std::string tempo = "120", time = "4/4", measures = "16";
};
int newSong(const NewArgs& args, std::ostream& out, std::ostream& err);

// kantor-cli export SONG.uta -o OUT.mid [--cp932]: the song's MIDI file with its syllables as
// lyric events, in hiragana (UTF-8, or cp932).
struct ExportArgs {
    CommonOptions common;
    std::string song, output;
    bool cp932 = false;
};
int exportMidi(const ExportArgs& args, std::ostream& out, std::ostream& err);

// kantor-cli import SCORE.musicxml|SCORE.xml|SCORE.mxl -o SONG.uta [--part N] [--verse N] [--no-repeats] [--voice NAME] [--force]: a
// MusicXML score as a song: its MIDI file beside the song, the part singing its lyrics.
struct ImportArgs {
    CommonOptions common;
    std::string score, output, voiceName;
    uint64_t part = 0;  // 1-based; 0 = the first part with lyrics
    bool force = false;  // replace an existing song and MIDI file
    uint64_t verse = 0;  // the lyric number sung; 0 = the part's first
    bool noRepeats = false;
};
int importScore(const ImportArgs& args, std::ostream& out, std::ostream& err);

// kantor-cli voice [--voice-dir DIR] list|info ID|import FILE|export ID FILE|delete ID|build PROJECT [--replace ID]|automark PROJECT
struct VoiceArgs {
    std::string voiceDir;
    std::string replace;
    bool json = false;
    bool force = false;
    bool keep = false;
    std::string name;     // import-bank --name
    std::string project;  // import-bank --project
    std::string command;  // list, info, import, export, delete, build, automark or import-bank
    Args operands;
};
int voice(const VoiceArgs& args, std::ostream& out, std::ostream& err);

// kantor-cli effect list|add FILE.ncp|remove N|set SONG.uta [--channel C [--note N]] [P:E ...]
struct EffectArgs {
    CommonOptions common;
    std::string command;  // list, add, remove or set
    std::string file;     // add: the description file; set: the song
    std::string which;    // remove: the plug-in number
    uint64_t channel = 0;  // set: 1-16, 0 = the song defaults
    uint64_t note = 0;     // set: counted from 1, 0 = the channel defaults
    Args references;       // set: up to three PLUGIN:EFFECT
};
int effect(const EffectArgs& args, std::ostream& out, std::ostream& err);

// kantor-cli lyric list SONG.uta | add SONG.uta --at TICK TEXT [--replace] | remove SONG.uta --at TICK
// kantor-cli wave list SONG.uta | insert SONG.uta FILE.wav --at TICK [--copy] [--replace] [--force]
//                 | remove SONG.uta --at TICK
struct SongListArgs {
    CommonOptions common;
    std::string command;  // list, add/insert or remove
    std::string song;
    std::string file;  // wave insert: the WAV file
    std::string text;  // lyric add: the line
    uint64_t at = 0;
    bool haveAt = false;
    bool replace = false, copy = false, force = false;
};
int lyric(const SongListArgs& args, std::ostream& out, std::ostream& err);
int wave(const SongListArgs& args, std::ostream& out, std::ostream& err);

// kantor-cli note set SONG.uta --channel C --note N[-M] [--vibrato DEPTH:RATE:DELAY_MS[:FADE_MS]]
//     [--smoothing MS] [--falsetto on|off] [--time MS] [--pitch CENTS] [--power X.XXX] [--attack S.SS]
//     [--syllable-power X.XXX] [--consonant-speed PERCENT] [--default NAME...] [--defaults]
// kantor-cli note show SONG.uta --channel C [--json]
struct NoteArgs {
    CommonOptions common;
    std::string command;  // set or show
    std::string song;
    uint64_t channel = 0;
    std::string notes;  // N or N-M, counted from 1
    bool channelDefaults = false;  // --defaults: the channel's defaults instead of notes
    bool json = false;
    // The values given, as text ("" = not given).
    std::string vibrato, smoothing, falsetto, time, pitch, power, attack, syllablePower, consonantSpeed;
    std::vector<std::string> toDefault;
    // Writing notes (add, move, resize, split, join, delete), as text ("" = not given).
    std::string tick, length, key, syllable, by, transpose, at;
};
int note(const NoteArgs& args, std::ostream& out, std::ostream& err);
// kantor-cli note add SONG.uta --channel C --tick T --length L --key K [--syllable SA]
// kantor-cli note move SONG.uta --channel C --note N [--by TICKS] [--key K|--transpose S]
// kantor-cli note resize SONG.uta --channel C --note N --length L
// kantor-cli note split SONG.uta --channel C --note N --at TICK
// kantor-cli note join SONG.uta --channel C --note N
// kantor-cli note delete SONG.uta --channel C --note N[-M]
bool isNoteWriteCommand(const std::string& command);
int noteWrite(const NoteArgs& args, std::ostream& out, std::ostream& err);

// kantor-cli language [en|ja] [--config-dir DIR]: the language of the messages, kept in
// language.conf beside the settings file (settings/LanguageChoice.h).
struct LanguageArgs {
    std::string word;       // "" = print the choice
    std::string configDir;  // --config-dir
};
int language(const LanguageArgs& args, std::ostream& out, std::ostream& err);
// language.conf beside the settings file of that folder ("" = KANTOR_CONFIG_DIR or the default).
std::string languageFilePath(const std::string& configDir);

// Runs a whole command line (args without the program name). --lang en|ja, anywhere before
// "--", chooses the language of the messages for this run; without it language.conf beside
// the settings file decides.
int run(const Args& args, std::ostream& out, std::ostream& err);

// "kantor-cli 0.1" and the sound libraries, as --version prints them.
std::string versionText();

}  // namespace kantor::cli

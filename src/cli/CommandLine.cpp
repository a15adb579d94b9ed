// The command line of kantor-cli: every command with its options, parsed with CLI11. The help
// of each command, the manual page (made from --help-all by help2man) and the exit statuses all
// come from these definitions: 0 for help and version, 2 for anything the parser refuses.
#include <CLI/CLI.hpp>
#include <sys/stat.h>

#include <map>
#include <new>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include "KantorVersion.h"
#include "base/Texts.h"
#include "base/Translation.h"
#include "cli/Commands.h"
#include "cli/Session.h"
#include "platform/Folders.h"
#include "platform/SoundLibraries.h"
#include "settings/LanguageChoice.h"
#include "settings/RenderChoice.h"

namespace kantor::cli {
namespace {

constexpr const char* kProgram = "kantor-cli";

// Words of `text` in lines of at most `width` characters, every line after the first indented.
std::string wrap(const std::string& text, std::size_t width, std::size_t indent) {
    std::istringstream words(text);
    std::string out, line, word;
    while (words >> word) {
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            out += line + "\n" + std::string(indent, ' ');
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return out + line;
}

// The help of a command: usage, what it does, its arguments and options ("-o OUT.wav", with
// "(required)" in the description), the commands below it by their summaries, and an example.
class HelpFormatter : public CLI::Formatter {
public:
    static constexpr std::size_t kWidth = 79;
    static constexpr std::size_t kColumn = 28;

    HelpFormatter() {
        column_width(kColumn);
        label("Positionals", "Arguments");
        label("SUBCOMMAND", "COMMAND");
        label("SUBCOMMANDS", "COMMAND");
    }
    void summary(const CLI::App* app, std::string text) { summaries_[app] = std::move(text); }

    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
        std::string text = make_usage(app, name) + "\n" + wrap(app->get_description(), kWidth, 0) + "\n" +
                           make_positionals(app) + make_groups(app, mode) + make_subcommands(app, mode) + "\n" +
                           make_footer(app);
        // CLI11 puts an empty line both after a group and before the next.
        for (std::size_t at; (at = text.find("\n\n\n")) != std::string::npos;) text.erase(at, 1);
        return text;
    }
    std::string make_subcommand(const CLI::App* sub) const override {
        auto it = summaries_.find(sub);
        return item(sub->get_name(), it == summaries_.end() ? sub->get_description() : it->second);
    }
    std::string make_option(const CLI::Option* opt, bool positional) const override {
        return item(make_option_name(opt, positional) + make_option_opts(opt), make_option_desc(opt));
    }
    std::string make_option_opts(const CLI::Option* opt) const override {
        if (opt->get_positional() || opt->get_type_size() == 0) return "";
        std::string text = " " + opt->get_type_name();
        if (opt->get_expected_max() > 1) text += " ...";
        return text;
    }
    std::string make_option_desc(const CLI::Option* opt) const override {
        std::string desc = opt->get_description();
        if (opt->get_required() && !opt->get_positional()) desc += " (required)";
        return desc;
    }

private:
    // "  NAME   description", the description wrapped in its column.
    static std::string item(const std::string& name, const std::string& desc) {
        std::string line = "  " + name;
        if (line.size() + 1 > kColumn) line += "\n" + std::string(kColumn, ' ');
        else line.resize(kColumn, ' ');
        return line + wrap(desc, kWidth - kColumn, kColumn) + "\n";
    }
    std::map<const CLI::App*, std::string> summaries_;
};

// A whole decimal number in [min, max]; otherwise the message says what the value should be.
CLI::Validator number(uint64_t min, uint64_t max, std::string what) {
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            uint64_t v = 0;
            if (parseNumber(text, max, v) && v >= min) return {};
            return text + " is not " + what;
        },
        "");
}

const CLI::Validator& tick() {
    static const CLI::Validator v = number(0, 0xFFFFFFFF, "a tick (0 to 4294967295)");
    return v;
}
const CLI::Validator& channel() {
    static const CLI::Validator v = number(1, 16, "a channel (1 to 16)");
    return v;
}

CLI::App* command(CLI::App& parent, const std::string& name, const std::string& summary,
                  const std::string& description, const std::string& example) {
    CLI::App* c = parent.add_subcommand(name, description);
    c->footer("Example:\n  " + example);
    c->set_help_all_flag();
    std::static_pointer_cast<HelpFormatter>(parent.get_formatter())->summary(c, summary);
    return c;
}

// A folder option names a folder, or nothing yet (it is made when needed): a file, a FIFO or a
// device in its place is refused. No description, so the help stays as it is.
const CLI::Validator kFolderOrNothing(
    [](std::string& path) -> std::string {
        struct stat st {};
        if (path.empty() || ::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return {};
        const char* kind = S_ISREG(st.st_mode) ? "a file" : S_ISFIFO(st.st_mode) ? "a FIFO" : "a special file";
        return path + " is " + kind + ", not a folder";
    },
    "", "folder");

void addCommonOptions(CLI::App* c, CommonOptions& o) {
    c->add_option("--voice-dir", o.voiceDir, "the voice folder, instead of KANTOR_VOICE_DIR or the default")
        ->type_name("DIR")
        ->check(kFolderOrNothing)
        ->group("Folders");
    c->add_option("--config-dir", o.configDir,
                  "the folder of the settings file Kantor.ini, instead of KANTOR_CONFIG_DIR or the default")
        ->type_name("DIR")
        ->check(kFolderOrNothing)
        ->group("Folders");
    c->add_option("--data-dir", o.dataDir, "the data folder, instead of KANTOR_DATA_DIR or the default")
        ->type_name("DIR")
        ->group("Folders");
}

// How the commands that sing change the pitch: "keep" or "resample" (the parser refuses
// anything else, a usage error).
void addFormantsOption(CLI::App* c, CommonOptions& o) {
    c->add_option("--formants", o.formants,
                  "how the vocal reaches the notes' pitch: 'keep' keeps the formants (pitch-synchronous "
                  "overlap-add), 'resample' reads the samples faster or slower, the formants moving with the "
                  "pitch (default: the choice kept in render.conf beside the settings file, else resample)")
        ->type_name("keep|resample")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                bool keep = false;
                return RenderChoice::parseFormantsWord(text, keep) ? std::string() : text + " is not keep or resample";
            },
            ""));
    c->add_option("--expression", o.expression,
                  "'auto' gives notes without expression settings of their own a vibrato on notes of 400 ms "
                  "or longer, glides between touching notes and a slight attack; 'off' sings them as written "
                  "(default: the choice kept in render.conf, else off)")
        ->type_name("auto|off")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                bool on = false;
                return RenderChoice::parseExpressionWord(text, on) ? std::string() : text + " is not auto or off";
            },
            ""));
}

// Everything the parser fills in, and the commands it was filled for.
struct CommandLine {
    CLI::App app{"kantor-cli: the command-line tools of Kantor, a singing-voice synthesizer for Japanese lyrics",
                 kProgram};
    InfoArgs info;
    PosArgs pos;
    PlayArgs play;
    RenderArgs render, phrase;
    NewArgs newSong;
    ExportArgs exportArgs;
    ImportArgs importArgs;
    std::vector<std::string> vox, lyrics;
    VoiceArgs voice;
    std::string voiceId, voiceFile;  // the operands of the voice commands

    CLI::App *infoCmd, *posCmd, *playCmd, *renderCmd, *phraseCmd, *newCmd, *exportCmd, *importCmd, *voiceCmd,
        *effectCmd, *lyricCmd, *waveCmd, *noteCmd, *languageCmd;
    // --lang: taken off the command line before parsing (it may stand anywhere); listed
    // here for the help.
    std::string lang;
    LanguageArgs language;
    NoteArgs noteArgs;
    EffectArgs effect;
    SongListArgs lyricArgs, waveArgs;
    CLI::Option *lyricAt = nullptr, *waveAt = nullptr;
    CLI::Option *voxOpt, *lyricsOpt, *playFrom, *playTo, *renderQuality, *phraseQuality;

    CommandLine() {
        app.formatter(std::make_shared<HelpFormatter>());
        app.set_version_flag("--version", [] { return versionText(); },
                             "print the version and the sound libraries, and exit");
        app.set_help_flag("-h,--help", "print this help and exit");
        app.set_help_all_flag("--help-all", "print the help of every command and exit");
        app.add_option("--lang", lang,
                       "the language of the messages: 'en' English, 'ja' Japanese (default: the choice kept in "
                       "language.conf beside the settings file, else Japanese); may stand anywhere on the line")
            ->type_name("en|ja");
        app.require_subcommand(1);
        app.footer(
            "Run 'kantor-cli COMMAND --help' for the options of a command.\n"
            "Errors go to standard error with exit status 1; usage errors exit with status 2.\n"
            "The song commands use the folders and settings of the desktop program; the\n"
            "environment variables KANTOR_DATA_DIR, KANTOR_CONFIG_DIR, KANTOR_VOICE_DIR,\n"
            "KANTOR_DOCUMENTS_DIR and KANTOR_SAMPLE_DIR replace them.\n"
            "\n"
            "The demo song: the first start puts DEMOS20.uta and its DEMOS20.mid into the\n"
            "sample folder, '<documents>/Ardlow Software/Kantor/sample/' (<documents>:\n"
            "XDG_DOCUMENTS_DIR, else ~/Documents, else ~). The originals are in\n"
            "share/kantor/sample/ of the install (/usr/share/kantor/sample/ from the\n"
            "package). Try:\n"
            "  cd ~/Documents/'Ardlow Software'/Kantor/sample\n"
            "  kantor-cli info DEMOS20.uta\n"
            "  kantor-cli render DEMOS20.uta -o demo.wav");
        defineInfo();
        definePos();
        definePlay();
        defineRender();
        definePhrase();
        defineNew();
        defineExport();
        defineImport();
        defineVoice();
        defineEffect();
        defineLyric();
        defineWave();
        defineNote();
        defineLanguage();
        for (CLI::App* c : app.get_subcommands({})) c->group("Commands");
    }

    void defineInfo() {
        infoCmd = command(app, "info", "summary of a MIDI, song, voice or WAV file",
                          "Print a summary of a MIDI file (.mid), song (.uta), voice file (.vxb) or WAV file (.wav), "
                          "chosen by the file's extension.",
                          "kantor-cli info --json song.uta");
        infoCmd->add_option("FILE", info.path, "the file")->required();
        infoCmd->add_flag("--json", info.json, "print one JSON object instead of text");
    }

    void definePos() {
        posCmd = command(app, "pos", "position texts and milliseconds of MIDI ticks",
                         "Print the position text (measure : beat : tick) and the milliseconds from tick 0 of "
                         "ticks of a MIDI file.",
                         "kantor-cli pos song.mid 0 1920");
        posCmd->add_option("FILE.mid", pos.path, "the MIDI file")->required();
        posCmd->add_option("TICK", pos.ticks, "ticks")->required()->check(tick());
    }

    void definePlay() {
        playCmd = command(app, "play", "play a song or a MIDI file in real time",
                          "Play a song (its MIDI file and the sung vocal) or a MIDI file in real time, showing the "
                          "position and the current lyric line. Ctrl-C stops and shows the position reached.",
                          "kantor-cli play song.uta --from 1920");
        playCmd->add_option("FILE", play.path, "the song (.uta) or MIDI file (.mid)")->required();
        playFrom = playCmd->add_option("--from", play.from, "start at this tick")->type_name("TICK")->check(tick());
        playTo = playCmd->add_option("--to", play.to, "stop at this tick")->type_name("TICK")->check(tick());
        playCmd->add_flag("--loop", play.loop, "repeat the whole song from the top")
            ->excludes(playFrom)
            ->excludes(playTo);
        playCmd->add_option("--port", play.port,
                            "send the MIDI to this ALSA sequencer port instead of the embedded synthesizer "
                            "('aconnect -l' lists them)")
            ->type_name("CLIENT:PORT");
        playCmd->add_flag("-q,--quiet", play.quiet, "show no position");
        addFormantsOption(playCmd, play.common);
        addSwitchOptions(playCmd, play.switches);
        addCommonOptions(playCmd, play.common);
    }

    // The mute and solo switches of this run, in place of the song's stored ones.
    void addSwitchOptions(CLI::App* c, ChannelSwitches& w) {
        const char* group = "Mute and solo (any of them replaces the song's stored switches)";
        const std::pair<const char*, std::vector<uint32_t>*> options[] = {
            {"--midi-mute", &w.midiMute}, {"--vox-mute", &w.voxMute}, {"--midi-solo", &w.midiSolo}, {"--vox-solo", &w.voxSolo}};
        const char* what[] = {"silence the MIDI notes of channel C", "leave the vocal of channel C out",
                              "sound only the MIDI notes of the soloed channels (every vocal without its own "
                              "--vox-solo falls silent too)",
                              "sing only the vocal of the soloed channels (every MIDI channel without its own "
                              "--midi-solo falls silent too)"};
        for (std::size_t i = 0; i < 4; ++i) {
            c->add_option(options[i].first, *options[i].second, what[i])
                ->type_name("C")
                ->allow_extra_args(false)
                ->delimiter(',')
                ->check(channel())
                ->group(group);
        }
    }

    void addRenderOptions(CLI::App* c, RenderArgs& r) {
        c->add_option("SONG.uta", r.input, "the song file")->required();
        c->add_option("-o,--output", r.output, "the WAV file to write")->type_name("OUT.wav")->required();
    }

    void defineRender() {
        renderCmd = command(app, "render", "sing a song into a WAV file, or mix it with --mix",
                            "Sing the vocal of a song (its sung channels that are not muted) into a WAV file that "
                            "starts with the first sung sound, and print the wave's facts. With --mix, mix the MIDI "
                            "(embedded synthesizer), the vocal and the inserted waves into a stereo 16-bit 44100 Hz "
                            "WAV file.",
                            "kantor-cli render song.uta -o song.wav");
        addRenderOptions(renderCmd, render);
        renderCmd->add_flag("--mix", render.mix, "mix MIDI, vocal and inserted waves");
        renderCmd->add_option("--from", render.from, "only the notes starting at or after this tick")
            ->type_name("TICK")
            ->check(tick());
        renderCmd->add_option("--to", render.to, "only the notes starting before this tick")
            ->type_name("TICK")
            ->check(tick());
        renderQuality = renderCmd
                            ->add_option("--quality", render.quality,
                                         "the sample format code: 8 for 44100 Hz, 4 for 22050 Hz, 0 for 11025 Hz "
                                         "(default: the settings file's)")
                            ->type_name("CODE")
                            ->check(number(0, 11, "a sample format code (0 to 11)"));
        renderCmd->add_flag("-q,--quiet", render.quiet, "draw no progress");
        renderCmd->add_option("--jobs", render.jobs,
                              "phrases rendered at once, on as many worker threads (default: the machine's cores); "
                              "the file is the same for any number")
            ->type_name("N")
            ->check(number(1, 64, "a number of workers (1 to 64)"));
        addFormantsOption(renderCmd, render.common);
        addSwitchOptions(renderCmd, render.switches);
        addCommonOptions(renderCmd, render.common);
    }

    void definePhrase() {
        phraseCmd = command(app, "phrase", "sing the phrase of a note into a WAV file",
                            "Sing the phrase that a note belongs to, up to the next beat after its last note, into "
                            "a WAV file, and print the wave's facts.",
                            "kantor-cli phrase song.uta --channel 1 --note 5 -o phrase.wav");
        addRenderOptions(phraseCmd, phrase);
        phraseCmd->add_option("--channel", phrase.channel, "the channel of the note")
            ->type_name("C")
            ->required()
            ->check(channel());
        phraseCmd->add_option("--note", phrase.note, "the note, counted from 1 in the channel")
            ->type_name("N")
            ->required()
            ->check(number(1, 0xFFFFFFFF, "a note number (counted from 1)"));
        phraseQuality = phraseCmd
                            ->add_option("--quality", phrase.quality,
                                         "the sample format code (default: the settings file's)")
                            ->type_name("CODE")
                            ->check(number(0, 11, "a sample format code (0 to 11)"));
        addFormantsOption(phraseCmd, phrase.common);
        addCommonOptions(phraseCmd, phrase.common);
    }

    void defineNew() {
        newCmd = command(app, "new", "make a song: MIDI channels sing lyrics files",
                         "Make a song from a MIDI file: the channel of each --vox becomes a vocal track and sings "
                         "the lyrics of the --lyrics file that follows it. The song is written beside its MIDI "
                         "file (the MIDI file is copied there when -o names another folder). With --empty the "
                         "song starts from nothing: an empty MIDI file of --measures measures is written beside "
                         "it, for notes written with 'note add'.",
                         "kantor-cli new a.mid -o a.uta --vox 1 --lyrics a.txt --voice MaleVox\n"
                         "kantor-cli new b.kar -o b.uta --vox 2 --lyrics-from-midi\n"
                         "kantor-cli new --empty --tempo 120 --time 3/4 --measures 16 -o melody.uta");
        newCmd->add_option("MIDI.mid", newSong.midiPath, "the MIDI or karaoke file (.mid, .kar)");
        newCmd->add_option("-o,--output", newSong.output, "the song file to write")->type_name("SONG.uta")->required();
        voxOpt = newCmd->add_option("--vox", vox, "a channel to sing, followed by its --lyrics")
                     ->type_name("C")
                     ->allow_extra_args(false)
                     ->check(channel());
        lyricsOpt = newCmd->add_option("--lyrics", lyrics, "the lyrics of the channel before: UTF-8 text, one phrase "
                                                           "a line, notes separated by blanks; words are split into "
                                                           "syllables, one a note")
                        ->type_name("FILE")
                        ->allow_extra_args(false);
        newCmd->add_flag("--lyrics-from-midi", newSong.lyricsFromMidi,
                         "a --vox without --lyrics sings the lyric events of the MIDI or karaoke file");
        newCmd->add_option("--verse", newSong.verse,
                           "with --lyrics-from-midi: the verse to sing, the n-th track with lyrics")
            ->type_name("N")
            ->check(CLI::Range(1, 256));
        newCmd->add_option("--lyrics-track", newSong.lyricsTrack,
                           "with --lyrics-from-midi: the track of the MIDI file whose lyrics are sung")
            ->type_name("N")
            ->check(CLI::Range(1, 256));
        newCmd->add_option("--voice", newSong.voiceName, "the voice that sings the song")->type_name("NAME");
        newCmd->add_flag("--force", newSong.force, "replace an existing song file");
        newCmd->add_flag("--empty", newSong.empty,
                         "no MIDI file: write an empty one beside the song (its name with .mid), channel 1 set up "
                         "to sing, for notes written with 'note add'");
        newCmd->add_option("--tempo", newSong.tempo, "with --empty: quarter notes a minute (20-400)")
            ->type_name("BPM");
        newCmd->add_option("--time", newSong.time, "with --empty: the time signature")->type_name("N/D");
        newCmd->add_option("--measures", newSong.measures, "with --empty: the length in measures (1-9999)")
            ->type_name("N");
        addCommonOptions(newCmd, newSong.common);
    }

    void defineExport() {
        exportCmd = command(app, "export", "write a song's MIDI file with its lyrics",
                            "Write the MIDI file of a song with every sung note's syllables as a lyric event, in "
                            "hiragana, so that other programs show and sing the lyrics. Each Vox channel's lyrics "
                            "are a track of their own; a phrase begins a line (\"/\").",
                            "kantor-cli export a.uta -o a-lyrics.mid");
        exportCmd->add_option("SONG.uta", exportArgs.song, "the song")->required();
        exportCmd->add_option("-o,--output", exportArgs.output, "the MIDI file to write")
            ->type_name("OUT.mid")
            ->required();
        exportCmd->add_flag("--cp932", exportArgs.cp932, "write the lyrics in cp932 (Shift-JIS) rather than UTF-8");
        addCommonOptions(exportCmd, exportArgs.common);
    }

    void defineImport() {
        importCmd = command(app, "import", "make a song from a MusicXML score",
                            "Make a song from a MusicXML score (.musicxml, .xml or compressed .mxl): a MIDI file of "
                            "the score (format 1, named after the song) is written beside the song, and the part "
                            "with the lyrics sings them. Repeats, endings, D.C., D.S., To Coda and Fine are "
                            "followed, tied notes joined, the top note of a chord sings, and a note without a "
                            "lyric after a sung note sings its vowel. A score without lyrics comes in as notes "
                            "without syllables. Nothing is written when the score cannot be read, and an existing "
                            "song or MIDI file of that name is replaced only with --force.",
                            "kantor-cli import score.musicxml -o song.uta --part 1 --voice MaleVox");
        importCmd->add_option("SCORE", importArgs.score,
                              "the score (.musicxml, .xml, .mxl), or a singing editor's project (.ust, .ustx: every "
                              "track sings, or the one --part names; tempos are kept, lyrics reduced to syllables)")
            ->required();
        importCmd->add_option("-o,--output", importArgs.output, "the song file to write")
            ->type_name("SONG.uta")
            ->required();
        importCmd->add_option("--part", importArgs.part, "the part that sings, counted from 1 (default: the first "
                                                         "part with lyrics)")
            ->type_name("N")
            ->check(CLI::Range(1, 64));
        importCmd->add_option("--verse", importArgs.verse, "the verse that is sung: the lyric number of a MusicXML "
                                                           "score, counted from 1 (default: the part's first)")
            ->type_name("N")
            ->check(CLI::Range(1, 99));
        importCmd->add_flag("--no-repeats", importArgs.noRepeats,
                            "import the score as written, once through: no repeats, endings or jumps followed");
        importCmd->add_option("--voice", importArgs.voiceName, "the voice that sings the song")->type_name("NAME");
        importCmd->add_flag("--force", importArgs.force, "replace an existing song and its MIDI file");
        addCommonOptions(importCmd, importArgs.common);
    }

    CLI::App* voiceCommand(const std::string& name, const std::string& summary, const std::string& description,
                           const std::string& example) {
        CLI::App* c = command(*voiceCmd, name, summary, description, example);
        // --voice-dir may also follow the voice command's own arguments.
        c->fallthrough();
        c->group("Commands");
        return c;
    }

    void defineVoice() {
        voiceCmd = command(app, "voice", "the voice folder and voice data projects",
                           "Work on the voice folder: list, show, import, export and delete voices, place the "
                           "markers of a voice data project and build it into a voice.",
                           "kantor-cli voice list");
        voiceCmd->require_subcommand(1);
        voiceCmd->add_option("--voice-dir", voice.voiceDir, "the voice folder, instead of KANTOR_VOICE_DIR or the default")
            ->type_name("DIR")
            ->check(kFolderOrNothing);
        // Earlier versions took these anywhere on the line; they stay accepted before the command.
        voiceCmd->add_flag("--json", voice.json)->group("");
        voiceCmd->add_flag("--force", voice.force)->group("");
        voiceCmd->add_flag("--keep", voice.keep)->group("");
        voiceCmd->add_option("--replace", voice.replace)->group("");
        voiceCommand("list", "list the voices",
                     "List the voices of the voice folder: identifier, voice name and description, one a line; the "
                     "built-in voices are marked.",
                     "kantor-cli voice list");
        CLI::App* c = voiceCommand("info", "show a voice", "Print a voice of the voice folder as 'kantor-cli info FILE.vxb' does.",
                                   "kantor-cli voice info MaleVox");
        c->add_option("ID", voiceId, "the voice identifier")->required();
        c->add_flag("--json", voice.json, "print one JSON object instead of text");
        c = voiceCommand("import", "copy a voice file into the folder", "Copy a voice file into the voice folder under a new identifier, and print it.",
                         "kantor-cli voice import alto.vxb");
        c->add_option("FILE.vxb", voiceFile, "the voice file")->required();
        c = voiceCommand("export", "copy a voice out of the folder",
                         "Copy a voice out of the voice folder. The built-in voices cannot be exported.",
                         "kantor-cli voice export vxb3 alto.vxb --force");
        c->add_option("ID", voiceId, "the voice identifier")->required();
        c->add_option("FILE.vxb", voiceFile, "the voice file to write")->required();
        c->add_flag("--force", voice.force, "replace an existing file");
        c = voiceCommand("delete", "remove a voice", "Remove a voice from the voice folder. The built-in voices cannot be deleted.",
                         "kantor-cli voice delete vxb3");
        c->add_option("ID", voiceId, "the voice identifier")->required();
        c = voiceCommand("build", "build a voice data project into a voice",
                         "Build a voice data project into a voice file of the voice folder under a new identifier "
                         "(or the one --replace names), and print the identifier.",
                         "kantor-cli voice build alto.vxbprj --replace vxb3");
        c->add_option("PROJECT.vxbprj", voiceFile, "the voice data project")->required();
        c->add_option("--replace", voice.replace, "replace this voice")->type_name("ID");
        c = voiceCommand("automark", "place the markers of a voice data project",
                         "Place the markers of every item of a voice data project that has sound, and save the "
                         "project. Items without a usable vowel are listed on standard error (exit status 1).",
                         "kantor-cli voice automark alto.vxbprj --keep");
        c->add_option("PROJECT.vxbprj", voiceFile, "the voice data project")->required();
        c->add_flag("--keep", voice.keep, "leave the items that already have markers alone");
        c = voiceCommand("import-bank", "import a voice bank folder in the oto.ini form",
                         "Read a voice bank folder in the widely shared oto.ini form (an oto.ini in every folder, "
                         "WAV files, prefix.map, character.txt, readme.txt) and build a voice in the voice folder, "
                         "or with --project a voice data project for hand work in the voice data maker. Prints "
                         "what was made and every line that was skipped, with its file and line number. The bank "
                         "folder is only read.",
                         "kantor-cli voice import-bank ~/banks/alto --name Alto");
        c->add_option("FOLDER", voiceFile, "the bank folder")->required();
        c->add_option("--name", voice.name, "the voice name (default: character.txt, else the folder's name)")
            ->type_name("NAME");
        c->add_option("--project", voice.project, "write a voice data project instead of a voice")
            ->type_name("OUT.vxbprj");
        c->add_flag("--force", voice.force, "with --project, replace an existing project file and its readme");
    }

    void defineEffect() {
        effectCmd = command(app, "effect", "the registered effect plug-ins and a song's effects",
                            "Register effect plug-ins (description files .ncp) and choose the effects that the "
                            "song, a channel or a phrase uses. Plug-ins are numbered as songs refer to them; "
                            "removing one leaves its number free, so songs keep their effects.",
                            "kantor-cli effect add /usr/lib/kantor/effects/echo/echo.ncp");
        effectCmd->require_subcommand(1);
        effectCmd->fallthrough();  // the folder options may follow the subcommand
        addCommonOptions(effectCmd, effect.common);
        auto sub = [&](const std::string& name, const std::string& summary, const std::string& description,
                       const std::string& example) {
            CLI::App* c = command(*effectCmd, name, summary, description, example);
            c->callback([this, name] { effect.command = name; });
            return c;
        };
        sub("list", "list the registered plug-ins", "List the registered plug-ins with their numbers and effects.",
            "kantor-cli effect list");
        sub("add", "register a description file", "Register a plug-in description file (.ncp).",
            "kantor-cli effect add echo.ncp")
            ->add_option("FILE.ncp", effect.file, "the description file")
            ->required();
        sub("remove", "remove a plug-in", "Remove plug-in N; the plug-ins after it keep their numbers.",
            "kantor-cli effect remove 2")
            ->add_option("N", effect.which, "the plug-in number")
            ->required();
        CLI::App* set = sub("set", "set the effects of a song, channel or phrase",
                            "Set the effects of the song defaults, of a channel's defaults (--channel) or of the "
                            "phrase that note N of the channel begins (--note): up to three PLUGIN:EFFECT pairs; "
                            "none clears them. The song is saved.",
                            "kantor-cli effect set song.uta --channel 1 1:2");
        set->add_option("SONG.uta", effect.file, "the song")->required();
        set->add_option("--channel", effect.channel, "the channel (1 to 16)")->check(channel());
        set->add_option("--note", effect.note, "the note that begins the phrase, counted from 1")
            ->check(number(1, 0xFFFFFFFF, "a note number (from 1)"));
        set->add_option("EFFECT", effect.references, "PLUGIN:EFFECT, at most three");
    }

    // A song list command: its song, and --at for the commands that change it.
    CLI::App* songListCommand(CLI::App* parent, SongListArgs& args, const std::string& name,
                              const std::string& summary, const std::string& description, const std::string& example) {
        CLI::App* c = command(*parent, name, summary, description, example);
        c->callback([&args, name] { args.command = name; });
        c->add_option("SONG.uta", args.song, "the song file")->required();
        return c;
    }

    void defineLyric() {
        lyricCmd = command(app, "lyric", "the lyric lines of a song",
                           "List, add and remove the lyric lines of a song: free text at song positions, shown on "
                           "the main panel while the song plays. The song is saved when it changes.",
                           "kantor-cli lyric add song.uta --at 1920 'はるのうららの'");
        lyricCmd->require_subcommand(1);
        lyricCmd->fallthrough();
        addCommonOptions(lyricCmd, lyricArgs.common);
        songListCommand(lyricCmd, lyricArgs, "list", "list the lines",
                        "Print each lyric line: its position, its tick and its text.", "kantor-cli lyric list song.uta");
        CLI::App* add = songListCommand(
            lyricCmd, lyricArgs, "add", "add a line at a tick",
            "Add a lyric line at a tick, rounded to the grid of the lyric window (a quarter note, an eighth when "
            "a measure counts eighths). Trailing blanks are removed; a line holds 63 bytes in the song file.",
            "kantor-cli lyric add song.uta --at 1920 'はるのうららの'");
        lyricAt = add->add_option("--at", lyricArgs.at, "the tick")->type_name("TICK")->required()->check(tick());
        add->add_option("TEXT", lyricArgs.text, "the line")->required();
        add->add_flag("--replace", lyricArgs.replace, "replace a line already at that position");
        CLI::App* rm = songListCommand(lyricCmd, lyricArgs, "remove", "remove the line at a tick",
                                       "Remove the lyric line at a tick.", "kantor-cli lyric remove song.uta --at 1920");
        rm->add_option("--at", lyricArgs.at, "the tick of the line")->type_name("TICK")->required()->check(tick());
    }

    void defineNote() {
        noteCmd = command(app, "note", "write a channel's notes and their expression",
                          "Write notes (add, move, resize, split, join, delete: the MIDI file and the song change "
                          "together, every syllable staying on its note). Show and set how notes are sung: vibrato, pitch smoothing (a glide from the previous "
                          "touching note), falsetto, time, pitch, power and attack per note, power and consonant "
                          "speed per syllable. A value not set uses the channel's default, else the song's. "
                          "The song is saved when it changes.",
                          "kantor-cli note set song.uta --channel 1 --note 3-5 --vibrato 50:5.5:300 --smoothing 80");
        noteCmd->require_subcommand(1);
        noteCmd->fallthrough();
        addCommonOptions(noteCmd, noteArgs.common);
        auto sub = [&](const std::string& name, const std::string& summary, const std::string& description,
                       const std::string& example) {
            CLI::App* c = command(*noteCmd, name, summary, description, example);
            c->callback([this, name] { noteArgs.command = name; });
            c->add_option("SONG.uta", noteArgs.song, "the song file")->required();
            c->add_option("--channel", noteArgs.channel, "the channel (1 to 16)")->required()->check(channel());
            return c;
        };
        CLI::App* show = sub("show", "show the notes' expression",
                             "Print each note of the channel with its expression values: its own, or '-' where it "
                             "uses the default; then the channel's and the song's defaults.",
                             "kantor-cli note show song.uta --channel 1 --json");
        show->add_flag("--json", noteArgs.json, "one JSON object");
        CLI::App* set = sub("set", "set the expression of notes",
                            "Set expression values of notes N to M (counted from 1), or of the channel's defaults "
                            "(--defaults). --default NAME returns a value to the default: vibrato, smoothing, "
                            "falsetto, time, pitch, power, attack, syllable-power, consonant-speed, or all.",
                            "kantor-cli note set song.uta --channel 1 --note 2 --power 2.000 --attack 0.30");
        set->add_option("--note", noteArgs.notes, "N or N-M, counted from 1")->type_name("N[-M]");
        set->add_flag("--defaults", noteArgs.channelDefaults, "set the channel's defaults instead of notes");
        set->add_option("--vibrato", noteArgs.vibrato, "depth in cents (0-200), rate in Hz (0-15), delay in ms, "
                                                         "optional fade-in in ms")
            ->type_name("DEPTH:RATE:DELAY_MS[:FADE_MS]");
        set->add_option("--smoothing", noteArgs.smoothing, "glide from the previous touching note, 0-1000 ms")
            ->type_name("MS");
        set->add_option("--falsetto", noteArgs.falsetto, "falsetto")->type_name("on|off");
        set->add_option("--time", noteArgs.time, "move the sung onset, -1000 to 1000 ms")->type_name("MS");
        set->add_option("--pitch", noteArgs.pitch, "detune, -1200 to 1200 cents")->type_name("CENTS");
        set->add_option("--power", noteArgs.power, "level ratio 0.001-10.000")->type_name("X.XXX");
        set->add_option("--attack", noteArgs.attack, "time to reach -3 dB, 0.00-1.00 s")->type_name("S.SS");
        set->add_option("--syllable-power", noteArgs.syllablePower, "level ratio of every sung syllable, 0.001-10.000")
            ->type_name("X.XXX");
        set->add_option("--consonant-speed", noteArgs.consonantSpeed,
                        "speed of the part before marker B, 25-400 % (200 = half as long)")
            ->type_name("PERCENT");
        set->add_option("--default", noteArgs.toDefault, "values to return to the default")->type_name("NAME");
        defineNoteWrite(sub);
    }

    // The subcommands that write notes: the MIDI file and the song change together.
    template <typename Sub>
    void defineNoteWrite(Sub& sub) {
        auto one = [&](CLI::App* c) {
            c->add_option("--note", noteArgs.notes, "the note, counted from 1")->type_name("N")->required();
        };
        CLI::App* add = sub("add", "write a new note",
                            "Write a new note into the channel's MIDI notes, with a Vox event of its own (no "
                            "syllable, or --syllable). A note it overlaps is shortened to end where the later one "
                            "begins; two notes may not start on one tick. The MIDI file and the song are saved.",
                            "kantor-cli note add song.uta --channel 1 --tick 1920 --length 480 --key 72 --syllable SA");
        add->add_option("--tick", noteArgs.tick, "where the note starts")->type_name("TICK")->required();
        add->add_option("--length", noteArgs.length, "its length in ticks")->type_name("TICKS")->required();
        add->add_option("--key", noteArgs.key, "its key number, 0 to 127 (72 = C4)")->type_name("K")->required();
        add->add_option("--syllable", noteArgs.syllable, "the syllable it sings, a code of the syllable table")
            ->type_name("SA");
        CLI::App* move = sub("move", "move a note in time or key",
                             "Move a note by a number of ticks (either way), to a key or by semitones. It keeps its "
                             "syllables and settings.",
                             "kantor-cli note move song.uta --channel 1 --note 5 --by=-240 --transpose 2");
        one(move);
        move->add_option("--by", noteArgs.by, "ticks to move, negative for earlier")->type_name("TICKS");
        move->add_option("--key", noteArgs.key, "the new key number, 0 to 127")->type_name("K");
        move->add_option("--transpose", noteArgs.transpose, "semitones up, negative for down")->type_name("S");
        CLI::App* resize = sub("resize", "give a note a new length",
                               "Give a note a new length in ticks; its start stays.",
                               "kantor-cli note resize song.uta --channel 1 --note 5 --length 960");
        one(resize);
        resize->add_option("--length", noteArgs.length, "the new length in ticks")->type_name("TICKS")->required();
        CLI::App* split = sub("split", "split a note in two",
                              "Split a note at a tick inside it. The second half sings the vowel of the first "
                              "half's syllable (ー).",
                              "kantor-cli note split song.uta --channel 1 --note 5 --at 2160");
        one(split);
        split->add_option("--at", noteArgs.at, "the tick where the second half starts")->type_name("TICK")->required();
        CLI::App* join = sub("join", "join a note with the next",
                             "Join a note with the next one: it lasts to the end of the next and keeps its own "
                             "syllables.",
                             "kantor-cli note join song.uta --channel 1 --note 5");
        one(join);
        CLI::App* del = sub("delete", "delete notes",
                            "Delete notes N to M with their Vox events. A deleted phrase head hands its phrase on "
                            "to the next note of its group.",
                            "kantor-cli note delete song.uta --channel 1 --note 5-7");
        del->add_option("--note", noteArgs.notes, "N or N-M, counted from 1")->type_name("N[-M]")->required();
    }

    void defineWave() {
        waveCmd = command(app, "wave", "the wave files inserted in a song",
                          "List, insert and remove the wave files a song plays at song positions. An inserted file "
                          "lies in the MIDI file's folder, has 11025, 22050 or 44100 Hz and the bits of the output "
                          "format (the settings' sound quality). The song is saved when it changes.",
                          "kantor-cli wave insert song.uta clap.wav --at 3840");
        waveCmd->require_subcommand(1);
        waveCmd->fallthrough();
        addCommonOptions(waveCmd, waveArgs.common);
        songListCommand(waveCmd, waveArgs, "list", "list the inserted files",
                        "Print each inserted file: its position, its tick and its name; what is wrong with a file "
                        "goes to standard error.",
                        "kantor-cli wave list song.uta");
        CLI::App* ins = songListCommand(waveCmd, waveArgs, "insert", "insert a WAV file at a tick",
                                        "Insert a WAV file at a tick (at most the start of the last measure).",
                                        "kantor-cli wave insert song.uta clap.wav --at 3840 --copy");
        ins->add_option("FILE.wav", waveArgs.file, "the WAV file")->required();
        waveAt = ins->add_option("--at", waveArgs.at, "the tick")->type_name("TICK")->required()->check(tick());
        ins->add_flag("--copy", waveArgs.copy, "copy a file from another folder beside the MIDI file");
        ins->add_flag("--force", waveArgs.force, "with --copy, replace a file of that name beside the MIDI file");
        ins->add_flag("--replace", waveArgs.replace, "replace an entry already at that tick");
        CLI::App* rm = songListCommand(waveCmd, waveArgs, "remove", "remove the entry at a tick",
                                       "Remove the inserted file at a tick (the file itself stays).",
                                       "kantor-cli wave remove song.uta --at 3840");
        rm->add_option("--at", waveArgs.at, "the tick of the entry")->type_name("TICK")->required()->check(tick());
    }

    void defineLanguage() {
        languageCmd = command(app, "language", "show or choose the language of the messages",
                              "Print the language chosen for the messages of kantor-cli and the desktop program "
                              "('en' or 'ja'), or choose it: the choice is kept in language.conf beside the "
                              "settings file. Japanese is the default in every locale.",
                              "kantor-cli language en");
        languageCmd->add_option("LANG", language.word, "en or ja (none: print the choice)")
            ->check(CLI::Validator(
                [](std::string& text) -> std::string {
                    Language l = Language::Japanese;
                    return parseLanguage(text, l) ? std::string() : text + " is not en or ja";
                },
                ""));
        languageCmd->add_option("--config-dir", language.configDir,
                                "the folder of the settings file Kantor.ini, instead of KANTOR_CONFIG_DIR or the "
                                "default")
            ->type_name("DIR")
            ->check(kFolderOrNothing)
            ->group("Folders");
    }

    // The folder of the settings file the parsed command was given ("" = the environment's).
    std::string configDir() const {
        for (const std::string* d : {&play.common.configDir, &render.common.configDir, &phrase.common.configDir,
                                     &newSong.common.configDir, &exportArgs.common.configDir,
                                     &importArgs.common.configDir, &effect.common.configDir,
                                     &lyricArgs.common.configDir, &waveArgs.common.configDir,
                                     &noteArgs.common.configDir, &language.configDir})
            if (!d->empty()) return *d;
        return {};
    }

    // The help of every command after the program's own, for the manual page.
    // Each command's help is a section headed by its name, indented below it.
    std::string helpAll() const {
        std::string text = app.help();
        auto section = [&](const CLI::App* c, const std::string& prefix) {
            std::string help = c->help(prefix);
            text += "\n" + prefix + " " + c->get_name() + ":\n";
            for (std::size_t at = 0, end; at < help.size(); at = end + 1) {
                end = help.find('\n', at);
                if (end == std::string::npos) end = help.size();
                const std::string line = help.substr(at, end - at);
                // Group labels ("Options:") would each become a heading of their own.
                if (!line.empty() && line[0] != ' ' && line.back() == ':' && line != "Example:") continue;
                if (!line.empty()) text += "  " + line;
                text += "\n";
            }
        };
        for (const CLI::App* c : app.get_subcommands({})) {
            section(c, kProgram);
            for (const CLI::App* s : c->get_subcommands({})) section(s, std::string(kProgram) + " " + c->get_name());
        }
        return text;
    }

    // The innermost command that was being parsed: "render", "voice export", or "" for none.
    std::string commandPath() const {
        std::string path;
        const CLI::App* at = &app;
        for (;;) {
            std::vector<const CLI::App*> subs = at->get_subcommands([](const CLI::App*) { return true; });
            const CLI::App* parsed = nullptr;
            for (const CLI::App* s : subs)
                if (s->parsed()) parsed = s;
            if (!parsed) break;
            path += (path.empty() ? "" : " ") + parsed->get_name();
            at = parsed;
        }
        return path;
    }

    // --vox and --lyrics pair up in the order given. False with a message when they do not.
    bool pairLyrics(std::ostream& err) {
        if ((newSong.verse > 0 || newSong.lyricsTrack > 0) && !newSong.lyricsFromMidi) {
            err << "new: --verse and --lyrics-track choose the lyrics of --lyrics-from-midi\n";
            return false;
        }
        if (newSong.verse > 0 && newSong.lyricsTrack > 0) {
            err << "new: give --verse or --lyrics-track, not both\n";
            return false;
        }
        std::size_t v = 0, l = 0;
        int pending = -1;
        for (const CLI::Option* o : newCmd->parse_order()) {
            if (o == voxOpt && v < vox.size()) {
                if (pending >= 0 && newSong.lyricsFromMidi) {
                    newSong.pairs.emplace_back(pending, std::string());
                } else if (pending >= 0) {
                    err << "new: --vox takes a channel 1 to 16, followed by its --lyrics\n";
                    return false;
                }
                pending = std::stoi(vox[v++]) - 1;
            } else if (o == lyricsOpt && l < lyrics.size()) {
                if (pending < 0) {
                    err << "new: --lyrics follows its --vox channel\n";
                    return false;
                }
                newSong.pairs.emplace_back(pending, lyrics[l++]);
                pending = -1;
            }
        }
        if (pending >= 0 && newSong.lyricsFromMidi) {
            newSong.pairs.emplace_back(pending, std::string());
        } else if (pending >= 0) {
            err << "new: --vox " << pending + 1 << " has no --lyrics\n";
            return false;
        }
        return true;
    }

    int dispatch(std::ostream& out, std::ostream& err) {
        if (infoCmd->parsed()) return cli::info(info, out, err);
        if (posCmd->parsed()) return cli::pos(pos, out, err);
        if (playCmd->parsed()) {
            play.haveRange = playFrom->count() > 0 || playTo->count() > 0;
            return cli::play(play, out, err);
        }
        if (renderCmd->parsed()) {
            render.haveQuality = renderQuality->count() > 0;
            return cli::render(render, out, err);
        }
        if (phraseCmd->parsed()) {
            phrase.haveQuality = phraseQuality->count() > 0;
            return cli::phrase(phrase, out, err);
        }
        if (newCmd->parsed()) {
            if (newSong.empty) {
                if (!newSong.midiPath.empty() || !vox.empty() || !lyrics.empty()) {
                    err << "new: --empty takes no MIDI file, --vox or --lyrics\n";
                    return 2;
                }
                return cli::newSong(newSong, out, err);
            }
            if (newSong.midiPath.empty() || vox.empty()) {
                err << "new: give the MIDI file and at least one --vox channel (or --empty)\n";
                return 2;
            }
            if (!pairLyrics(err)) return 2;
            return cli::newSong(newSong, out, err);
        }
        if (exportCmd->parsed()) return cli::exportMidi(exportArgs, out, err);
        if (importCmd->parsed()) return cli::importScore(importArgs, out, err);
        if (voiceCmd->parsed()) {
            for (const CLI::App* s : voiceCmd->get_subcommands())
                if (s->parsed()) voice.command = s->get_name();
            const std::string& c = voice.command;
            if (c == "info" || c == "delete" || c == "export") voice.operands.push_back(voiceId);
            if (c != "list" && c != "info" && c != "delete") voice.operands.push_back(voiceFile);
            return cli::voice(voice, out, err);
        }
        if (effectCmd->parsed()) return cli::effect(effect, out, err);
        if (lyricCmd->parsed()) return cli::lyric(lyricArgs, out, err);
        if (waveCmd->parsed()) return cli::wave(waveArgs, out, err);
        if (noteCmd->parsed()) return cli::note(noteArgs, out, err);
        if (languageCmd->parsed()) return cli::language(language, out, err);
        return 2;
    }
};

}  // namespace

std::string versionText() {
    return std::string(kProgram) + " " + kVersion + "\nSound libraries: " + soundLibraryVersions();
}

std::string languageFilePath(const std::string& configDir) {
    FolderOverrides overrides;
    overrides.configDir = configDir;
    return LanguageChoice::pathBeside(Folders::fromEnvironment(overrides).settingsFilePath());
}

int language(const LanguageArgs& a, std::ostream& out, std::ostream& err) {
    const std::string path = languageFilePath(a.configDir);
    if (a.word.empty()) {
        std::string problem;
        const LanguageChoice choice = LanguageChoice::load(path, &problem);
        if (!problem.empty()) {
            err << "language: " << problem << "\n";
            return 1;
        }
        out << languageWord(choice.language) << "\n";
        return 0;
    }
    LanguageChoice choice;
    if (!parseLanguage(a.word, choice.language)) {
        err << "language: " << a.word << " is not en or ja\n";
        return 2;
    }
    const size_t slash = path.find_last_of('/');
    std::string error;
    if ((slash != std::string::npos && !makeFolders(path.substr(0, slash), &error)) || !choice.save(path, &error)) {
        err << "language: cannot write " << path << ": " << error << "\n";
        return 1;
    }
    out << languageWord(choice.language) << "\n";
    return 0;
}

namespace {

int runLine(const Args& given, std::ostream& out, std::ostream& err) {
    CommandLine line;
    // --lang WORD or --lang=WORD anywhere before "--", for every command.
    Args args;
    std::string langWord;
    bool langGiven = false;
    for (std::size_t i = 0; i < given.size(); ++i) {
        const std::string& a = given[i];
        if (a == "--") {
            args.insert(args.end(), given.begin() + static_cast<std::ptrdiff_t>(i), given.end());
            break;
        }
        if (a == "--lang" || a.rfind("--lang=", 0) == 0) {
            if (a == "--lang" && i + 1 >= given.size()) {
                err << "kantor-cli: --lang needs en or ja\nRun 'kantor-cli --help' for its options.\n";
                return 2;
            }
            langWord = a == "--lang" ? given[++i] : a.substr(7);
            langGiven = true;
            continue;
        }
        args.push_back(a);
    }
    Language chosen = Language::Japanese;
    if (langGiven && !parseLanguage(langWord, chosen)) {
        err << "kantor-cli: --lang: " << langWord << " is not en or ja\nRun 'kantor-cli --help' for its options.\n";
        return 2;
    }
    // Until the command's folders are known, the messages of the parser are in English anyway.
    setLanguage(langGiven ? chosen : Language::Japanese);
    if (args.empty()) {
        err << line.app.help();
        return 2;
    }
    // An unknown command is named as such, rather than as an unexpected argument.
    auto known = [](const CLI::App& parent, const std::string& name) {
        for (const CLI::App* c : parent.get_subcommands({}))
            if (c->get_name() == name) return true;
        return false;
    };
    if (!args[0].empty() && args[0][0] != '-' && !known(line.app, args[0])) {
        err << "unknown command: " << args[0] << "\nRun 'kantor-cli --help' for the list of commands.\n";
        return 2;
    }
    if (args[0].size() > 1 && args[0][0] == '-' && !line.app.get_option_no_throw(args[0].substr(0, args[0].find('=')))) {
        err << "kantor-cli: unknown option " << args[0] << "\nRun 'kantor-cli --help' for its options.\n";
        return 2;
    }
    if (args[0] == "voice") {
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--voice-dir") ++i;
            else if (args[i].empty() || args[i][0] != '-') {
                if (known(*line.voiceCmd, args[i])) break;
                err << "voice: unknown command " << args[i] << "\nRun 'kantor-cli voice --help' for the list of commands.\n";
                return 2;
            }
        }
    }
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        line.app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << line.app.help();
        return 0;
    } catch (const CLI::CallForAllHelp&) {
        out << line.helpAll();
        return 0;
    } catch (const CLI::CallForVersion& e) {
        out << e.what() << "\n";
        return 0;
    } catch (const CLI::ParseError& e) {
        const std::string path = line.commandPath();
        err << (path.empty() ? kProgram : path) << ": " << e.what() << "\n"
            << "Run 'kantor-cli " << (path.empty() ? "" : path + " ") << "--help' for its options.\n";
        return 2;
    }
    // Without --lang, the choice kept beside the settings file of the command's folders.
    if (!langGiven) {
        std::string problem;
        chosen = LanguageChoice::load(languageFilePath(line.configDir()), &problem).language;
        // The run goes on in Japanese, but not silently.
        if (!problem.empty() && !line.languageCmd->parsed())
            err << "kantor-cli: " << problem << "; the messages are in Japanese\n";
    }
    setLanguage(chosen);
    return line.dispatch(out, err);
}

}  // namespace

int run(const Args& given, std::ostream& out, std::ostream& err) {
    // Every allocation that fails, in any command, ends the run with the program's message.
    try {
        return runLine(given, out, err);
    } catch (const std::bad_alloc&) {
        err << "kantor-cli: " << translated(text::kOutOfMemory) << "\n";
    } catch (const std::length_error&) {  // a size no container can take
        err << "kantor-cli: " << translated(text::kOutOfMemory) << "\n";
    }
    return 1;
}

}  // namespace kantor::cli

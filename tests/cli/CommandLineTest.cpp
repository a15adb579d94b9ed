// The command line itself: help, version, usage errors and the JSON form of the output.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "KantorVersion.h"
#include "midi/SmfWriter.h"
#include "support/CliRun.h"
#include "support/ScratchFolders.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"

namespace kantor {
namespace {

using test::runCli;

struct CommandHelp {
    cli::Args command;
    std::vector<std::string> options;  // what its help must name
};

const std::vector<CommandHelp>& everyCommand() {
    static const std::vector<CommandHelp> commands = {
        {{}, {"--help", "--version", "COMMAND", "info", "pos", "play", "render", "phrase", "new", "voice",
              "lyric", "wave"}},
        {{"info"}, {"FILE", "--json"}},
        {{"pos"}, {"FILE.mid", "TICK"}},
        {{"play"}, {"FILE", "--from TICK", "--to TICK", "--loop", "--port CLIENT:PORT", "--quiet", "--midi-solo C", "--vox-mute C", "--voice-dir DIR",
                    "--config-dir DIR", "--data-dir DIR"}},
        {{"render"}, {"SONG.uta", "-o,--output OUT.wav", "--mix", "--from TICK", "--to TICK", "--quality CODE",
                      "--quiet", "--midi-mute C", "--vox-mute C", "--midi-solo C", "--vox-solo C", "--voice-dir DIR",
                      "--config-dir DIR", "--data-dir DIR"}},
        {{"phrase"}, {"SONG.uta", "-o,--output OUT.wav", "--channel C", "--note N", "--quality CODE", "--voice-dir DIR"}},
        {{"new"}, {"MIDI.mid", "-o,--output SONG.uta", "--vox C", "--lyrics FILE", "--voice NAME", "--voice-dir DIR",
                   "--config-dir DIR", "--data-dir DIR"}},
        {{"voice"}, {"--voice-dir DIR", "list", "info", "import", "export", "delete", "build", "automark", "import-bank"}},
        {{"voice", "list"}, {}},
        {{"voice", "info"}, {"ID", "--json"}},
        {{"voice", "import"}, {"FILE.vxb"}},
        {{"voice", "export"}, {"ID", "FILE.vxb", "--force"}},
        {{"voice", "delete"}, {"ID"}},
        {{"voice", "build"}, {"PROJECT.vxbprj", "--replace ID"}},
        {{"voice", "automark"}, {"PROJECT.vxbprj", "--keep"}},
        {{"voice", "import-bank"}, {"FOLDER", "--name NAME", "--project OUT.vxbprj"}},
        {{"lyric"}, {"list", "add", "remove", "--config-dir DIR"}},
        {{"lyric", "list"}, {"SONG.uta"}},
        {{"lyric", "add"}, {"SONG.uta", "TEXT", "--at TICK", "--replace"}},
        {{"lyric", "remove"}, {"SONG.uta", "--at TICK"}},
        {{"wave"}, {"list", "insert", "remove", "--config-dir DIR"}},
        {{"wave", "list"}, {"SONG.uta"}},
        {{"wave", "insert"}, {"SONG.uta", "FILE.wav", "--at TICK", "--copy", "--force", "--replace"}},
        {{"wave", "remove"}, {"SONG.uta", "--at TICK"}},
    };
    return commands;
}

std::string joined(const cli::Args& a) {
    std::string s;
    for (const std::string& w : a) s += (s.empty() ? "" : " ") + w;
    return s;
}

TEST(CommandLine, EveryCommandHasHelpWithItsOptionsAndAnExample) {
    for (const CommandHelp& c : everyCommand()) {
        for (const char* flag : {"--help", "-h"}) {
            cli::Args args = c.command;
            args.push_back(flag);
            const auto r = runCli(args);
            const std::string name = joined(c.command);
            EXPECT_EQ(r.status, 0) << name << " " << flag;
            EXPECT_TRUE(r.err.empty()) << name << ": " << r.err;
            EXPECT_EQ(r.out.rfind("Usage: kantor-cli " + name, 0), 0u) << r.out;
            for (const std::string& o : c.options) EXPECT_NE(r.out.find(o), std::string::npos) << name << ": " << o;
            if (!c.command.empty()) {
                EXPECT_NE(r.out.find("Example:\n  kantor-cli " + name), std::string::npos) << r.out;
            }
            for (std::size_t at = 0, end; at < r.out.size(); at = end + 1) {
                end = r.out.find('\n', at);
                if (end == std::string::npos) end = r.out.size();
                EXPECT_LE(end - at, 80u) << name << ": " << r.out.substr(at, end - at);
            }
        }
    }
}

TEST(CommandLine, HelpAllHoldsEveryCommandsHelp) {
    const auto r = runCli({"--help-all"});
    ASSERT_EQ(r.status, 0);
    for (const CommandHelp& c : everyCommand()) {
        if (c.command.empty()) continue;
        EXPECT_NE(r.out.find("\nkantor-cli " + joined(c.command) + ":\n"), std::string::npos) << joined(c.command);
        for (const std::string& o : c.options) EXPECT_NE(r.out.find(o), std::string::npos) << o;
    }
}

TEST(CommandLine, VersionNamesTheProjectVersionAndTheSoundLibraries) {
    const auto r = runCli({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind(std::string("kantor-cli ") + kVersion + "\n", 0), 0u) << r.out;
    for (const char* library : {"FluidSynth ", "PortAudio ", "ALSA "})
        EXPECT_NE(r.out.find(library), std::string::npos) << r.out;
}

TEST(CommandLine, UsageErrorsExitWithTwoAndSayWhatIsWrong) {
    test::ScratchFolders scratch;
    test::TempDir dir;
    const std::string song = dir.file("s.uta"), wav = dir.file("o.wav");
    const struct {
        cli::Args args;
        std::string message;
    } cases[] = {
        {{}, "Usage: kantor-cli"},
        {{"frobnicate"}, "unknown command: frobnicate"},
        {{"--bogus"}, "kantor-cli: unknown option --bogus"},
        {{"--bogus", "info"}, "kantor-cli: unknown option --bogus"},
        {{"voice", "frobnicate"}, "voice: unknown command frobnicate"},
        {{"voice", "--voice-dir", dir.path(), "frobnicate"}, "voice: unknown command frobnicate"},
        {{"voice"}, "voice: "},
        {{"voice", "export", "vxb1"}, "FILE.vxb is required"},
        {{"info"}, "FILE is required"},
        {{"info", "a.mid", "b.mid"}, "b.mid"},
        {{"info", "a.txt"}, "info: unknown file type: a.txt"},
        {{"pos", "a.mid", "-"}, "pos: "},
        {{"pos", "a.mid", "12x"}, "12x is not a tick"},
        {{"pos", "a.mid", "4294967296"}, "4294967296 is not a tick"},
        {{"render", song}, "--output is required"},
        {{"render", song, "-o", wav, "--quality", "12"}, "12 is not a sample format code (0 to 11)"},
        {{"render", song, "-o", wav, "--from", "-1"}, "render: "},
        {{"render", song, "-o", wav, "--channel", "1"}, "--channel"},
        {{"phrase", song, "-o", wav, "--channel", "17", "--note", "1"}, "17 is not a channel (1 to 16)"},
        {{"phrase", song, "-o", wav, "--channel", "1", "--note", "0"}, "0 is not a note number"},
        {{"phrase", song, "-o", wav, "--note", "1"}, "--channel is required"},
        {{"play", "a.mid", "--loop", "--to", "3"}, "--loop"},
        {{"new", "a.mid", "-o", song, "--vox", "0", "--lyrics", "l.txt"}, "0 is not a channel"},
        {{"new", "a.mid", "-o", song, "--lyrics", "l.txt", "--vox", "1"}, "new: --lyrics follows its --vox channel"},
        {{"new", "a.mid", "-o", song, "--vox", "1", "--vox", "2", "--lyrics", "l.txt"}, "new: --vox"},
    };
    for (const auto& c : cases) {
        const auto r = runCli(c.args);
        EXPECT_EQ(r.status, 2) << joined(c.args);
        EXPECT_TRUE(r.out.empty()) << joined(c.args) << ": " << r.out;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << joined(c.args) << ": " << r.err;
    }
    // Nothing was touched on the way.
    EXPECT_FALSE(std::filesystem::exists(wav));
}

TEST(CommandLine, OptionsMayStandBeforeOrAfterTheirCommandsArguments) {
    test::TempDir dir;
    SmfTrack t;
    t.tempo(0, 500000).note(0, 480, 0, 60, 100);
    const std::string midi = dir.write("a.mid", buildSmf(0, 480, {t}));
    const auto before = runCli({"info", "--json", midi});
    const auto after = runCli({"info", midi, "--json"});
    ASSERT_EQ(before.status, 0) << before.err;
    EXPECT_EQ(before.out, after.out);
    const auto r = runCli({"pos", midi, "0", "480"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0\t001 : 1 : 000\t0 ms\n480\t001 : 2 : 000\t500 ms\n");
}

TEST(CommandLine, VoiceOptionsStandBeforeOrAfterTheVoiceCommand) {
    test::ScratchFolders scratch;
    test::TempDir dir;
    const std::string voices = dir.file("voices");
    std::filesystem::create_directories(voices);
    test::writeSyntheticVoice(voices, "TestVox", {{"A", "あ", 69}});
    auto r = runCli({"voice", "--voice-dir", voices, "--json", "info", "TestVox"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\"title\":\"TestVox\"", 0), 0u) << r.out;
    const auto after = runCli({"voice", "info", "TestVox", "--json", "--voice-dir", voices});
    EXPECT_EQ(after.status, 0) << after.err;
    EXPECT_EQ(after.out, r.out);
    r = runCli({"voice", "--force", "export", "vxb99", dir.file("out.vxb"), "--voice-dir", voices});
    EXPECT_EQ(r.status, 1) << "a missing voice is an error, not a usage error: " << r.err;
}

TEST(CommandLine, JsonIsOneValidObjectWithItsKeysInOrder) {
    test::TempDir dir;
    SmfTrack t;
    t.tempo(0, 500000).note(0, 480, 0, 60, 100);
    const auto r = runCli({"info", "--json", dir.write("a.mid", buildSmf(0, 480, {t}))});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);
    const auto j = nlohmann::ordered_json::parse(r.out);
    std::vector<std::string> keys;
    for (const auto& item : j.items()) keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"format", "tracks", "division", "songEndTick", "channels", "measures",
                                              "tempos"}));
    ASSERT_EQ(j.at("channels").size(), 16u);
    int notes = 0;
    for (const auto& e : j.at("channels").at(0)) {
        if (e.at("kind") != "note") continue;
        EXPECT_EQ(e.at("note"), 60);
        EXPECT_EQ(e.at("end"), 480);
        ++notes;
    }
    EXPECT_EQ(notes, 1);
}

}  // namespace
}  // namespace kantor

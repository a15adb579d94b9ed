// kantor-cli commands run at once, as separate processes, on one song and on the settings
// file: every change must survive (each command holds the file's lock from its read to its
// replace), and every command that says it changed the file must have done so.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/FileIO.h"
#include "midi/SmfWriter.h"
#include "sound/SoundFormat.h"
#include "sound/WavFile.h"
#include "support/CliRun.h"
#include "support/ScratchFolders.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"

extern char** environ;

namespace kantor {
namespace {

constexpr int kProcesses = 8;
constexpr uint32_t kBar = 1920;

struct Folder {
    test::ScratchFolders scratch;
    test::TempDir dir;
    std::string voices = dir.file("voices"), config = dir.file("config"), song = dir.file("s/song.uta");

    // A song of 40 bars of 4/4, channel 1 singing "A" in bar 1.
    Folder() {
        for (const char* d : {"voices", "config", "s", "out"}) std::filesystem::create_directories(dir.file(d));
        test::writeSyntheticVoice(voices, "TestVox", {{"A", "あ", 69}});
        SmfTrack t;
        t.tempo(0, 500000).timeSignature(0, 4, 2);
        t.note(0, 400, 0, 69, 100);
        t.endOfTrack(kBar * 40);
        const std::vector<uint8_t> smf = buildSmf(0, 480, {t});
        std::ofstream(dir.file("s/song.mid"), std::ios::binary)
            .write(reinterpret_cast<const char*>(smf.data()), std::streamsize(smf.size()));
        std::ofstream(dir.file("lyrics.txt")) << "A\n";
        const test::CliResult r = test::runCli(withFolders({"new", dir.file("s/song.mid"), "-o", song, "--vox", "1",
                                                            "--lyrics", dir.file("lyrics.txt"), "--voice", "TestVox"}));
        EXPECT_EQ(r.status, 0) << r.err;
    }
    cli::Args withFolders(cli::Args a) const {
        a.insert(a.end(), {"--voice-dir", voices, "--config-dir", config});
        return a;
    }
    // Runs the command lines as separate kantor-cli processes, all at once; the statuses.
    std::vector<int> runAtOnce(const std::vector<cli::Args>& commands) const {
        std::vector<pid_t> pids;
        for (std::size_t i = 0; i < commands.size(); ++i) {
            cli::Args args = withFolders(commands[i]);
            args.insert(args.begin(), KANTOR_CLI_PATH);
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            const std::string log = dir.file("out/" + std::to_string(i) + ".txt");
            posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            pid_t pid = -1;
            EXPECT_EQ(posix_spawn(&pid, KANTOR_CLI_PATH, &actions, nullptr, argv.data(), environ), 0);
            posix_spawn_file_actions_destroy(&actions);
            pids.push_back(pid);
        }
        std::vector<int> statuses;
        for (pid_t pid : pids) {
            int status = -1;
            waitpid(pid, &status, 0);
            statuses.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
        }
        return statuses;
    }
    std::size_t lines(const cli::Args& listCommand) const {
        const test::CliResult r = test::runCli(withFolders(listCommand));
        EXPECT_EQ(r.status, 0) << r.err;
        return static_cast<std::size_t>(std::count(r.out.begin(), r.out.end(), '\n'));
    }
};

TEST(ConcurrentEdits, EveryLyricLineAddedAtOnceIsKept) {
    Folder f;
    constexpr int kRounds = 4;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<cli::Args> commands;
        for (int p = 0; p < kProcesses; ++p) {
            const uint32_t bar = uint32_t(round * kProcesses + p);
            commands.push_back({"lyric", "add", f.song, "--at", std::to_string(bar * kBar), "line" + std::to_string(bar)});
        }
        for (int status : f.runAtOnce(commands)) EXPECT_EQ(status, 0);
    }
    EXPECT_EQ(f.lines({"lyric", "list", f.song}), std::size_t(kRounds * kProcesses));
}

TEST(ConcurrentEdits, MixedEditsAtOnceAreAllKept) {
    Folder f;
    // A short click of the song's output format beside the song.
    std::vector<uint8_t> wav = wavHeader(packFormat(16, 1), 44100, 4410 * 2);
    wav.resize(wav.size() + 4410 * 2, 0);
    std::ofstream(f.dir.file("s/click.wav"), std::ios::binary)
        .write(reinterpret_cast<const char*>(wav.data()), std::streamsize(wav.size()));
    constexpr int kRounds = 3;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<cli::Args> commands;
        for (int p = 0; p < kProcesses; ++p) {
            const std::string at = std::to_string(uint32_t(round * kProcesses + p) * kBar);
            if (p % 2 == 0)
                commands.push_back({"lyric", "add", f.song, "--at", at, "line" + at});
            else
                commands.push_back({"wave", "insert", f.song, f.dir.file("s/click.wav"), "--at", at});
        }
        for (int status : f.runAtOnce(commands)) EXPECT_EQ(status, 0);
    }
    EXPECT_EQ(f.lines({"lyric", "list", f.song}), std::size_t(kRounds * kProcesses / 2));
    EXPECT_EQ(f.lines({"wave", "list", f.song}), std::size_t(kRounds * kProcesses / 2));
}

TEST(ConcurrentEdits, EveryPluginRegisteredAtOnceIsKept) {
    Folder f;
    std::ifstream echo(std::string(KANTOR_SOURCE_DIR) + "/effects/echo/echo.ncp", std::ios::binary);
    std::stringstream text;
    text << echo.rdbuf();
    ASSERT_FALSE(text.str().empty());
    std::vector<cli::Args> commands;
    for (int p = 0; p < kProcesses; ++p) {
        const std::string path = f.dir.file("fx" + std::to_string(p) + ".ncp");
        std::ofstream(path, std::ios::binary) << text.str();
        commands.push_back({"effect", "add", path});
    }
    for (int status : f.runAtOnce(commands)) EXPECT_EQ(status, 0);
    const test::CliResult r = test::runCli(f.withFolders({"effect", "list"}));
    ASSERT_EQ(r.status, 0) << r.err;
    for (int p = 0; p < kProcesses; ++p)
        EXPECT_NE(r.out.find("fx" + std::to_string(p) + ".ncp"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace kantor

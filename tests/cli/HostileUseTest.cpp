// kantor-cli used as a careless or hostile user would: outputs that already exist, a
// program killed between two files, a full disk, write-protected songs, terminal control
// bytes in files, unreadable settings, a channel of 100,000 notes, and memory running out.
// The commands run as real processes where what matters is what the process does.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/FileIO.h"
#include "base/FileLock.h"
#include "base/FilePair.h"
#include "midi/SmfWriter.h"
#include "support/CliRun.h"
#include "support/ScratchFolders.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"
#include "voice/VoiceFile.h"

namespace kantor {
namespace {

namespace fs = std::filesystem;
using Result = test::CliResult;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Limits of a kantor-cli process: the largest file it may write (a full disk: writes past
// it fail with EFBIG) and its address space (memory running out).
struct Limits {
    rlim_t fileSize = RLIM_INFINITY;
    rlim_t addressSpace = RLIM_INFINITY;
};

// Runs kantor-cli as a process of its own; its status (128 + signal when killed).
Result runProcess(const cli::Args& args, const std::string& scratch, Limits limits = {}) {
    const std::string outPath = scratch + "/.stdout", errPath = scratch + "/.stderr";
    std::vector<std::string> all{KANTOR_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int o = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (o < 0 || e < 0) ::_exit(120);
        ::dup2(o, 1);
        ::dup2(e, 2);
        ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of killing
        const rlimit fsize{limits.fileSize, limits.fileSize}, as{limits.addressSpace, limits.addressSpace};
        ::setrlimit(RLIMIT_FSIZE, &fsize);
        ::setrlimit(RLIMIT_AS, &as);
        ::execv(argv[0], argv.data());
        ::_exit(121);
    }
    int status = -1;
    ::waitpid(pid, &status, 0);
    Result r{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), readText(outPath), readText(errPath)};
    fs::remove(outPath);
    fs::remove(errPath);
    return r;
}

// A score of two measures singing あ い う え / お あ い う, as a notation program writes it.
const char* kScore = R"(<?xml version="1.0" encoding="UTF-8"?>
<score-partwise version="3.1">
  <part-list><score-part id="P1"><part-name>Voice</part-name></score-part></part-list>
  <part id="P1">
    <measure number="1">
      <attributes><divisions>1</divisions><time><beats>4</beats><beat-type>4</beat-type></time></attributes>
      <sound tempo="120"/>
      <note><pitch><step>A</step><octave>4</octave></pitch><duration>1</duration><type>quarter</type><lyric><text>あ</text></lyric></note>
      <note><pitch><step>A</step><octave>4</octave></pitch><duration>1</duration><type>quarter</type><lyric><text>い</text></lyric></note>
      <note><pitch><step>A</step><octave>4</octave></pitch><duration>1</duration><type>quarter</type><lyric><text>う</text></lyric></note>
      <note><pitch><step>A</step><octave>4</octave></pitch><duration>1</duration><type>quarter</type><lyric><text>え</text></lyric></note>
    </measure>
    <measure number="2">
      <note><pitch><step>A</step><octave>4</octave></pitch><duration>1</duration><type>quarter</type><lyric><text>お</text></lyric></note>
      <note><pitch><step>A</step><octave>4</octave></pitch><duration>1</duration><type>quarter</type><lyric><text>あ</text></lyric></note>
      <note><pitch><step>A</step><octave>4</octave></pitch><duration>1</duration><type>quarter</type><lyric><text>い</text></lyric></note>
      <note><pitch><step>A</step><octave>4</octave></pitch><duration>1</duration><type>quarter</type><lyric><text>う</text></lyric></note>
    </measure>
  </part>
</score-partwise>
)";

class HostileUse : public ::testing::Test, public test::CliFolders {
protected:
    HostileUse()
        : CliFolders({{"A", "あ", 69}, {"I", "い", 69}, {"U", "う", 69}, {"E", "え", 69}, {"O", "お", 69}}) {}
    void SetUp() override {
        score = dir.file("score.musicxml");
        std::ofstream(score) << kScore;
        SmfTrack conductor, melody;
        conductor.tempo(0, 500000).timeSignature(0, 4, 2);
        for (uint32_t i = 0; i < 8; ++i) melody.note(i * 480, i * 480 + 480, 0, 69, 100);
        midi = dir.write("song.mid", buildSmf(1, 480, {conductor, melody}));
        std::ofstream(dir.file("lyrics.txt")) << "A I U E O A I U\n";
        song = dir.file("song.uta");
        const Result r = cli(
            {"new", midi, "-o", song, "--vox", "1", "--lyrics", dir.file("lyrics.txt"), "--voice", "TestVox"});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    Result cli(cli::Args a, Limits limits = {}) { return runProcess(common(std::move(a)), dir.path(), limits); }
    // A command that takes none of the song commands' folder options.
    Result bare(const cli::Args& a) { return runProcess(a, dir.path()); }
    std::string score, midi, song;
};

TEST_F(HostileUse, ImportNeverReplacesTheUsersFilesUnasked) {
    // The user's own song and MIDI file of the name the import would write.
    const std::string mine = dir.file("mysong.uta"), mineMidi = dir.file("mysong.mid");
    fs::copy_file(song, mine);
    fs::copy_file(midi, mineMidi);
    const std::string songBytes = readText(mine), midiBytes = readText(mineMidi);
    Result r = cli({"import", score, "-o", mine, "--voice", "TestVox"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("はすでにあります（置き換えるには --force を付けてください）"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(readText(mine), songBytes);
    EXPECT_EQ(readText(mineMidi), midiBytes);
    // The MIDI file alone is the user's too.
    fs::remove(mine);
    r = cli({"import", score, "-o", mine, "--voice", "TestVox"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(mineMidi + " はすでにあります"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(mine));
    EXPECT_EQ(readText(mineMidi), midiBytes);
    // With --force both are replaced, and the new song opens with its MIDI file.
    r = cli({"import", score, "-o", mine, "--voice", "TestVox", "--force"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, mineMidi + "\n" + mine + "\n");
    EXPECT_NE(readText(mineMidi), midiBytes);
    r = cli({"note", "show", mine, "--channel", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\n8\t69\t"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(pendingPairPath(mine)));
    EXPECT_FALSE(fs::exists(pendingPairPath(mineMidi)));

    // No output may be the score, even with --force: as the song or as its MIDI file.
    const std::string scoreBytes = readText(score);
    r = cli({"import", score, "-o", score, "--voice", "TestVox", "--force"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is the input " + score), std::string::npos) << r.err;
    const std::string asMidi = dir.file("sc.mid");
    fs::create_symlink(score, asMidi);
    r = cli({"import", score, "-o", dir.file("sc.uta"), "--voice", "TestVox", "--force"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is the input"), std::string::npos) << r.err;
    EXPECT_EQ(readText(score), scoreBytes);
    EXPECT_FALSE(fs::exists(dir.file("sc.uta")));

    // A write-protected song is not replaced even with --force.
    ::chmod(mine.c_str(), 0444);
    const std::string imported = readText(mine);
    r = cli({"import", score, "-o", mine, "--voice", "TestVox", "--force"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("読み取り専用のファイルです。"), std::string::npos) << r.err;
    EXPECT_EQ(readText(mine), imported);
}

TEST_F(HostileUse, AnImportKilledBetweenItsTwoFilesIsFinishedByTheNext) {
    const std::string s = dir.file("s.uta"), m = dir.file("s.mid");
    // The order of the files of a pair write, stopped where a kill -9 would stop it after
    // its first rename: the MIDI file is in place, the song is complete under its pending name.
    const std::string songBytes = readText(song), midiBytes = readText(midi);
    auto span = [](const std::string& t) { return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(t.data()), t.size()); };
    std::string error;
    stopFilePairAfterFirstRenameForTesting(true);
    EXPECT_FALSE(writeFilePair(m, span(midiBytes), s, span(songBytes), error));
    stopFilePairAfterFirstRenameForTesting(false);
    EXPECT_TRUE(fs::exists(m));
    EXPECT_FALSE(fs::exists(s));
    EXPECT_TRUE(fs::exists(pendingPairPath(s)));
    EXPECT_FALSE(fs::exists(pendingPairPath(m)));
    // Killed before the song was complete: only the MIDI file's pending file, which goes.
    std::ofstream(pendingPairPath(dir.file("t.mid"))) << "MThd";
    bool finished = true;
    EXPECT_TRUE(recoverFilePair(dir.file("t.mid"), dir.file("t.uta"), error, &finished));
    EXPECT_FALSE(finished);
    EXPECT_FALSE(fs::exists(pendingPairPath(dir.file("t.mid"))));
    EXPECT_FALSE(fs::exists(dir.file("t.mid")));

    // The next import of that song finishes the pair first: it then finds the song there.
    Result r = cli({"import", score, "-o", s, "--voice", "TestVox"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("はすでにあります（置き換えるには --force を付けてください）"), std::string::npos) << r.err;
    EXPECT_EQ(readText(s), songBytes);
    EXPECT_EQ(readText(m), midiBytes);
    EXPECT_FALSE(fs::exists(pendingPairPath(s)));
    r = cli({"import", score, "-o", s, "--voice", "TestVox", "--force"});
    ASSERT_EQ(r.status, 0) << r.err;

    // While another program holds the song's lock (here a process that holds it for a
    // second) the import waits, and writes nothing before it has the lock.
    const std::string u = dir.file("u.uta"), um = dir.file("u.mid");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        FileLock lock(u);
        const char c = lock.locked() ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        ::usleep(1000000);
        const bool early = ::access(u.c_str(), F_OK) == 0 || ::access(um.c_str(), F_OK) == 0;
        ::_exit(early ? 3 : 0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    ASSERT_EQ(c, 'y');
    r = cli({"import", score, "-o", u, "--voice", "TestVox"});
    int status = -1;
    ::waitpid(holder, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the import wrote while the song was locked";
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(u) && fs::exists(um));
}

TEST_F(HostileUse, SuccessIsPrintedOnlyAfterTheSave) {
    // A disk that fills up: the song cannot be written past 2,000 bytes.
    const std::string before = readText(song);
    const Limits full{2000, RLIM_INFINITY};
    for (const cli::Args& edit :
         {cli::Args{"note", "set", song, "--channel", "1", "--note", "1-8", "--power", "1.2"},
          cli::Args{"note", "set", song, "--channel", "1", "--defaults", "--smoothing", "40"},
          cli::Args{"lyric", "add", song, "--at", "0", "あいうえおあいう"}}) {
        const Result r = cli(edit, full);
        EXPECT_EQ(r.status, 1) << edit[0] << " " << r.err;
        EXPECT_EQ(r.out, "") << edit[0];  // nothing said "set" or "added"
        EXPECT_NE(r.err.find("Utaﾌｧｲﾙの保存に失敗しました。"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
        EXPECT_EQ(readText(song), before);
    }
    // With room, the same commands say what they did.
    Result r = cli({"note", "set", song, "--channel", "1", "--note", "1-8", "--power", "1.2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "notes 1-8 of channel 1 set\n");
    r = cli({"lyric", "add", song, "--at", "0", "あいうえおあいう"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "added 001 : 1 : 000\t0\n");
}

TEST_F(HostileUse, AWriteProtectedSongIsRefusedNotReplaced) {
    ASSERT_EQ(::chmod(song.c_str(), 0444), 0);
    const std::string before = readText(song);
    const struct stat was = [&] { struct stat st {}; ::stat(song.c_str(), &st); return st; }();
    for (const cli::Args& edit : {cli::Args{"note", "set", song, "--channel", "1", "--note", "2", "--pitch", "30"},
                                  cli::Args{"lyric", "add", song, "--at", "0", "あい"},
                                  cli::Args{"effect", "set", song}}) {
        const Result r = cli(edit);
        EXPECT_EQ(r.status, 1) << edit[0] << " " << r.out;
        EXPECT_EQ(r.out, "");
        // The desktop program's message for a song it cannot save, and why.
        EXPECT_NE(r.err.find("Utaﾌｧｲﾙの保存に失敗しました。\n" + song + ": 読み取り専用のファイルです。"),
                  std::string::npos)
            << r.err;
        struct stat now {};
        ::stat(song.c_str(), &now);
        EXPECT_EQ(now.st_ino, was.st_ino);
        EXPECT_EQ(readText(song), before);
    }
    // In English, the same.
    const Result r = cli({"--lang", "en", "lyric", "add", song, "--at", "0", "あい"});
    EXPECT_NE(r.err.find(": The file is read-only."), std::string::npos) << r.err;
    // `new --force` does not replace it either.
    const Result n = cli({"new", midi, "-o", song, "--vox", "1", "--lyrics", dir.file("lyrics.txt"), "--force"});
    EXPECT_EQ(n.status, 1);
    EXPECT_EQ(readText(song), before);
}

TEST_F(HostileUse, TextsFromFilesArePrintedEscapedOnOneLine) {
    // A voice whose name (from a bank's character.txt) sets the terminal's title and clears it.
    VoiceFileHeader header;
    header.voiceName = "Evil\x1b]0;owned\x07\x1b[2J";
    header.comment = "two\nlines";
    header.formatCode = 8;
    header.tuning = 440000;
    std::vector<std::unique_ptr<VoiceSample>> none;
    ASSERT_TRUE(VoiceFileWriter().write(voiceDir + "/Evil.vxb", header, none));
    Result r = bare({"voice", "--voice-dir", voiceDir, "list"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Evil\tEvil\\x1b]0;owned\\x07\\x1b[2J\t16bit"), std::string::npos) << r.out;
    r = bare({"info", voiceDir + "/Evil.vxb"});
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("two\\x0alines\n"), std::string::npos) << r.out;

    // A score whose lyric holds control bytes and a megabyte of text: the error quotes it
    // escaped and cut, on one line.
    std::string evil = kScore;
    const std::string lyric = "\x1b[2J" + std::string(1 << 20, 'x');
    evil.replace(evil.find("<text>え</text>"), std::string("<text>え</text>").size(), "<text>" + lyric + "</text>");
    std::ofstream(dir.file("evil.musicxml")) << evil;
    r = cli({"import", dir.file("evil.musicxml"), "-o", dir.file("evil.uta"), "--voice", "TestVox"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err.substr(0, 300);
    EXPECT_LT(r.err.size(), 4000u);
    EXPECT_FALSE(fs::exists(dir.file("evil.uta")));

    // Names given on the command line: one line, and only what the voice file can store.
    fs::create_directories(dir.file("bank"));
    r = bare({"voice", "--voice-dir", voiceDir, "import-bank", dir.file("bank"), "--name", "two\nlines"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--name two\\x0alines: a voice name is one line"), std::string::npos) << r.err;
    r = bare({"voice", "--voice-dir", voiceDir, "import-bank", dir.file("bank"), "--name", "Alto \xF0\x9F\x8E\xB5"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("(Shift-JIS); this one holds \xF0\x9F\x8E\xB5"), std::string::npos) << r.err;
}

TEST_F(HostileUse, UnreadableSettingsNameTheFileAndTheReason) {
    // The settings file and the language choice as folders: no permission can make a file
    // unreadable for root, a folder in its place can.
    const std::string ini = configDir + "/Kantor.ini", conf = configDir + "/language.conf";
    fs::create_directories(ini);
    Result r = cli({"effect", "list"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.find("no effect plug-ins registered"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("cannot read the settings file " + ini + ": 通常のファイルではありません"), std::string::npos) << r.err;
    fs::remove(ini);
    fs::create_directories(conf);
    r = bare({"language", "--config-dir", configDir});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot read " + conf + ": 通常のファイルではありません"), std::string::npos) << r.err;
    // Another command goes on in Japanese, and says why.
    r = cli({"note", "show", song, "--channel", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("cannot read " + conf + ": 通常のファイルではありません; the messages are in Japanese"),
              std::string::npos)
        << r.err;
}

TEST_F(HostileUse, NoteSetReachesEveryNoteOfALongChannel) {
    // A channel of 100,000 notes, as a long imported score makes.
    constexpr uint32_t kNotes = 100000;
    SmfTrack conductor, melody;
    conductor.tempo(0, 500000).timeSignature(0, 4, 2);
    for (uint32_t i = 0; i < kNotes; ++i) melody.note(i * 120, i * 120 + 120, 0, 69, 100);
    const std::string longMidi = dir.write("long.mid", buildSmf(1, 480, {conductor, melody}));
    std::string words;
    for (uint32_t i = 0; i < kNotes; ++i) words += i % 8 == 7 ? "A\n" : "A ";
    std::ofstream(dir.file("long.txt")) << words;
    const std::string longSong = dir.file("long.uta");
    Result r = cli({"new", longMidi, "-o", longSong, "--vox", "1", "--lyrics", dir.file("long.txt"), "--voice",
                    "TestVox"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = cli({"note", "set", longSong, "--channel", "1", "--note", "70000-71999", "--pitch", "25"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "notes 70000-71999 of channel 1 set\n");
    // Again over the same notes (each now has its own record) and a few past them.
    r = cli({"note", "set", longSong, "--channel", "1", "--note", "71000-72999", "--smoothing", "30"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = cli({"note", "show", longSong, "--channel", "1"});
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\n69999\t69\tnone\t-\t-\t-\t-\t-\t-\t-"), std::string::npos);
    EXPECT_NE(r.out.find("\n70000\t69\tours\t-\t-\t-\t-\t25\t-\t-"), std::string::npos);
    EXPECT_NE(r.out.find("\n71000\t69\tours\t-\t30\t-\t-\t25\t-\t-"), std::string::npos);
    EXPECT_NE(r.out.find("\n72999\t69\tours\t-\t30\t-\t-\t-\t-\t-"), std::string::npos);
    EXPECT_NE(r.out.find("\n100000\t69\tnone"), std::string::npos);
    // Past the end is said as such, not as a bad option.
    r = cli({"note", "set", longSong, "--channel", "1", "--note", "100001", "--pitch", "5"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("note 100001 is past the end: channel 1 has 100000 notes"), std::string::npos) << r.err;
    for (const char* bad : {"0", "5-3", "+5", "-5", "1-2-3", "4294967296", "x"}) {
        r = cli({"note", "set", longSong, "--channel", "1", "--note", bad, "--pitch", "5"});
        EXPECT_EQ(r.status, 2) << bad;
    }
}

TEST_F(HostileUse, RunningOutOfMemoryIsTheProgramsMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any limit this test sets";
#endif
    // The address space `new` needs with a small lyrics file, found by halving.
    auto makeSong = [&](const std::string& lyrics, rlim_t space) {
        fs::remove(dir.file("oom.uta"));
        return cli({"new", midi, "-o", dir.file("oom.uta"), "--vox", "1", "--lyrics", lyrics, "--voice", "TestVox"},
                   {RLIM_INFINITY, space});
    };
    rlim_t low = rlim_t(8) << 20, high = rlim_t(4) << 30;
    ASSERT_EQ(makeSong(dir.file("lyrics.txt"), high).status, 0);
    while (high - low > (rlim_t(4) << 20)) {
        const rlim_t mid = low + (high - low) / 2;
        (makeSong(dir.file("lyrics.txt"), mid).status == 0 ? high : low) = mid;
    }
    // A lyrics file of 60 MB (sparse: it takes no disk) with 30 MB to spare: reading it
    // cannot be done, and the command says so instead of aborting.
    const std::string huge = dir.file("huge.txt");
    { std::ofstream(huge) << "A "; }
    fs::resize_file(huge, 60u << 20);
    const Result r = makeSong(huge, high + (rlim_t(30) << 20));
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("メモリが不足しています。"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir.file("oom.uta")));
}

}  // namespace
}  // namespace kantor

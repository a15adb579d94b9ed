#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sound/WavFile.h"
#include "base/FileIO.h"
#include "support/CliRun.h"
#include "midi/SmfWriter.h"
#include "support/SyntheticVoice.h"
#include "support/ScratchFolders.h"
#include "support/TempDir.h"

namespace kantor {
namespace {

using Result = test::CliResult;
Result run(const cli::Args& args) { return test::runCli(args); }

class SongCommands : public ::testing::Test, public test::CliFolders {
protected:
    SongCommands() : CliFolders({{"SA", "さ", 64}, {"KU", "く", 64}, {"RA", "ら", 64}, {"A", "あ", 69}}) {}
    void SetUp() override {
        SmfTrack conductor, melody, other;
        conductor.tempo(0, 500000).timeSignature(0, 4, 2);
        const int notes[] = {69, 69, 71, 69, 69, 71};
        for (int i = 0; i < 6; ++i) melody.note(480 * i, 480 * i + 400, 0, notes[i], 100);
        other.note(0, 1920, 1, 48, 80);
        std::vector<uint8_t> smf = buildSmf(1, 480, {conductor, melody, other});
        midi = dir.write("song.mid", smf);
        std::ofstream(dir.file("lyrics.txt")) << "# Sakura\nSA KU RA\nさ く ら,あ\n";
        std::ofstream(dir.file("bad.txt")) << "SA KU\nRA XYZ\n";
    }

    std::string midi;
};

TEST_F(SongCommands, NewRenderAndPhraseSing) {
    const std::string song = dir.file("song.uta");
    Result r = run(common({"new", midi, "-o", song, "--vox", "1", "--lyrics", dir.file("lyrics.txt"), "--voice",
                           "TestVox"}));
    ASSERT_EQ(r.status, 0) << r.err;

    r = run({"info", "--json", song});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"TestVox\""), std::string::npos);

    const std::string wav = dir.file("song.wav");
    r = run(common({"render", song, "-o", wav}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Format : 16bit, 44100Hz, Mono"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Midi Position : [ 001 : 1 : 000 ]"), std::string::npos) << r.out;
    WavReader reader;
    SoundBuffer data;
    ASSERT_TRUE(reader.readData(wav, data));
    // Six sung notes of 400 ticks at 120 BPM: the file lasts about 3 seconds.
    EXPECT_GT(data.byteLength(), 2 * 44100 * 25 / 10);
    EXPECT_LT(data.byteLength(), 2 * 44100 * 35 / 10);
    int loud = 0;
    for (std::size_t i = 0; i < data.sampleCount(); ++i) loud += std::abs(data.sample(i)) > 1000;
    EXPECT_GT(loud, 10000);

    // The lower quality halves the data.
    r = run(common({"render", song, "-o", dir.file("low.wav"), "--quality", "4"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("22050Hz"), std::string::npos);

    r = run(common({"phrase", song, "--channel", "1", "--note", "5", "-o", dir.file("phrase.wav")}));
    ASSERT_EQ(r.status, 0) << r.err;
    // Where the exported sound begins: the consonant of note 4 (on beat 4) leads in on beat 3.
    EXPECT_NE(r.out.find("Midi Position : [ 001 : 3 : 4"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Time : 0 min 1 sec"), std::string::npos) << r.out;
}

TEST_F(SongCommands, FormantsAreKeptOnRequestOrByTheStoredChoice) {
    const std::string song = dir.file("song.uta");
    Result r = run(common({"new", midi, "-o", song, "--vox", "1", "--lyrics", dir.file("lyrics.txt"), "--voice",
                           "TestVox"}));
    ASSERT_EQ(r.status, 0) << r.err;
    auto sound = [&](const std::string& wav) {
        WavReader reader;
        SoundBuffer data;
        EXPECT_TRUE(reader.readData(wav, data)) << wav;
        return data.samples();
    };
    const std::string plain = dir.file("plain.wav"), kept = dir.file("kept.wav"), resampled = dir.file("re.wav");
    r = run(common({"render", song, "-o", plain, "-q"}));
    ASSERT_EQ(r.status, 0) << r.err;
    r = run(common({"render", song, "-o", kept, "--formants", "keep", "-q"}));
    ASSERT_EQ(r.status, 0) << r.err;
    r = run(common({"render", song, "--formants", "resample", "-o", resampled, "-q"}));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<int16_t> designed = sound(plain);
    // Resampling is the default; keeping the formants sings otherwise, about as long.
    EXPECT_EQ(sound(resampled), designed);
    const std::vector<int16_t> other = sound(kept);
    EXPECT_NE(other, designed);
    EXPECT_NEAR(double(other.size()), double(designed.size()), 44100 * 0.2);
    int loud = 0;
    for (int16_t v : other) loud += std::abs(v) > 1000;
    EXPECT_GT(loud, 10000);
    // The option never writes the choice file.
    const std::string conf = configDir + "/render.conf";
    EXPECT_FALSE(std::filesystem::exists(conf));

    // The choice kept beside the settings decides when the option is not given ...
    std::ofstream(conf) << "formants=keep\n";
    r = run(common({"render", song, "-o", dir.file("stored.wav"), "-q"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sound(dir.file("stored.wav")), other);
    r = run(common({"phrase", song, "--channel", "1", "--note", "1", "-o", dir.file("p1.wav")}));
    ASSERT_EQ(r.status, 0) << r.err;
    r = run(common({"phrase", song, "--channel", "1", "--note", "1", "-o", dir.file("p2.wav"), "--formants",
                    "resample"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(sound(dir.file("p1.wav")), sound(dir.file("p2.wav")));
    // ... and the option wins over it; damaged content counts as resample.
    r = run(common({"render", song, "-o", dir.file("told.wav"), "--formants", "resample", "-q"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sound(dir.file("told.wav")), designed);
    std::ofstream(conf) << "formants=kept\n\x01";
    r = run(common({"render", song, "-o", dir.file("damaged.wav"), "-q"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sound(dir.file("damaged.wav")), designed);

    // Anything but keep or resample is a usage error that names the option.
    for (const char* cmd : {"render", "play", "phrase"}) {
        r = run(common({cmd, song, "-o", dir.file("x.wav"), "--formants", "Keep"}));
        EXPECT_EQ(r.status, 2) << cmd;
        EXPECT_NE(r.err.find("--formants"), std::string::npos) << r.err;
    }
    r = run(common({"render", song, "-o", dir.file("x.wav"), "--formants"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.wav")));
}

TEST_F(SongCommands, OutputsNeverDestroyInputsOrEarlierFiles) {
    const std::string song = dir.file("song.uta");
    Result r = run(common({"new", midi, "-o", song, "--vox", "1", "--lyrics", dir.file("lyrics.txt"), "--voice",
                           "TestVox"}));
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> songBytes, midiBytes;
    ASSERT_EQ(readWholeFile(song, songBytes), ReadStatus::Ok);
    ASSERT_EQ(readWholeFile(midi, midiBytes), ReadStatus::Ok);
    std::filesystem::create_symlink(song, dir.file("alias.wav"));
    // The output is an input, by another name or through a link: refused, nothing changes.
    for (const cli::Args& args :
         {cli::Args{"render", song, "-o", song}, cli::Args{"render", song, "-o", dir.file("./song.mid")},
          cli::Args{"render", song, "-o", dir.file("alias.wav")},
          cli::Args{"phrase", song, "--channel", "1", "--note", "1", "-o", midi},
          cli::Args{"new", midi, "-o", dir.file("lyrics.txt"), "--vox", "1", "--lyrics", dir.file("lyrics.txt")},
          cli::Args{"new", midi, "-o", midi, "--vox", "1", "--lyrics", dir.file("lyrics.txt")}}) {
        r = run(common(args));
        EXPECT_EQ(r.status, 1) << args[0] << " " << args.back();
        EXPECT_NE(r.err.find("is the input"), std::string::npos) << r.err;
    }
    std::vector<uint8_t> now;
    ASSERT_EQ(readWholeFile(song, now), ReadStatus::Ok);
    EXPECT_EQ(now, songBytes);
    ASSERT_EQ(readWholeFile(midi, now), ReadStatus::Ok);
    EXPECT_EQ(now, midiBytes);

    // A render that fails writes nothing: the earlier file stays.
    const std::string out = dir.write("out.wav", {'P', 'R', 'E', 'C', 'I', 'O', 'U', 'S'});
    ASSERT_EQ(::chmod(out.c_str(), 0600), 0);
    r = run(common({"render", song, "-o", out, "--from", "999999"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nothing to sing"), std::string::npos) << r.err;
    ASSERT_EQ(readWholeFile(out, now), ReadStatus::Ok);
    EXPECT_EQ(std::string(now.begin(), now.end()), "PRECIOUS");
    // One that works replaces it and keeps its mode.
    r = run(common({"render", song, "-o", out}));
    ASSERT_EQ(r.status, 0) << r.err;
    struct stat st {};
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // Through a device: written through, never replaced.
    r = run(common({"render", song, "-o", "/dev/null"}));
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(SongCommands, TheMidiCopyIsTakenAgainWhenItIsTheSame) {
    std::filesystem::create_directories(dir.file("other"));
    for (int i = 0; i < 2; ++i) {
        cli::Args args{"new", midi, "-o", dir.file("other/s.uta"), "--vox", "1", "--lyrics", dir.file("lyrics.txt"),
                       "--voice", "TestVox"};
        if (i > 0) args.push_back("--force");  // the song of the first run is replaced
        Result r = run(common(args));
        ASSERT_EQ(r.status, 0) << "run " << i << ": " << r.err;
    }
    // A different file of that name is never overwritten.
    dir.write("other/song.mid", {1, 2, 3});
    Result r = run(common({"new", midi, "-o", dir.file("other/t.uta"), "--vox", "1", "--lyrics",
                           dir.file("lyrics.txt"), "--voice", "TestVox"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("exists and is another file"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("other/t.uta")));
    // An unknown voice is named.
    r = run(common({"new", midi, "-o", dir.file("u.uta"), "--vox", "1", "--lyrics", dir.file("lyrics.txt"),
                    "--voice", "Nobody"}));
    EXPECT_EQ(r.status, 1);
    // An unknown voice is named, with the voices there are.
    EXPECT_NE(r.err.find("「Nobody」"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("TestVox"), std::string::npos) << r.err;
}

TEST_F(SongCommands, OptionValuesOutOfRangeSayWhatIsWrong) {
    const std::string song = dir.file("song.uta");
    Result r = run(common({"render", song, "-o", dir.file("x.wav"), "--quality", "12"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.find("needs a number"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("12 is not a sample format code"), std::string::npos) << r.err;
    r = run(common({"render", song, "-o", dir.file("x.wav"), "--quality", "3"}));  // 8-bit
    EXPECT_EQ(r.status, 2);
    r = run(common({"phrase", song, "--channel", "17", "--note", "1", "-o", dir.file("x.wav")}));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.find("channels are"), std::string::npos) << r.err;  // one message, not two
    EXPECT_NE(r.err.find("17 is not a channel (1 to 16)"), std::string::npos) << r.err;
}

TEST_F(SongCommands, UnknownSyllablesWriteNothing) {
    const std::string song = dir.file("bad.uta");
    Result r = run(common({"new", midi, "-o", song, "--vox", "1", "--lyrics", dir.file("bad.txt"), "--voice",
                           "TestVox"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("line 2, column 4: unknown piece \"XYZ\""), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(song));

    r = run(common({"new", midi, "-o", song, "--vox", "1"}));
    EXPECT_EQ(r.status, 2);
    r = run(common({"render", song}));
    EXPECT_EQ(r.status, 2);
    r = run(common({"render", dir.file("missing.uta"), "-o", dir.file("x.wav")}));
    EXPECT_EQ(r.status, 1);
}

TEST_F(SongCommands, HepburnLyricsAreStoredAsTheVoicesCodes) {
    // The table's codes for し, つ, じゃ, ん and か.
    test::writeSyntheticVoice(voiceDir, "KanaVox",
                              {{"SI", "し", 64}, {"TU", "つ", 64}, {"ZYA", "じゃ", 64}, {"N", "ん", 64},
                               {"KA", "か", 64}});
    std::ofstream(dir.file("hepburn.txt")) << "shi TSU,ja n'\nKA,nn\n";
    const std::string song = dir.file("hepburn.uta");
    Result r = run(common({"new", midi, "-o", song, "--vox", "1", "--lyrics", dir.file("hepburn.txt"), "--voice",
                           "KanaVox"}));
    ASSERT_EQ(r.status, 0) << r.err;
    r = run({"info", "--json", song});
    ASSERT_EQ(r.status, 0) << r.err;
    // The song file holds the table's codes, as the voice stores them.
    for (const char* codes : {R"("syllableCode":["SI","","",""])", R"("syllableCode":["TU","ZYA","",""])",
                              R"("syllableCode":["N","","",""])", R"("syllableCode":["KA","N","",""])"})
        EXPECT_NE(r.out.find(codes), std::string::npos) << codes << "\n" << r.out;
    for (const char* typed : {"\"shi\"", "\"TSU\"", "\"ja\"", "\"nn\""})
        EXPECT_EQ(r.out.find(typed), std::string::npos) << typed;

    // A Hepburn spelling of a syllable the voice lacks is unknown, named as typed.
    std::ofstream(dir.file("lacking.txt")) << "shi sha\n";
    r = run(common({"new", midi, "-o", dir.file("lacking.uta"), "--vox", "1", "--lyrics", dir.file("lacking.txt"),
                    "--voice", "KanaVox"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("line 1, column 5: unknown syllable \"sha\""), std::string::npos) << r.err;
}

// A song is written into a regular file: devices, pipes and names no folder can hold are
// refused before anything is written, an existing song is replaced only with --force, and a
// song that cannot be written into another folder leaves no copy of its MIDI file there.
TEST_F(SongCommands, NewWritesOnlyIntoFilesAndLeavesNothingWhenItFails) {
    const cli::Args lyrics{"--vox", "1", "--lyrics", dir.file("lyrics.txt"), "--voice", "TestVox"};
    auto makeNew = [&](const std::string& output, cli::Args more = {}) {
        cli::Args args{"new", midi, "-o", output};
        args.insert(args.end(), lyrics.begin(), lyrics.end());
        args.insert(args.end(), more.begin(), more.end());
        return run(common(args));
    };
    Result r = makeNew("/dev/zero");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("/dev/zero is not a regular file"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists("/dev/song.mid"));
    EXPECT_FALSE(std::filesystem::exists("/dev/.zero.lock"));

    // An existing song keeps its lyric lines unless --force replaces it.
    const std::string song = dir.file("song.uta");
    ASSERT_EQ(makeNew(song).status, 0);
    ASSERT_EQ(run(common({"lyric", "add", song, "--at", "0", "さくら"})).status, 0);
    std::vector<uint8_t> before, now;
    ASSERT_EQ(readWholeFile(song, before), ReadStatus::Ok);
    r = makeNew(song);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("exists (use --force to replace it)"), std::string::npos) << r.err;
    ASSERT_EQ(readWholeFile(song, now), ReadStatus::Ok);
    EXPECT_EQ(now, before);
    r = makeNew(song, {"--force"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(run(common({"lyric", "list", song})).out, "");

    // Into another folder: a FIFO, a 257-byte name, a full disk. No MIDI copy stays.
    const std::string other = dir.file("other");
    std::filesystem::create_directories(other);
    ASSERT_EQ(::mkfifo((other + "/fifo.uta").c_str(), 0600), 0);
    r = makeNew(other + "/fifo.uta");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
    r = makeNew(other + "/" + std::string(253, 'n') + ".uta");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("file name too long"), std::string::npos) << r.err;
    // The MIDI copy is written, the song is not (the second file's data never reaches the disk).
    AtomicFile::injectFaultForTesting(AtomicFile::Fault::Sync, 1);
    r = makeNew(other + "/full.uta");
    AtomicFile::injectFaultForTesting(AtomicFile::Fault::None);
    EXPECT_EQ(r.status, 1);
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(other)) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{".full.uta.lock", "fifo.uta"}));
    // And when it works, the copy is there.
    EXPECT_EQ(makeNew(other + "/s.uta").status, 0);
    EXPECT_TRUE(std::filesystem::exists(other + "/song.mid"));
}

TEST_F(SongCommands, SongInAnotherFolderTakesItsMidiFileAlong) {
    std::filesystem::create_directories(dir.file("elsewhere"));
    const std::string song = dir.file("elsewhere/s.uta");
    Result r = run(common({"new", midi, "-o", song, "--vox", "1", "--lyrics", dir.file("lyrics.txt"), "--voice",
                           "TestVox"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir.file("elsewhere/song.mid")));
    r = run(common({"render", song, "-o", dir.file("elsewhere/s.wav")}));
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(SongCommands, ProgressIsPlainLinesOffATerminalAndQuietSilencesIt) {
    const std::string song = dir.file("song.uta");
    Result r = run(common({"new", midi, "-o", song, "--vox", "1", "--lyrics", dir.file("lyrics.txt"), "--voice",
                           "TestVox"}));
    ASSERT_EQ(r.status, 0) << r.err;
    // The lyrics make two phrases; the test's standard error is no terminal.
    r = run(common({"render", song, "-o", dir.file("a.wav")}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("2/2 phrases\n"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("Wave Info."), std::string::npos);

    r = run(common({"render", song, "-o", dir.file("b.wav"), "--quiet"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("Wave Info."), std::string::npos);
}

}  // namespace
}  // namespace kantor

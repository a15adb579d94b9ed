#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "audio/WavFile.h"
#include "support/CliRun.h"
#include "midi/SmfWriter.h"
#include "support/SyntheticVoice.h"
#include "support/ScratchFolders.h"
#include "support/TempDir.h"

namespace kantor {
namespace {

using Result = test::CliResult;
Result run(const cli::Args& args) { return test::runCli(args); }

class SongCommands : public ::testing::Test {
protected:
    void SetUp() override {
        voiceDir = dir.file("voices");
        configDir = dir.file("config");
        std::filesystem::create_directories(voiceDir);
        std::filesystem::create_directories(configDir);
        test::writeSyntheticVoice(voiceDir, "TestVox",
                                  {{"SA", "さ", 64}, {"KU", "く", 64}, {"RA", "ら", 64}, {"A", "あ", 69}});
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
    cli::Args common(cli::Args a) {
        a.insert(a.end(), {"--voice-dir", voiceDir, "--config-dir", configDir});
        return a;
    }

    test::ScratchFolders scratch;
    test::TempDir dir;
    std::string voiceDir, configDir, midi;
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
    EXPECT_NE(r.out.find("Midi Position : [ 001 : 4 : 000 ]"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Time : 0 min 1 sec"), std::string::npos) << r.out;
}

TEST_F(SongCommands, UnknownSyllablesWriteNothing) {
    const std::string song = dir.file("bad.uta");
    Result r = run(common({"new", midi, "-o", song, "--vox", "1", "--lyrics", dir.file("bad.txt"), "--voice",
                           "TestVox"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("line 2: unknown syllable \"XYZ\""), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(song));

    r = run(common({"new", midi, "-o", song, "--vox", "1"}));
    EXPECT_EQ(r.status, 2);
    r = run(common({"render", song}));
    EXPECT_EQ(r.status, 2);
    r = run(common({"render", dir.file("missing.uta"), "-o", dir.file("x.wav")}));
    EXPECT_EQ(r.status, 1);
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

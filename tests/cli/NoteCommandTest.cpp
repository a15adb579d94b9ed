#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/FileIO.h"
#include "midi/SmfWriter.h"
#include "settings/RenderChoice.h"
#include "sound/WavFile.h"
#include "support/CliRun.h"
#include "support/ScratchFolders.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"

namespace kantor {
namespace {

using Result = test::CliResult;
Result run(const cli::Args& args) { return test::runCli(args); }

class NoteCommand : public ::testing::Test, public test::CliFolders {
protected:
    NoteCommand() : CliFolders({{"A", "あ", 69}}) {}
    void SetUp() override {
        SmfTrack conductor, melody;
        conductor.tempo(0, 500000).timeSignature(0, 4, 2);
        // Three touching notes; the last is held for a second.
        const int keys[] = {69, 72, 69};
        const uint32_t starts[] = {0, 480, 960}, ends[] = {480, 960, 1920};
        for (int i = 0; i < 3; ++i) melody.note(starts[i], ends[i], 0, keys[i], 100);
        midi = dir.write("song.mid", buildSmf(1, 480, {conductor, melody}));
        std::ofstream(dir.file("lyrics.txt")) << "A A A\n";
        song = dir.file("song.uta");
        const Result r = run(common({"new", midi, "-o", song, "--vox", "1", "--lyrics", dir.file("lyrics.txt"),
                                     "--voice", "TestVox"}));
        ASSERT_EQ(r.status, 0) << r.err;
    }
    std::vector<int16_t> render(cli::Args extra = {}) {
        const std::string wav = dir.file("out.wav");
        cli::Args a{"render", song, "-o", wav, "-q"};
        a.insert(a.end(), extra.begin(), extra.end());
        const Result r = run(common(a));
        EXPECT_EQ(r.status, 0) << r.err;
        WavReader reader;
        SoundBuffer data;
        EXPECT_TRUE(reader.readData(wav, data));
        return data.samples();
    }
    std::vector<uint8_t> songBytes() {
        std::vector<uint8_t> b;
        EXPECT_EQ(readWholeFile(song, b), ReadStatus::Ok);
        return b;
    }

    std::string midi, song;
};

TEST_F(NoteCommand, SetShowAndDefaults) {
    const std::vector<int16_t> plain = render();
    Result r = run(common({"note", "set", song, "--channel", "1", "--note", "2-3", "--vibrato", "50:5.5:300",
                           "--smoothing", "80", "--power", "1.500", "--attack", "0.05"}));
    ASSERT_EQ(r.status, 0) << r.err;
    r = run(common({"note", "show", song, "--channel", "1"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("1\t69\tnone\t-\t-\t-\t-\t-\t-\t-"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("3\t69\tours\t50:5.50:300:0\t80\t-\t-\t-\t1.500\t0.05"), std::string::npos) << r.out;
    const std::vector<int16_t> sung = render();
    EXPECT_NE(sung, plain);

    // One value back to the default, another added; the rest stays.
    r = run(common({"note", "set", song, "--channel", "1", "--note", "3", "--default", "power", "--pitch", "-20"}));
    ASSERT_EQ(r.status, 0) << r.err;
    r = run(common({"note", "show", song, "--channel", "1", "--json"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("{\"note\":3,\"key\":69,\"startTick\":960,\"endTick\":1920,\"record\":\"ours\",\"values\":{"
                         "\"vibrato\":{\"depthCents\":50,\"rateHz\":5.5,\"delayMs\":300,\"fadeMs\":0},"
                         "\"smoothingMs\":80,\"pitchCents\":-20,\"attackS\":0.05}"),
              std::string::npos)
        << r.out;

    // Everything back to the default sings as before, byte for byte.
    r = run(common({"note", "set", song, "--channel", "1", "--note", "1-3", "--default", "all"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(render(), plain);

    // The channel's defaults: every note without its own value sings them.
    r = run(common({"note", "set", song, "--channel", "1", "--defaults", "--power", "2.000"}));
    ASSERT_EQ(r.status, 0) << r.err;
    r = run(common({"note", "show", song, "--channel", "1", "--json"}));
    EXPECT_NE(r.out.find("\"channelDefaults\":{\"power\":2.0}"), std::string::npos) << r.out;
    const std::vector<int16_t> loud = render();
    ASSERT_EQ(loud.size(), plain.size());
    double a = 0, b = 0;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        a += std::abs(double(plain[i]));
        b += std::abs(double(loud[i]));
    }
    EXPECT_NEAR(b / a, 2.0, 0.05);
}

TEST_F(NoteCommand, BadInputSaysWhatIsWrongAndChangesNothing) {
    const std::vector<uint8_t> before = songBytes();
    const std::vector<std::pair<cli::Args, int>> cases = {
        {{"--note", "1", "--power", "0.000"}, 2},
        {{"--note", "1", "--power", "10.001"}, 2},
        {{"--note", "1", "--attack", "1.01"}, 2},
        {{"--note", "1", "--vibrato", "201:5:0"}, 2},
        {{"--note", "1", "--vibrato", "50:5"}, 2},
        {{"--note", "1", "--time", "1001"}, 2},
        {{"--note", "1", "--pitch", "x"}, 2},
        {{"--note", "1", "--falsetto", "yes"}, 2},
        {{"--note", "1", "--consonant-speed", "10"}, 2},
        {{"--note", "1", "--default", "colour"}, 2},
        {{"--note", "1", "--power", "2.0", "--default", "power"}, 2},
        {{"--note", "1"}, 2},
        {{"--note", "3-2", "--power", "2.0"}, 2},
        {{"--power", "2.0"}, 2},
        {{"--note", "4", "--power", "2.0"}, 1},
        {{"--note", "2-9", "--power", "2.0"}, 1},
    };
    for (const auto& [extra, status] : cases) {
        cli::Args a{"note", "set", song, "--channel", "1"};
        a.insert(a.end(), extra.begin(), extra.end());
        const Result r = run(common(a));
        EXPECT_EQ(r.status, status) << extra[extra.size() - 1] << ": " << r.err;
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_EQ(songBytes(), before);
    EXPECT_FALSE(std::filesystem::exists(dir.file("song.tmp")));
}

TEST_F(NoteCommand, ExpressionAutoIsAnOptionAndAStoredChoice) {
    const std::vector<int16_t> plain = render();
    EXPECT_EQ(render({"--expression", "off"}), plain);
    const std::vector<int16_t> natural = render({"--expression", "auto"});
    EXPECT_NE(natural, plain);
    std::ofstream(configDir + "/render.conf") << "formants=resample\nexpression=auto\n";
    EXPECT_EQ(render(), natural);
    EXPECT_EQ(render({"--expression", "off"}), plain);
    const Result r = run(common({"render", song, "-o", dir.file("x.wav"), "--expression", "on"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--expression"), std::string::npos) << r.err;

    // The file: the line is written only when on, and read whatever the order of the lines.
    RenderChoice choice;
    EXPECT_EQ(choice.toText(), "formants=resample\n");
    choice.autoExpression = true;
    EXPECT_EQ(choice.toText(), "formants=resample\nexpression=auto\n");
    EXPECT_TRUE(RenderChoice::fromText("expression=auto\nformants=keep\n").autoExpression);
    EXPECT_TRUE(RenderChoice::fromText("expression=auto\nformants=keep\n").keepFormants);
    EXPECT_FALSE(RenderChoice::fromText("expression=Auto\n").autoExpression);
    EXPECT_FALSE(RenderChoice::fromText("expression=auto\nexpression=off\n").autoExpression);
}

}  // namespace
}  // namespace kantor

// The whole path from a song's effect references to the rendered sound, on the command
// line: registering plug-ins, choosing effects, rendering with and without the mixdown, and
// libraries that fail while a song renders.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iostream>
#include <sstream>

#include "PluginTestFiles.h"
#include "sound/WavFile.h"
#include "cli/Session.h"
#include "midi/SmfWriter.h"
#include "platform/EmbeddedSynth.h"
#include "support/CliRun.h"
#include "support/ScratchFolders.h"
#include "support/SyntheticVoice.h"
#include "synth/SongRenderer.h"

namespace kantor {
namespace {

// What the prompts of the program write to the error stream, while the test runs it.
class CapturedErrors {
public:
    CapturedErrors() : old_(std::cerr.rdbuf(text_.rdbuf())) {}
    ~CapturedErrors() { std::cerr.rdbuf(old_); }
    std::string text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf* old_;
};

std::vector<int16_t> readSamples(const std::string& path) {
    WavReader reader;
    SoundBuffer data;
    EXPECT_TRUE(reader.readData(path, data)) << reader.lastError();
    return data.samples();
}

double energy(const std::vector<int16_t>& s, std::size_t from, std::size_t to, std::size_t step = 1) {
    double e = 0;
    for (std::size_t i = from; i < to && i * step < s.size(); ++i) e += double(s[i * step]) * s[i * step];
    return e;
}

class EffectRender : public ::testing::Test {
protected:
    void SetUp() override {
        voiceDir = dir.file("voices");
        configDir = dir.file("config");
        std::filesystem::create_directories(voiceDir);
        std::filesystem::create_directories(configDir);
        test::writeSyntheticVoice(voiceDir, "FxVox", {{"A", "あ", 69}});
        // Two sung notes, each its own phrase: 0 to 417 ms and 1000 to 1417 ms.
        SmfTrack conductor, melody;
        conductor.tempo(0, 500000);
        melody.note(0, 400, 0, 69, 100);
        melody.note(960, 1360, 0, 69, 100);
        midi = dir.write("fx.mid", buildSmf(1, 480, {conductor, melody}));
        std::ofstream(dir.file("lyrics.txt")) << "A\nA\n";
        song = dir.file("fx.uta");
        ASSERT_EQ(run({"new", midi, "-o", song, "--vox", "1", "--lyrics", dir.file("lyrics.txt"), "--voice", "FxVox"})
                      .status,
                  0);
    }
    test::CliResult run(cli::Args a) {
        a.insert(a.end(), {"--voice-dir", voiceDir, "--config-dir", configDir});
        return test::runCli(a);
    }
    // Renders the song (16-bit mono 44100 Hz) and gives its samples.
    std::vector<int16_t> render(const std::string& name, std::string* errors = nullptr) {
        CapturedErrors captured;
        auto r = run({"render", song, "-o", dir.file(name), "--quality", "8", "--quiet"});
        EXPECT_EQ(r.status, 0) << r.err;
        if (errors) *errors = captured.text() + r.err;  // the command's messages go to its error stream
        return readSamples(dir.file(name));
    }

    test::ScratchFolders scratch;
    test::TempDir dir;
    std::string voiceDir, configDir, midi, song;
};

TEST_F(EffectRender, EffectCommandKeepsTheNumbersSongsUse) {
    auto r = run({"effect", "list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "no effect plug-ins registered\n");
    ASSERT_EQ(run({"effect", "add", test::shippedEffect("echo")}).status, 0);
    ASSERT_EQ(run({"effect", "add", test::shippedEffect("tone")}).status, 0);
    ASSERT_EQ(run({"effect", "add", test::badEffect("error")}).status, 0);
    r = run({"effect", "add", test::shippedEffect("tone")});
    EXPECT_EQ(r.out, "already registered as plug-in 2\n");
    r = run({"effect", "add", dir.file("lyrics.txt")});
    EXPECT_EQ(r.status, 2);

    ASSERT_EQ(run({"effect", "remove", "2"}).status, 0);
    r = run({"effect", "list"});
    EXPECT_NE(r.out.find(" 1  Echo  " + test::shippedEffect("echo") + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("        1 : Short echo (100 ms)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" 2  (free)\n 3  Test error"), std::string::npos) << r.out;
    // Removing the last drops the free places before it too; a new one comes next.
    ASSERT_EQ(run({"effect", "remove", "3"}).status, 0);
    EXPECT_EQ(run({"effect", "remove", "2"}).status, 1);
    r = run({"effect", "add", test::shippedEffect("tone")});
    EXPECT_EQ(r.out, "registered as plug-in 2: Gain and tone\n");

    // The registered list is in the settings file, read as the program reads it.
    Settings settings;
    ASSERT_TRUE(settings.load(configDir + "/Kantor.ini"));
    EXPECT_EQ(settings.pluginFiles(), (std::vector<std::string>{test::shippedEffect("echo"), test::shippedEffect("tone")}));
}

TEST_F(EffectRender, APhraseWithAnEchoRendersWithTheEchoWhereItShouldBe) {
    const std::vector<int16_t> plain = render("plain.wav");
    ASSERT_EQ(run({"effect", "add", test::shippedEffect("echo")}).status, 0);
    // Only the second phrase (note 2) gets the short echo: 100 ms apart, 0.5, 0.25, 0.125.
    auto r = run({"effect", "set", song, "--channel", "1", "--note", "2", "1:1"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<int16_t> echoed = render("echo.wav");
    constexpr std::size_t d = 4410;
    ASSERT_EQ(echoed.size(), plain.size() + 3 * d);
    // The first phrase is as it was; where the second begins, the echo is added to it.
    std::size_t second = 0;
    for (std::size_t i = 30000; i < plain.size() && !second; ++i)
        if (plain[i] != 0 && energy(plain, i - 2000, i) == 0) second = i;
    ASSERT_GT(second, 0u);
    std::size_t checked = 0;
    for (std::size_t i = 0; i < echoed.size(); ++i) {
        double expected = i < plain.size() ? plain[i] : 0;
        for (std::size_t k = 1; k <= 3; ++k)
            if (i >= second + k * d && i - k * d < plain.size()) expected += std::ldexp(1.0, -int(k)) * plain[i - k * d];
        if (std::abs(expected) > 32000) continue;
        ASSERT_NEAR(echoed[i], expected, 1.0) << "sample " << i;
        ++checked;
    }
    EXPECT_GT(checked, echoed.size() * 9 / 10);
    EXPECT_GT(energy(echoed, plain.size(), echoed.size()), 0);

    // The song defaults reach every phrase.
    ASSERT_EQ(run({"effect", "set", song, "--channel", "1", "--note", "2"}).status, 0);
    ASSERT_EQ(run({"effect", "set", song, "1:1"}).status, 0);
    const std::vector<int16_t> both = render("both.wav");
    // The first phrase ends near 0.47 s; its echoes follow.
    EXPECT_GT(energy(both, 22000, 28000), 1000.0);
    EXPECT_EQ(energy(plain, 22000, 28000), 0);
}

TEST_F(EffectRender, EachBadLibraryIsReportedOnceItsSlotEmptiedAndTheNextEffectStillApplied) {
    const std::vector<int16_t> plain = render("plain.wav");
    ASSERT_EQ(run({"effect", "add", test::shippedEffect("echo")}).status, 0);
    struct Case {
        std::string kind, text;
    };
    const Case cases[] = {
        {"error", "Test library error 7: the effect refused."},
        {"crash", "The effect "},
        {"longoutput", "cannot be right"},
        {"nogetmsg", ""},  // never loads: skipped silently
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        ASSERT_EQ(run({"effect", "add", test::badEffect(c.kind)}).status, 0);
        // Plug-in 2 is the bad one; every phrase asks for it first, then the echo.
        ASSERT_EQ(run({"effect", "set", song, "--channel", "1", "2:1", "1:1"}).status, 0);
        std::string errors;
        const std::vector<int16_t> out = render(c.kind + ".wav", &errors);
        if (c.text.empty()) {
            EXPECT_EQ(errors, "");
        } else {
            // One box for the first phrase; the second phrase no longer calls the library.
            const std::string head = "[外部ｴﾌｪｸﾀ・ｴﾗｰ] Test " + c.kind + "|    1 : Misbehav\n";
            EXPECT_EQ(errors.find(head), 0u) << errors;
            EXPECT_NE(errors.find(c.text), std::string::npos) << errors;
            EXPECT_EQ(errors.find("[外部", 1), std::string::npos) << errors;
        }
        // Both phrases have their echo: the last one's tail makes the file 300 ms longer.
        EXPECT_EQ(out.size(), plain.size() + 3 * 4410);
        ASSERT_EQ(run({"effect", "remove", "2"}).status, 0);
    }
}

TEST_F(EffectRender, AHangingLibraryIsStoppedAndTheSongInMemoryStaysAsItWas) {
    ASSERT_EQ(run({"effect", "add", test::badEffect("hang")}).status, 0);
    ASSERT_EQ(run({"effect", "add", test::shippedEffect("echo")}).status, 0);
    ASSERT_EQ(run({"effect", "set", song, "--channel", "1", "1:1", "2:2"}).status, 0);
    cli::CommonOptions options;
    options.voiceDir = voiceDir;
    options.configDir = configDir;
    cli::CliSession s(options);
    ASSERT_TRUE(s.session().openSong(song));
    const VoiceSettings before = s.song().channelDefaults(0);
    const std::size_t notes = s.song().channel(0).events.size();
    CapturedErrors captured;
    SongRenderer renderer(s.song(), s.engine());
    RenderRequest request;
    request.outputPath = dir.file("hang.wav");
    std::vector<PlaybackPiece> pieces;
    ASSERT_TRUE(renderer.renderSong(request, pieces)) << renderer.lastError();
    EXPECT_EQ(captured.text(),
              "[外部ｴﾌｪｸﾀ・ｴﾗｰ] Test hang|    1 : Misbehav\n"
              "The effect library did not finish within 5 seconds; it was stopped.\n");
    EXPECT_FALSE(s.effects().slotLoaded(0));
    EXPECT_TRUE(s.effects().slotLoaded(1));
    EXPECT_EQ(s.song().channelDefaults(0), before);
    EXPECT_EQ(s.song().channel(0).events.size(), notes);
    EXPECT_FALSE(pieces.empty());
}

TEST_F(EffectRender, TheMixdownHasTheEchoToo) {
    if (EmbeddedSynth::defaultSoundFont().empty()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    auto mix = [&](const std::string& name, std::string* errors) {
        CapturedErrors captured;
        auto r = run({"render", song, "--mix", "-o", dir.file(name), "--quiet"});
        EXPECT_EQ(r.status, 0) << r.err;
        *errors = captured.text() + r.err;
        return readSamples(dir.file(name));
    };
    std::string errors;
    const std::vector<int16_t> plain = mix("plain.wav", &errors);
    ASSERT_EQ(run({"effect", "add", test::badEffect("crash")}).status, 0);
    ASSERT_EQ(run({"effect", "add", test::shippedEffect("echo")}).status, 0);
    // The first phrase: the crashing library, then the long echo (300 ms apart).
    ASSERT_EQ(run({"effect", "set", song, "--channel", "1", "--note", "1", "1:1", "2:2"}).status, 0);
    const std::vector<int16_t> echoed = mix("echo.wav", &errors);
    EXPECT_EQ(errors.find("[外部ｴﾌｪｸﾀ・ｴﾗｰ] Test crash|    1 : Misbehav\nThe effect "), 0u) << errors;
    // Left channel, 450 to 950 ms: the first phrase has ended, its echoes sound.
    const double before = energy(plain, 19845, 41895, 2), after = energy(echoed, 19845, 41895, 2);
    EXPECT_GT(after, 10 * before + 1e6) << before << " " << after;
}

}  // namespace
}  // namespace kantor

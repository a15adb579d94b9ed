// kantor-cli render --mix: MIDI on the embedded synthesizer and the sung vocal in one stereo file.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "sound/WavFile.h"
#include "midi/SmfWriter.h"
#include "platform/EmbeddedSynth.h"
#include "support/CliRun.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"

namespace kantor {
namespace {

// Power of one frequency in the left channel of frames [from, to) (Goertzel).
double powerAt(const std::vector<int16_t>& stereo, double hz, std::size_t from, std::size_t to) {
    const double w = 2 * M_PI * hz / 44100.0, c = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (std::size_t k = from; k < to; ++k) {
        const double s = stereo[2 * k] + c * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return (s1 * s1 + s2 * s2 - c * s1 * s2) / double(to - from) / double(to - from);
}

TEST(MixCommand, WritesAStereoFileWithTheSynthesizerAndTheVocal) {
    if (EmbeddedSynth::defaultSoundFont().empty()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    test::TempDir dir;
    const std::string voices = dir.file("voices"), config = dir.file("config");
    std::filesystem::create_directories(voices);
    std::filesystem::create_directories(config);
    test::writeSyntheticVoice(voices, "MixVox", {{"A", "あ", 69}});
    // Channel 2 plays a note alone for the first second (piano, 440 Hz); then channel 1
    // sings "A" on note 69, which sounds at 220 Hz (the vocal is an octave below the MIDI).
    SmfTrack t;
    t.tempo(0, 500000);
    t.note(0, 700, 1, 69, 100);
    t.note(1440, 2400, 0, 69, 100);
    const std::vector<uint8_t> smf = buildSmf(0, 480, {t});
    std::ofstream(dir.file("mix.mid"), std::ios::binary).write(reinterpret_cast<const char*>(smf.data()), static_cast<std::streamsize>(smf.size()));
    std::ofstream(dir.file("lyrics.txt")) << "A\n";
    auto r = test::runCli({"new", dir.file("mix.mid"), "-o", dir.file("mix.uta"), "--vox", "1", "--lyrics",
                           dir.file("lyrics.txt"), "--voice", "MixVox", "--voice-dir", voices, "--config-dir", config});
    ASSERT_EQ(r.status, 0) << r.err;

    r = test::runCli({"render", dir.file("mix.uta"), "--mix", "-o", dir.file("out.wav"), "--voice-dir", voices,
                      "--config-dir", config});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Format : 16bit, 44100Hz, Stereo"), std::string::npos) << r.out;
    // Into a device: written through, and the summary comes from what was written (the
    // device cannot be read back).
    const std::string summary = r.out.substr(r.out.find("Format"));
    r = test::runCli({"render", dir.file("mix.uta"), "--mix", "-o", "/dev/null", "--voice-dir", voices, "--config-dir",
                      config});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Mixdown\n/dev/null\n" + summary);

    WavReader reader;
    WaveFormatTriple format;
    ASSERT_TRUE(reader.readFormat(dir.file("out.wav"), format));
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.bitsPerSample, 16);
    EXPECT_EQ(format.samplesPerSec, 44100u);
    SoundBuffer data;
    ASSERT_TRUE(reader.readData(dir.file("out.wav"), data));
    const std::vector<int16_t> s = data.samples();
    // The song lasts 2.5 s; the mixdown stops when the sound has died away.
    ASSERT_GT(s.size() / 2, 44100u * 5 / 2);
    EXPECT_LT(s.size() / 2, 44100u * 7);

    // First second: the piano alone (440 Hz, nothing at 220 Hz).
    const double pianoAt440 = powerAt(s, 440, 4410, 22050), pianoAt220 = powerAt(s, 220, 4410, 22050);
    EXPECT_GT(pianoAt440, 1e4);
    EXPECT_GT(pianoAt440, 50 * pianoAt220);
    // While channel 1 sings: the vocal's 220 Hz, far above what the piano had there.
    const double sungAt220 = powerAt(s, 220, 70000, 90000);
    EXPECT_GT(sungAt220, 100 * pianoAt220);
    EXPECT_GT(sungAt220, 1e4);
}

TEST(MixCommand, RefusesWhatCannotBeMixed) {
    test::TempDir dir;
    auto r = test::runCli({"render", dir.file("none.uta"), "--mix", "-o", dir.file("out.wav"), "--config-dir",
                           dir.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.wav")));
    r = test::runCli({"render", dir.file("none.uta"), "--mix"});
    EXPECT_EQ(r.status, 2);
}

}  // namespace
}  // namespace kantor

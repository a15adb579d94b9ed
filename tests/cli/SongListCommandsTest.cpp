// kantor-cli lyric and wave on a song file, and the mute and solo switches of render: what
// they change, what they refuse (leaving the song as it was), and an inserted click found in
// the mixdown at its bar.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "sound/WavFile.h"
#include "base/FileIO.h"
#include "midi/SmfWriter.h"
#include "platform/EmbeddedSynth.h"
#include "support/CliRun.h"
#include "support/SyntheticVoice.h"
#include "support/TempDir.h"
#include "sound/SoundFormat.h"

namespace kantor {
namespace {

using test::runCli;

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> readBytes(const std::string& path) {
    std::vector<uint8_t> b;
    readWholeFile(path, b);
    return b;
}

// A mono WAV whose sound is `frames` samples of silence with a click at `clickAt`.
void writeClick(const std::string& path, uint16_t bits, uint32_t rate, uint32_t frames = 4410, uint32_t clickAt = 0) {
    std::vector<uint8_t> bytes = wavHeader(packFormat(bits, 1), rate, frames * bits / 8);
    for (uint32_t i = 0; i < frames; ++i) {
        const int16_t v = i >= clickAt && i < clickAt + 20 ? 24000 : 0;
        if (bits == 8) {
            bytes.push_back(v ? 250 : 128);
        } else {
            bytes.push_back(static_cast<uint8_t>(v & 0xFF));
            bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
        }
    }
    writeBytes(path, bytes);
}

// A song in its own folder: 4/4 at 120 beats a minute (a bar lasts 2 s), 480 ticks a quarter,
// channel 1 singing "A" in bar 2 and channel 2 playing in bar 1; five bars.
struct SongFolder {
    test::TempDir dir;
    std::string voices = dir.file("voices"), config = dir.file("config"), song = dir.file("s/song.uta");
    SongFolder() {
        for (const char* d : {"voices", "config", "s", "elsewhere"}) std::filesystem::create_directories(dir.file(d));
        test::writeSyntheticVoice(voices, "TestVox", {{"A", "あ", 69}});
        SmfTrack t;
        t.tempo(0, 500000).timeSignature(0, 4, 2);
        t.note(0, 700, 1, 69, 100);
        t.note(1920, 2400, 0, 69, 100);
        t.endOfTrack(1920 * 5);
        writeBytes(dir.file("s/song.mid"), buildSmf(0, 480, {t}));
        std::ofstream(dir.file("lyrics.txt")) << "A\n";
        const auto r = run({"new", dir.file("s/song.mid"), "-o", song, "--vox", "1", "--lyrics", dir.file("lyrics.txt"),
                            "--voice", "TestVox"});
        EXPECT_EQ(r.status, 0) << r.err;
    }
    test::CliResult run(cli::Args args) const {
        for (const char* o : {"--voice-dir", "--config-dir"}) args.push_back(o), args.push_back(o[2] == 'v' ? voices : config);
        return runCli(args);
    }
};

TEST(LyricCommand, AddsListsReplacesAndRemovesLines) {
    SongFolder f;
    auto r = f.run({"lyric", "add", f.song, "--at", "1930", "はるのうららの  "});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "added 002 : 1 : 000\t1920\n");  // rounded to the quarter-note grid
    ASSERT_EQ(f.run({"lyric", "add", f.song, "--at", "0", "さくら"}).status, 0);
    r = f.run({"lyric", "list", f.song});
    EXPECT_EQ(r.out, "001 : 1 : 000\t0\tさくら\n002 : 1 : 000\t1920\tはるのうららの\n");

    const std::vector<uint8_t> before = readBytes(f.song);
    r = f.run({"lyric", "add", f.song, "--at", "1920", "すみだがわ"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("既に同じ位置に歌詞が存在します。入れ換えますか？"), std::string::npos) << r.err;
    r = f.run({"lyric", "add", f.song, "--at", "100000", "おわり"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("歌詞の位置が曲の終わりを越えています。"), std::string::npos) << r.err;
    EXPECT_EQ(f.run({"lyric", "add", f.song, "--at", "480", "   "}).status, 2);
    EXPECT_EQ(f.run({"lyric", "add", f.song, "--at", "480", std::string(64, 'x')}).status, 1);
    r = f.run({"lyric", "remove", f.song, "--at", "480"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("削除する歌詞が選択されていません。"), std::string::npos);
    EXPECT_EQ(readBytes(f.song), before);  // every refusal left the song as it was

    ASSERT_EQ(f.run({"lyric", "add", f.song, "--at", "1920", "すみだがわ", "--replace"}).status, 0);
    ASSERT_EQ(f.run({"lyric", "remove", f.song, "--at", "0"}).status, 0);
    EXPECT_EQ(f.run({"lyric", "list", f.song}).out, "002 : 1 : 000\t1920\tすみだがわ\n");
}

TEST(WaveCommand, InsertsCopiesReplacesAndRefuses) {
    SongFolder f;
    writeClick(f.dir.file("s/clap.wav"), 16, 22050);
    writeClick(f.dir.file("elsewhere/kick.wav"), 16, 44100);
    writeClick(f.dir.file("elsewhere/low.wav"), 8, 22050);
    std::ofstream(f.dir.file("elsewhere/bad.wav")) << "RIFF....WAVEjunk";
    auto r = f.run({"wave", "insert", f.song, f.dir.file("s/clap.wav"), "--at", "3840"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "inserted 003 : 1 : 000\t3840\tclap.wav\n");

    const std::vector<uint8_t> before = readBytes(f.song);
    r = f.run({"wave", "insert", f.song, f.dir.file("elsewhere/kick.wav"), "--at", "0"});  // no --copy
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("WaveﾌｧｲﾙはMidiﾌｧｲﾙと同じﾌｫﾙﾀﾞに格納する必要があります。"), std::string::npos) << r.err;
    const char* refusals[][2] = {
        {"elsewhere/low.wav", "挿入Waveﾌｧｲﾙが対応してないWaveﾌｧｲﾙ形式です。\n現在選択できるのは 16bit, "},
        {"elsewhere/bad.wav", "wave insert: "},
        {"elsewhere/missing.wav", wavtext::kOpenFailed},
        {"s/clap.wav", "既に同じ位置にWaveﾌｧｲﾙが存在します。入れ換えますか？"},  // no --replace
    };
    for (const auto& [file, text] : refusals) {
        r = f.run({"wave", "insert", f.song, f.dir.file(file), "--at", "3840", "--copy"});
        EXPECT_EQ(r.status, 1) << file;
        EXPECT_NE(r.err.find(text), std::string::npos) << file << ": " << r.err;
    }
    r = f.run({"wave", "insert", f.song, f.dir.file("s/clap.wav"), "--at", "100000"});  // after the last bar's start
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readBytes(f.song), before);
    EXPECT_FALSE(std::filesystem::exists(f.dir.file("s/kick.wav")));

    // Copied beside the MIDI file, and the entry names the copy.
    r = f.run({"wave", "insert", f.song, f.dir.file("elsewhere/kick.wav"), "--at", "3840", "--copy", "--replace"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "replaced 003 : 1 : 000\t3840\tkick.wav\n");
    EXPECT_TRUE(std::filesystem::exists(f.dir.file("s/kick.wav")));
    r = f.run({"wave", "list", f.song});
    EXPECT_EQ(r.out, "003 : 1 : 000\t3840\tkick.wav\n");
    EXPECT_TRUE(r.err.empty()) << r.err;
    std::filesystem::remove(f.dir.file("s/kick.wav"));
    r = f.run({"wave", "list", f.song});
    EXPECT_EQ(r.err, "Midiﾌｧｲﾙと同じﾌｫﾙﾀﾞに kick.wav が見つかりません。\n");
    EXPECT_EQ(f.run({"wave", "remove", f.song, "--at", "0"}).status, 1);
    ASSERT_EQ(f.run({"wave", "remove", f.song, "--at", "3840"}).status, 0);
    EXPECT_EQ(f.run({"wave", "list", f.song}).out, "");
}

TEST(RenderSwitches, AVocalSoloSingsOnlyItsChannelAndAMidiSoloSilencesEveryVocal) {
    SongFolder f;
    auto r = f.run({"render", f.song, "-o", f.dir.file("all.wav"), "-q"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = f.run({"render", f.song, "-o", f.dir.file("solo.wav"), "-q", "--vox-solo", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    // A MIDI solo (on channel 1's own MIDI) leaves every vocal without a solo of its own out.
    r = f.run({"render", f.song, "-o", f.dir.file("midi.wav"), "-q", "--midi-solo", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nothing to sing"), std::string::npos) << r.err;
    r = f.run({"render", f.song, "-o", f.dir.file("muted.wav"), "-q", "--vox-mute", "2,1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(f.run({"render", f.song, "-o", f.dir.file("x.wav"), "--vox-mute", "17"}).status, 2);
}

TEST(MixCommand, AClickInsertedAtBarThreeSoundsAtBarThreesTime) {
    if (EmbeddedSynth::defaultSoundFont().empty()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    SongFolder f;
    writeClick(f.dir.file("s/click.wav"), 16, 44100, 4410, 0);
    ASSERT_EQ(f.run({"wave", "insert", f.song, f.dir.file("s/click.wav"), "--at", "3840"}).status, 0);
    // Only the click: the MIDI and the vocal are switched off for this run.
    auto r = f.run({"render", f.song, "--mix", "-o", f.dir.file("mix.wav"), "-q", "--midi-mute", "1,2", "--vox-mute",
                    "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    WavReader reader;
    SoundBuffer data;
    ASSERT_TRUE(reader.readData(f.dir.file("mix.wav"), data));
    const std::vector<int16_t> s = data.samples();
    std::size_t first = s.size();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (std::abs(int(s[i])) > 2000) {
            first = i / 2;  // stereo frames
            break;
        }
    }
    ASSERT_LT(first, s.size());
    const double ms = first * 1000.0 / 44100.0;
    EXPECT_NEAR(ms, 4000.0, 1.0);  // bar 3 starts at tick 3840: 8 quarter notes of 500 ms
}

}  // namespace
}  // namespace kantor

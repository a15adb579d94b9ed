// Inserting wave files into a song: the format checks, the copy beside the MIDI file, the
// replace question, the removal, and the check of a song's inserted files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sound/WavFile.h"
#include "audio/WaveInsertion.h"
#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "midi/TempoMap.h"
#include "song/Song.h"
#include "song/TestPrompt.h"
#include "support/TempDir.h"
#include "sound/SoundFormat.h"

namespace kantor {
namespace {

void writeWav(const std::string& path, uint16_t bits, uint16_t channels, uint32_t rate, uint32_t frames = 100) {
    std::vector<uint8_t> bytes = wavHeader(packFormat(bits, channels), rate, frames * channels * bits / 8);
    bytes.resize(bytes.size() + frames * channels * bits / 8, bits == 8 ? 128 : 0);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

struct Folder {
    test::TempDir dir;
    Song song;
    test::RecordingPrompt prompt;
    std::string midi;
    Folder() {
        std::filesystem::create_directories(dir.file("song"));
        midi = dir.file("song/a.mid");
        writeWav(dir.file("song/clap.wav"), 16, 1, 22050);
        writeWav(dir.file("song/kick.wav"), 16, 2, 44100);
    }
    WaveInsertResult insert(uint32_t at, const std::string& file) {
        return insertWaveFile(song, midi, at, file, 16, prompt);
    }
};

TEST(WaveInsertion, InsertsInPositionOrderWithTheFilesFormat) {
    Folder f;
    WaveInsertResult r = f.insert(3840, f.dir.file("song/clap.wav"));
    ASSERT_EQ(r.outcome, WaveInsertOutcome::Inserted);
    r = f.insert(960, f.dir.file("song/kick.wav"));
    EXPECT_EQ(r.index, 0);
    ASSERT_EQ(f.song.waveInserts().size(), 2u);
    const WaveInsert& kick = *f.song.waveInserts()[0];
    EXPECT_EQ(kick.name, "kick.wav");
    EXPECT_EQ(kick.path, f.dir.file("song/kick.wav"));
    EXPECT_EQ(kick.waveValue1, packFormat(16, 2));
    EXPECT_EQ(kick.waveValue2, 44100u);
    EXPECT_TRUE(f.prompt.shown.empty());  // same folder, free positions: nothing asked
    EXPECT_TRUE(removeWaveInsert(f.song, 0));
    EXPECT_FALSE(removeWaveInsert(f.song, 1));
    EXPECT_EQ(f.song.waveInserts()[0]->name, "clap.wav");
}

TEST(WaveInsertion, TwoFilesAtOnePositionAskBeforeReplacing) {
    Folder f;
    ASSERT_TRUE(f.insert(1920, f.dir.file("song/clap.wav")).changed());
    f.prompt.answer = PromptAnswer::No;
    EXPECT_EQ(f.insert(1920, f.dir.file("song/kick.wav")).outcome, WaveInsertOutcome::Cancelled);
    ASSERT_EQ(f.prompt.shown.size(), 1u);
    EXPECT_EQ(f.prompt.shown[0].caption, "確認");
    EXPECT_EQ(f.prompt.shown[0].text, wavetext::kAskReplace);
    EXPECT_EQ(f.song.waveInserts()[0]->name, "clap.wav");
    f.prompt.answer = PromptAnswer::Yes;
    const WaveInsertResult r = f.insert(1920, f.dir.file("song/kick.wav"));
    EXPECT_EQ(r.outcome, WaveInsertOutcome::Replaced);
    ASSERT_EQ(f.song.waveInserts().size(), 1u);
    EXPECT_EQ(f.song.waveInserts()[0]->name, "kick.wav");
    EXPECT_EQ(f.song.waveInserts()[0]->position, 1920u);
}

TEST(WaveInsertion, AFileFromElsewhereIsCopiedBesideTheMidiFileFirst) {
    Folder f;
    std::filesystem::create_directories(f.dir.file("other"));
    writeWav(f.dir.file("other/snare.wav"), 16, 1, 11025);
    f.prompt.answer = PromptAnswer::No;
    EXPECT_EQ(f.insert(0, f.dir.file("other/snare.wav")).outcome, WaveInsertOutcome::Cancelled);
    EXPECT_EQ(f.prompt.shown.back().text, wavetext::kMustCopy);
    EXPECT_FALSE(std::filesystem::exists(f.dir.file("song/snare.wav")));
    EXPECT_TRUE(f.song.waveInserts().empty());

    f.prompt.answer = PromptAnswer::Yes;
    ASSERT_TRUE(f.insert(0, f.dir.file("other/snare.wav")).changed());
    EXPECT_TRUE(std::filesystem::exists(f.dir.file("song/snare.wav")));
    EXPECT_EQ(f.song.waveInserts()[0]->path, f.dir.file("song/snare.wav"));  // the entry names the copy

    // A file of that name beside the MIDI file is replaced only when the user agrees.
    writeWav(f.dir.file("other/clap.wav"), 16, 1, 44100, 7);
    f.prompt.shown.clear();
    f.prompt.answer = PromptAnswer::No;
    EXPECT_EQ(f.insert(480, f.dir.file("other/clap.wav")).outcome, WaveInsertOutcome::Cancelled);
    EXPECT_EQ(f.prompt.shown.size(), 1u);  // the copy question; a No there ends it
    EXPECT_EQ(std::filesystem::file_size(f.dir.file("song/clap.wav")), kWavHeaderSize + 200);
}

TEST(WaveInsertion, RefusesFilesTheSongCannotPlay) {
    Folder f;
    writeWav(f.dir.file("song/low.wav"), 8, 1, 22050);
    writeWav(f.dir.file("song/odd.wav"), 16, 1, 32000);
    writeWav(f.dir.file("song/six.wav"), 16, 6, 44100);
    std::ofstream(f.dir.file("song/text.wav")) << "not a wave";
    for (const char* name : {"low.wav", "odd.wav", "six.wav"}) {
        f.prompt.shown.clear();
        const WaveInsertResult r = f.insert(0, f.dir.file(std::string("song/") + name));
        EXPECT_EQ(r.outcome, WaveInsertOutcome::Failed) << name;
        ASSERT_EQ(f.prompt.shown.size(), 1u);
        EXPECT_EQ(f.prompt.shown[0].caption, "Error");
        EXPECT_EQ(f.prompt.shown[0].text,
                  "挿入Waveﾌｧｲﾙが対応してないWaveﾌｧｲﾙ形式です。\n現在選択できるのは 16bit, 11025kHz or 22050kHz or "
                  "44100kHz のWaveﾌｧｲﾙです。\n");
    }
    // With 8-bit output the 8-bit file goes in.
    EXPECT_TRUE(insertWaveFile(f.song, f.midi, 0, f.dir.file("song/low.wav"), 8, f.prompt).changed());
    f.song.waveInserts().clear();
    f.prompt.shown.clear();
    EXPECT_EQ(f.insert(0, f.dir.file("song/text.wav")).outcome, WaveInsertOutcome::Failed);
    EXPECT_EQ(f.prompt.shown[0].text, wavtext::kNotWave);
    EXPECT_EQ(f.insert(0, f.dir.file("song/missing.wav")).outcome, WaveInsertOutcome::Failed);
    EXPECT_EQ(f.prompt.shown.back().text,
              std::string(wavtext::kOpenFailed) + "\n" + f.dir.file("song/missing.wav") + ": No such file or directory");
    // Another extension is ignored without a word.
    f.prompt.shown.clear();
    EXPECT_EQ(f.insert(0, f.dir.file("song/clap.aiff")).outcome, WaveInsertOutcome::Cancelled);
    EXPECT_TRUE(f.prompt.shown.empty());
    EXPECT_TRUE(f.song.waveInserts().empty());
}

TEST(WaveInsertion, ChecksTheSongsInsertedFiles) {
    Folder f;
    ASSERT_TRUE(f.insert(0, f.dir.file("song/clap.wav")).changed());
    ASSERT_TRUE(f.insert(480, f.dir.file("song/kick.wav")).changed());
    EXPECT_TRUE(insertedWaveProblems(f.song, f.midi, 16).empty());
    std::filesystem::remove(f.dir.file("song/clap.wav"));
    std::ofstream(f.dir.file("song/kick.wav")) << "RIFF";
    const auto problems = insertedWaveProblems(f.song, f.midi, 16);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0], "Midiﾌｧｲﾙと同じﾌｫﾙﾀﾞに clap.wav が見つかりません。\n");
    EXPECT_EQ(problems[1].rfind("kick.wav : ", 0), 0u);
    writeWav(f.dir.file("song/kick.wav"), 16, 1, 44100);
    const auto eight = insertedWaveProblems(f.song, f.midi, 8);  // a 16-bit file while the output is 8-bit
    ASSERT_EQ(eight.size(), 2u);
    EXPECT_EQ(eight[1], "kick.wav : " + unsupportedFormatText());
    EXPECT_EQ(waveInsertAtOrBefore(f.song, 479), 0);
    EXPECT_EQ(waveInsertAtOrBefore(f.song, 480), 1);
}

TEST(WaveSteps, ASixteenthToOpenAtThenTickByTickToTheLastMeasure) {
    SmfTrack t;
    t.tempo(0, 500000).timeSignature(0, 4, 2).note(0, 100, 0, 60, 100).endOfTrack(7680);
    MidiFile midi;
    ASSERT_TRUE(midi.loadImage(buildSmf(0, 480, {t}), "x.mid"));
    TempoMap map;
    ASSERT_TRUE(map.build(midi));
    const WaveSteps s = WaveSteps::of(map);
    EXPECT_EQ(s.step, 120u);
    EXPECT_EQ(s.round(1000), 960u);
    EXPECT_EQ(s.round(1020), 1080u);
    EXPECT_EQ(s.end, map.measures().back().start);
}

}  // namespace
}  // namespace kantor

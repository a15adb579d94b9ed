// WAV files into and out of items: format check, rate conversion, the one-to-two-second
// rule, the replace question.
#include <gtest/gtest.h>

#include "../song/TestPrompt.h"
#include "sound/WavFile.h"
#include "support/TempDir.h"
#include "voicemaker/ItemWave.h"
#include "voicemaker/MakerTexts.h"

namespace kantor {
namespace {

std::vector<uint8_t> wavBytes(uint16_t bits, uint16_t channels, uint32_t rate, const std::vector<int16_t>& samples) {
    std::vector<uint8_t> data;
    for (int16_t s : samples) {
        data.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s)));
        data.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
    }
    std::vector<uint8_t> b = wavHeader(packFormat(bits, channels), rate, static_cast<uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

std::vector<int16_t> ramp(std::size_t n) {
    std::vector<int16_t> x(n);
    for (std::size_t i = 0; i < n; ++i) x[i] = static_cast<int16_t>(i % 20000 + 1);
    return x;
}

TEST(ItemWaveTest, HalfSecondEndsAZeroFilledSecond) {
    test::TempDir dir;
    std::string path = dir.write("half.wav", wavBytes(16, 1, 44100, ramp(22050)));
    VoiceItem item = *VoiceItem::make("A", "あ", 60);
    ItemWave io;
    ASSERT_EQ(io.importWave(item, path), Outcome::Done) << io.lastError();
    ASSERT_EQ(item.dataLength(), 88200u);
    std::vector<int16_t> x = item.data.samples();
    for (std::size_t i = 0; i < 22050; ++i) ASSERT_EQ(x[i], 0) << i;
    for (std::size_t i = 0; i < 22050; ++i) ASSERT_EQ(x[22050 + i], int16_t(i % 20000 + 1)) << i;
}

TEST(ItemWaveTest, LowerRatesAreConvertedAndLongSoundIsCut) {
    test::TempDir dir;
    ItemWave io;
    VoiceItem item = *VoiceItem::make("A", "あ", 60);
    // One second at 22,050 Hz doubles to exactly one second at 44,100 Hz.
    ASSERT_EQ(io.importWaveBytes(item, wavBytes(16, 1, 22050, ramp(22050))), Outcome::Done) << io.lastError();
    EXPECT_EQ(item.dataLength(), 88200u);
    EXPECT_EQ(item.data.sample(2), 2);   // input sample 1
    EXPECT_EQ(item.data.sample(3), 2);   // between 2 and 3, truncated
    // Three seconds at 11,025 Hz are cut after two seconds.
    item.data.reset();
    ASSERT_EQ(io.importWave(item, dir.write("long.WAV", wavBytes(16, 1, 11025, ramp(33075)))), Outcome::Done);
    EXPECT_EQ(item.dataLength(), 176400u);
}

TEST(ItemWaveTest, UnsupportedFormatsAndFiles) {
    test::TempDir dir;
    ItemWave io;
    VoiceItem item = *VoiceItem::make("A", "あ", 60);
    const std::string unsupported =
        "未対応なWaveﾌｧｲﾙ形式です。\n現在選択できるのは 16bit, Mono, 11025kHz or 22050kHz or 44100kHz のWaveﾌｧｲﾙです。\n";
    EXPECT_EQ(unsupportedWaveText(), unsupported);
    for (auto bytes : {wavBytes(16, 2, 44100, ramp(1000)), wavBytes(8, 1, 44100, ramp(1000)),
                       wavBytes(16, 1, 48000, ramp(1000)), wavBytes(16, 1, 8000, ramp(1000))}) {
        EXPECT_EQ(io.importWaveBytes(item, bytes), Outcome::Failed);
        EXPECT_EQ(io.lastError(), unsupported);
    }
    std::vector<uint8_t> adpcm = wavBytes(16, 1, 44100, ramp(1000));
    adpcm[20] = 2;  // format tag: not PCM
    EXPECT_EQ(io.importWaveBytes(item, adpcm), Outcome::Failed);
    EXPECT_EQ(io.lastError(), unsupported);
    EXPECT_EQ(io.importWave(item, dir.file("missing.wav")), Outcome::Failed);
    EXPECT_EQ(io.lastError(), std::string(wavtext::kOpenFailed) + "\n" + dir.file("missing.wav") + ": No such file or directory");
    EXPECT_EQ(io.importWave(item, dir.write("x.txt", wavBytes(16, 1, 44100, ramp(10)))), Outcome::Cancelled);
    EXPECT_EQ(io.lastError(), "");
    EXPECT_FALSE(item.hasData());
}

TEST(ItemWaveTest, ReplacingDataAsksFirst) {
    test::RecordingPrompt prompt;
    ItemWave io(&prompt);
    VoiceItem item = *VoiceItem::make("A", "あ", 60);
    ASSERT_TRUE(setItemSound(item, ramp(50000)));
    item.setMarkers({1, 2, 500, 1000});
    item.recordedPosition = 1234;
    item.normalize = 0;
    item.volume = 30;
    prompt.answer = PromptAnswer::No;
    EXPECT_EQ(io.importWaveBytes(item, wavBytes(16, 1, 44100, std::vector<int16_t>(100, 9))), Outcome::Cancelled);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].caption, "確認");
    EXPECT_EQ(prompt.shown[0].text, "既にWaveﾃﾞｰﾀが存在します。入れ換えますか？");
    EXPECT_EQ(item.data.sample(0), 1);
    EXPECT_EQ(item.markerD, 1000u);
    prompt.answer = PromptAnswer::Yes;
    EXPECT_EQ(io.importWaveBytes(item, wavBytes(16, 1, 44100, std::vector<int16_t>(100, 9))), Outcome::Done);
    EXPECT_EQ(item.data.sample(88200 / 2 - 1), 9);
    EXPECT_EQ(item.markers(), Markers{});
    EXPECT_EQ(item.recordedPosition, 0u);
    EXPECT_EQ(item.normalize, 1);
    EXPECT_EQ(item.volume, 100);
    // Without anyone to ask, existing data is kept.
    ItemWave silent;
    EXPECT_EQ(silent.importWaveBytes(item, wavBytes(16, 1, 44100, ramp(10))), Outcome::Cancelled);
}

TEST(ItemWaveTest, ExportWritesTheWholeData) {
    test::TempDir dir;
    VoiceItem item = *VoiceItem::make("A", "あ", 60);
    ItemWave io;
    EXPECT_EQ(io.exportWave(item, dir.file("none.wav")), Outcome::Cancelled);
    ASSERT_TRUE(setItemSound(item, ramp(100000)));
    EXPECT_EQ(io.exportWave(item, dir.file("x.mp3")), Outcome::Cancelled);
    ASSERT_EQ(io.exportWave(item, dir.file("out.wav")), Outcome::Done) << io.lastError();
    WavReader reader;
    WaveFormatTriple f;
    ASSERT_TRUE(reader.readFormat(dir.file("out.wav"), f));
    EXPECT_EQ(f.bitsPerSample, 16);
    EXPECT_EQ(f.channels, 1);
    EXPECT_EQ(f.samplesPerSec, 44100u);
    SoundBuffer back;
    ASSERT_TRUE(reader.readData(dir.file("out.wav"), back));
    EXPECT_EQ(back.samples(), item.data.samples());
    // And it imports back unchanged.
    VoiceItem again = *VoiceItem::make("A", "あ", 60);
    ASSERT_EQ(io.importWave(again, dir.file("out.wav")), Outcome::Done);
    EXPECT_EQ(again.data.samples(), item.data.samples());
}

}  // namespace
}  // namespace kantor

#include <gtest/gtest.h>

#include <sstream>

#include "sound/WavFile.h"
#include "base/ByteIO.h"
#include "cli/Commands.h"
#include "voice/VoiceTestFiles.h"

namespace kantor {
namespace {

TEST(InfoWavCommand, PrintsFormatSizeAndDuration) {
    testing::TempDir dir;
    std::string path = dir.file("a.wav");
    std::vector<SoundEntry> pieces(1);
    pieces[0].data = SoundBuffer::fromSamples(std::vector<int16_t>(44100 * 61 + 441 * 25, 3));  // 61.25 s
    WavWriter w;
    ASSERT_TRUE(w.writeSoundList(path, pieces, kMono16, 44100));
    std::ostringstream out, err;
    ASSERT_EQ(cli::run({"info", path}, out, err), 0) << err.str();
    EXPECT_NE(out.str().find("Format : 16bit, 44100Hz, Mono\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("Data : 5402250 byte (5.15 MB)\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("Time : 1 min 1 sec 250 ms\n"), std::string::npos);
    std::ostringstream json;
    ASSERT_EQ(cli::run({"info", "--json", path}, json, err), 0);
    EXPECT_EQ(json.str(),
              "{\"formatTag\":1,\"bitsPerSample\":16,\"channels\":1,\"samplesPerSec\":44100,"
              "\"format\":\"16bit, 44100Hz, Mono\",\"dataSize\":5402250,\"milliseconds\":61250,"
              "\"duration\":\"1 min 1 sec 250 ms\"}\n");
    std::ostringstream none, why;
    EXPECT_EQ(cli::run({"info", dir.file("missing.wav")}, none, why), 1);
    EXPECT_NE(why.str().find("Failed to open file."), std::string::npos);
}

TEST(InfoWavCommand, MoreThanTwoChannelsAreCountedNotCalledStereo) {
    testing::TempDir dir;
    // A 6-channel 16-bit 48000 Hz file with one second of data.
    std::vector<uint8_t> f = wavHeader(packFormat(16, 6), 48000, 48000 * 12);
    storeLE16(f.data() + 22, 6);
    f.resize(f.size() + 48000 * 12, 0);
    const std::string path = dir.write("surround.wav", f);
    std::ostringstream out, err;
    ASSERT_EQ(cli::run({"info", path}, out, err), 0) << err.str();
    EXPECT_NE(out.str().find("Format : 16bit, 48000Hz, 6 channels\n"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("Stereo"), std::string::npos) << out.str();
}

TEST(InfoWavCommand, TimeCodeDivisionsAreShownAsTimeCode) {
    EXPECT_EQ(cli::divisionText(480), "480 ticks per quarter note");
    EXPECT_EQ(cli::divisionText(0xE728), "time code, 25 frames per second, 40 ticks per frame");
}

}  // namespace
}  // namespace kantor

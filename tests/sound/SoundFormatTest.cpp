#include <gtest/gtest.h>

#include "sound/SoundFormat.h"
#include "synth/SoundTexts.h"

namespace kantor {
namespace {

TEST(SoundFormat, BytesForMilliseconds) {
    EXPECT_EQ(bytesForMilliseconds(kMono16, 44100, 1), 88u);
    EXPECT_EQ(bytesForMilliseconds(kMono16, 44100, 10), 882u);
    EXPECT_EQ(bytesForMilliseconds(kMono16, 44100, 150), 13230u);
    EXPECT_EQ(bytesForMilliseconds(packFormat(16, 2), 44100, 1), 176u);  // 176.4
    EXPECT_EQ(bytesForMilliseconds(kMono16, 11025, 21), 464u);  // 463.05 raised to a whole frame
    EXPECT_EQ(bytesForMilliseconds(packFormat(8, 1), 11025, 21), 231u);  // 231.525, block of 1
    // Whole seconds are exact (a decimal constant 0.001 in binary would give 11024 here).
    EXPECT_EQ(bytesForMilliseconds(packFormat(8, 1), 11025, 1000), 11025u);
    EXPECT_EQ(bytesForMilliseconds(packFormat(8, 1), 22050, 3000), 66150u);
    EXPECT_EQ(bytesForMilliseconds(packFormat(0, 0), 44100, 10), 0u);
}

TEST(SoundFormat, MillisecondsForBytesRoundsToNearest) {
    EXPECT_EQ(millisecondsForBytes(kMono16, 44100, 88200), 1000u);
    EXPECT_EQ(millisecondsForBytes(kMono16, 44100, 44), 0u);   // 0.499
    EXPECT_EQ(millisecondsForBytes(kMono16, 44100, 45), 1u);   // 0.510
    EXPECT_EQ(millisecondsForBytes(packFormat(8, 1), 8000, 4), 1u);  // exactly 0.5
    EXPECT_EQ(millisecondsForBytes(packFormat(8, 1), 8000, 3), 0u);
    EXPECT_EQ(millisecondsForBytes(kMono16, 0, 100), 0u);
    EXPECT_EQ(millisecondsForBytes(kMono16, 11025, 0xFFFFFFFFull), 194783097u);  // 4 GiB at 22050 B/s: 194783097.3
}

TEST(SoundFormat, SampleFormatCodes) {
    for (uint16_t code = 0; code < 12; ++code) {
        uint32_t packed = 0, rate = 0;
        ASSERT_TRUE(decodeSampleFormatCode(code, packed, rate));
        EXPECT_EQ(sampleFormatCode(packed, rate), code);
    }
    uint32_t packed = 0, rate = 0;
    ASSERT_TRUE(decodeSampleFormatCode(6, packed, rate));
    EXPECT_EQ(formatBits(packed), 8);
    EXPECT_EQ(formatChannels(packed), 1);
    EXPECT_EQ(rate, 22050u);
    ASSERT_TRUE(decodeSampleFormatCode(9, packed, rate));
    EXPECT_EQ(packed, packFormat(16, 2));
    EXPECT_EQ(rate, 44100u);
    EXPECT_FALSE(decodeSampleFormatCode(12, packed, rate));  // unchanged
    EXPECT_EQ(packed, packFormat(16, 2));
    EXPECT_EQ(rate, 44100u);
    WaveFormatRecord f = makeWaveFormat(packFormat(16, 2), 22050);
    EXPECT_EQ(f.avgBytesPerSec, 88200u);
    EXPECT_EQ(f.blockAlign, 4);
    EXPECT_EQ(f.formatTag, 1);
}

TEST(SoundTexts, SizesFormatsAndDurations) {
    EXPECT_EQ(sizeText(1023), "1023 byte");
    EXPECT_EQ(sizeText(1024), "1.00 KB");
    EXPECT_EQ(sizeText(1536), "1.50 KB");
    EXPECT_EQ(sizeText(1048575), "1023.99 KB");
    EXPECT_EQ(sizeText(1048576), "1.00 MB");
    EXPECT_EQ(sizeText(1572864 + 10486), "1.51 MB");
    EXPECT_EQ(sampleFormatText(kMono16, 44100), "16bit, 44100Hz, Mono");
    EXPECT_EQ(sampleFormatText(packFormat(8, 2), 11025), "8bit, 11025Hz, Stereo");
    EXPECT_EQ(durationText(3723456), "62 min 3 sec 456 ms");
    EXPECT_EQ(durationText(0), "0 min 0 sec 0 ms");
}

}  // namespace
}  // namespace kantor

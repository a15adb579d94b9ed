#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "synth/SoundPrimitives.h"

namespace kantor {
namespace {

TEST(ApplyVolume, ScalesTruncatesAndClamps) {
    std::vector<int16_t> in = {30000, -30000, 1, -1, 3, -3, 12345, -32768, 32767, 0};
    for (uint16_t percent : {0, 1, 29, 50, 99, 101, 150, 333, 65535}) {
        SoundBuffer b = SoundBuffer::fromSamples(in);
        applyVolume(b, percent);
        for (std::size_t i = 0; i < in.size(); ++i) {
            long double v = std::trunc(static_cast<long double>(percent) * in[i] / 100);
            v = std::clamp<long double>(v, -32768, 32767);
            ASSERT_EQ(b.sample(i), static_cast<int16_t>(v)) << percent << " " << in[i];
        }
    }
    SoundBuffer b = SoundBuffer::fromSamples(in);
    applyVolume(b, 150);
    EXPECT_EQ(b.sample(0), 32767);
    EXPECT_EQ(b.sample(1), -32768);
    applyVolume(b, 100);
    EXPECT_EQ(b.sample(0), 32767);
}

TEST(ApplyVolume, CountsAnOddLastByte) {
    SoundBuffer b;
    ASSERT_TRUE(b.assign(std::vector<uint8_t>{0x10, 0x00, 0x64}));  // 16, then a lone byte 100
    applyVolume(b, 50);
    EXPECT_EQ(b.sample(0), 8);
    EXPECT_EQ(b.data()[2], 50);
}

TEST(FadeOutEnd, FadesBeforeTrailingZeros) {
    // 2600 bytes whose last 100 bytes are zero: 2500 / 13 = 192 bytes are faded.
    std::vector<int16_t> in(1300, 0);
    for (std::size_t i = 0; i < 1250; ++i) in[i] = static_cast<int16_t>(i % 2 ? -20000 : 20001);
    SoundBuffer b = SoundBuffer::fromSamples(in);
    fadeOutEnd(b);
    const std::size_t first = (2500 - 192) / 2;
    for (std::size_t i = 0; i < first; ++i) ASSERT_EQ(b.sample(i), in[i]) << i;
    for (std::size_t k = 0; k < 96; ++k) {
        long long want = static_cast<long long>(in[first + k]) * (192 - 2 * static_cast<long long>(k)) / 192;
        ASSERT_EQ(b.sample(first + k), want) << k;
    }
    EXPECT_EQ(b.sample(first), in[first]);  // factor 192/192
    EXPECT_EQ(b.sample(1249), static_cast<int16_t>(-20000 * 2 / 192));
    for (std::size_t i = 1250; i < 1300; ++i) ASSERT_EQ(b.sample(i), 0);
}

TEST(FadeOutEnd, CapsAt1000BytesAndSkipsShortBuffers) {
    std::vector<int16_t> in(20000, 1000);
    SoundBuffer b = SoundBuffer::fromSamples(in);
    fadeOutEnd(b);
    EXPECT_EQ(b.sample(20000 - 501), 1000);
    EXPECT_EQ(b.sample(20000 - 500), 1000);  // k = 0
    EXPECT_EQ(b.sample(20000 - 499), 998);   // 1000 * 998 / 1000
    EXPECT_EQ(b.sample(19999), 2);
    std::vector<int16_t> shortOne(12, 1000);  // 24 bytes
    b = SoundBuffer::fromSamples(shortOne);
    fadeOutEnd(b);
    EXPECT_EQ(b.samples(), shortOne);
    std::vector<int16_t> silent(100, 0);
    b = SoundBuffer::fromSamples(silent);
    fadeOutEnd(b);
    EXPECT_EQ(b.samples(), silent);
}

TEST(NormaliseLevel, BringsTheMeanTo4000) {
    // Mean absolute value from sample 2 on: (1000 + 3000) / 2 = 2000, factor 2.
    std::vector<int16_t> in = {20000, -7, 1000, -3000};
    SoundBuffer b = SoundBuffer::fromSamples(in);
    normaliseLevel(b, 4);
    EXPECT_EQ(b.samples(), (std::vector<int16_t>{32767, -14, 2000, -6000}));
    // A mean that is not whole: 3 samples 1, 2, 2 -> m = 5/3, factor 2400.
    in = {1, 2, -2, 13, -14};
    b = SoundBuffer::fromSamples(in);
    normaliseLevel(b, 0);
    long double m = (1 + 2 + 2 + 13 + 14) / 5.0L;
    for (std::size_t i = 0; i < in.size(); ++i) {
        long double v = std::clamp<long double>(std::trunc(in[i] * (4000 / m)), -32768, 32767);
        EXPECT_EQ(b.sample(i), static_cast<int16_t>(v)) << i;
    }
    std::vector<int16_t> quiet = {5, 0, 0};
    b = SoundBuffer::fromSamples(quiet);
    normaliseLevel(b, 2);  // the measured part is silent
    EXPECT_EQ(b.samples(), quiet);
    normaliseLevel(b, 100);  // past the end
    EXPECT_EQ(b.samples(), quiet);
}

TEST(NormaliseLevel, IsExactlyTheWholeNumberFormulaForQuietLoudAndLongSounds) {
    // Every sample against x * 4000 * count / sum in 128 bits: recordings from near silence
    // to full scale, where the quotient lands on whole numbers, just beside them, and clamps.
    uint32_t seed = 7;
    for (int level : {1, 3, 40, 700, 9000, 32767}) {
        for (std::size_t n : {std::size_t(3), std::size_t(1001), std::size_t(88200)}) {
            std::vector<int16_t> in(n);
            for (std::size_t i = 0; i < n; ++i) {
                seed = seed * 1664525u + 1013904223u;
                in[i] = int16_t(std::clamp<int64_t>(int64_t(seed >> 16) % (2 * level + 1) - level, -32768, 32767));
            }
            in[0] = -32768;
            for (std::size_t start : {std::size_t(0), n / 2 * 2}) {
                SoundBuffer b = SoundBuffer::fromSamples(in);
                normaliseLevel(b, start);
                int64_t sum = 0;
                for (std::size_t i = start / 2; i < n; ++i) sum += std::abs(int64_t{in[i]});
                const int64_t count = int64_t(n - start / 2);
                for (std::size_t i = 0; i < n; ++i) {
                    int16_t want = in[i];
                    if (sum > 0 && start / 2 < n) {
                        const __int128 v = static_cast<__int128>(in[i]) * 4000 * count / sum;
                        want = int16_t(std::clamp<__int128>(v, -32768, 32767));
                    }
                    ASSERT_EQ(b.sample(i), want) << level << " " << n << " " << i;
                }
            }
        }
    }
}

}  // namespace
}  // namespace kantor

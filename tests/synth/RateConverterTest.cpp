#include <gtest/gtest.h>

#include <cmath>

#include "synth/RateConverter.h"
#include "sound/SoundFormat.h"

namespace kantor {
namespace {

std::vector<int16_t> ramp(std::size_t n) {
    std::vector<int16_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<int16_t>((i * 7919) % 65536 - 32768);
    return v;
}

// The interpolated value computed as the formula reads, in floating point.
int16_t between(int16_t u, int16_t w, int k, int j) {
    long double v = u + static_cast<long double>(w - u) / (k + 1) * j;
    return static_cast<int16_t>(std::trunc(v));
}

TEST(RateConverter, DownwardKeepsEveryFactorthSample) {
    std::vector<int16_t> in = ramp(1001);
    SoundBuffer b = SoundBuffer::fromSamples(in);
    ASSERT_TRUE(convertRate(kMono16, 44100, b, 11025));
    EXPECT_EQ(b.byteLength(), 2002u / 4);  // 500 bytes: 250 samples
    ASSERT_EQ(b.sampleCount(), 250u);
    for (std::size_t i = 0; i < 250; ++i) ASSERT_EQ(b.sample(i), in[4 * i]) << i;
    EXPECT_EQ(b.capacity(), 500u + 1000u);

    b = SoundBuffer::fromSamples(in);
    ASSERT_TRUE(convertRate(kMono16, 44100, b, 22050));
    ASSERT_EQ(b.sampleCount(), 500u);  // 2002 / 2 bytes = 1001 bytes: 500 whole samples
    EXPECT_EQ(b.byteLength(), 1001u);
    for (std::size_t i = 0; i < 500; ++i) ASSERT_EQ(b.sample(i), in[2 * i]) << i;

    b = SoundBuffer::fromSamples(in);
    ASSERT_TRUE(convertRate(kMono16, 22050, b, 11025));
    for (std::size_t i = 0; i < b.sampleCount(); ++i) ASSERT_EQ(b.sample(i), in[2 * i]) << i;
}

TEST(RateConverter, UpwardInterpolates) {
    std::vector<int16_t> in = {0, 3, -3, 32767, -32768, 5};
    SoundBuffer b = SoundBuffer::fromSamples(in);
    ASSERT_TRUE(convertRate(kMono16, 22050, b, 44100));
    ASSERT_EQ(b.byteLength(), 24u);  // exactly double
    std::vector<int16_t> want = {in[0]};
    for (std::size_t i = 1; i < in.size(); ++i) {
        want.push_back(between(in[i - 1], in[i], 1, 1));
        want.push_back(in[i]);
    }
    want.push_back(0);  // input used up: the last sample stays zero
    EXPECT_EQ(b.samples(), want);
    EXPECT_EQ(b.sample(1), 1);   // 1.5 truncated
    EXPECT_EQ(b.sample(3), 0);   // 0 + (-3 - 3)/2 = 0
    EXPECT_EQ(b.sample(7), 0);        // 32767 - 65535 / 2 = -0.5: toward zero
    EXPECT_EQ(b.sample(9), -16381);   // -16381.5
}

TEST(RateConverter, ElevenToFortyFourWritesThreeBetweenEachPair) {
    std::vector<int16_t> in = ramp(50);
    SoundBuffer b = SoundBuffer::fromSamples(in);
    ASSERT_TRUE(convertRate(kMono16, 11025, b, 44100));
    ASSERT_EQ(b.sampleCount(), 200u);
    std::vector<int16_t> want = {in[0]};
    for (std::size_t i = 1; i < in.size(); ++i) {
        for (int j = 1; j <= 3; ++j) want.push_back(between(in[i - 1], in[i], 3, j));
        want.push_back(in[i]);
    }
    want.resize(200, 0);
    EXPECT_EQ(b.samples(), want);
}

TEST(RateConverter, LeavesWhatItCannotOrNeedNotConvert) {
    SoundBuffer b = SoundBuffer::fromSamples(ramp(10));
    const uint8_t* before = b.data();
    ASSERT_TRUE(convertRate(kMono16, 44100, b, 44100));
    EXPECT_EQ(b.data(), before);  // the same buffer, no copy
    ASSERT_TRUE(convertRate(packFormat(8, 1), 11025, b, 44100));  // 8-bit passes unconverted
    EXPECT_EQ(b.data(), before);
    EXPECT_EQ(b.byteLength(), 20u);
    RateConverter c;
    for (auto [from, to] : {std::pair{8000u, 44100u}, {44100u, 48000u}, {44100u, 0u}, {96000u, 22050u}}) {
        EXPECT_FALSE(c.convert(kMono16, from, b, to));
        EXPECT_EQ(c.lastError(), kUnsupportedRateText);
        EXPECT_EQ(b.data(), before);
    }
    SoundBuffer empty;
    ASSERT_TRUE(empty.allocate(0));
    ASSERT_TRUE(convertRate(kMono16, 11025, empty, 44100));
    EXPECT_EQ(empty.byteLength(), 0u);
}

}  // namespace
}  // namespace kantor

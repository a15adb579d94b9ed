#include <gtest/gtest.h>

#include <numeric>

#include "synth/NoteFrequency.h"
#include "synth/SyllableShifter.h"

namespace kantor {
namespace {

SoundBuffer ramp(std::size_t n, int step = 7) {
    std::vector<int16_t> s(n);
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<int16_t>((static_cast<int>(i) * step) % 20000 - 10000);
    return SoundBuffer::fromSamples(s);
}

TEST(NoteFrequency, SemitonesAreCountedFromTheTuning) {
    EXPECT_EQ(noteFrequency(81, 440000), 440000u);
    EXPECT_EQ(noteFrequency(69, 440000), 220000u);
    EXPECT_EQ(noteFrequency(57, 440000), 110000u);
    EXPECT_EQ(noteFrequency(93, 440000), 880000u);
    // 220 Hz * 1.0595^3, the system's C4.
    EXPECT_EQ(noteFrequency(72, 440000), static_cast<uint32_t>(220000.0 * 1.0595 * 1.0595 * 1.0595 + 0.5));
    EXPECT_EQ(noteFrequency(82, 440000), static_cast<uint32_t>(440000.0 * 1.0595 + 0.5));
    EXPECT_EQ(noteFrequency(80, 440000), static_cast<uint32_t>(440000.0 * 0.9438414346389805 + 0.5));
    EXPECT_EQ(noteFrequency(81, 442000), 442000u);
    EXPECT_EQ(noteFrequency(81, 0), 0u);
}

TEST(SyllableShifter, SamePitchCopiesAndOctaveDownInterpolates) {
    SoundBuffer x = SoundBuffer::fromSamples(std::vector<int16_t>{0, 100, -101, 7, 30001, -30001});
    SoundBuffer y;
    ASSERT_TRUE(y.allocate(12));
    EXPECT_EQ(pitchShift(x, 220000, 220000, y, 12), 12u);
    EXPECT_EQ(y.samples(), x.samples());

    SoundBuffer z;
    ASSERT_TRUE(z.allocate(24));
    const uint32_t p = pitchShift(x, 220000, 110000, z, 24);
    EXPECT_EQ(p, 22u);  // 11 samples: each input sample with a half step before it
    std::vector<int16_t> expected = {0, 50, 100, 0, -101, -47, 7, 15004, 30001, 0, -30001};
    std::vector<int16_t> got = z.samples();
    got.resize(11);
    EXPECT_EQ(got, expected);

    // An octave up keeps every other sample.
    SoundBuffer w;
    ASSERT_TRUE(w.allocate(6));
    EXPECT_EQ(pitchShift(x, 110000, 220000, w, 6), 6u);
    EXPECT_EQ(w.samples(), (std::vector<int16_t>{0, -101, 30001}));
    EXPECT_EQ(scaleMarker(1001, 3, 2), 1500u);
}

TEST(SyllableShifter, ShortSyllablesAreCutLongOnesLoop) {
    SoundBuffer x = ramp(10000);
    SyllableShiftInput in;
    in.sample = &x;
    in.sampleFrequency = in.targetFrequency = 220000;
    in.markerB = 2000;
    in.markerC = 8000;
    in.markerD = 16000;
    in.neededBytes = 4000;
    SyllableShiftOutput out;
    ASSERT_TRUE(shiftSyllable(in, out));
    EXPECT_EQ(out.leadInBytes, 2000u);
    ASSERT_EQ(out.sound.byteLength(), 6000u);
    for (std::size_t i = 0; i < 3000; ++i) ASSERT_EQ(out.sound.sample(i), x.sample(i));

    // Exactly one repetition: [0, C) and one loop, then the tail from D.
    in.neededBytes = 20000 + (16000 - 8000) - 2000 - 1000;  // T = P + 8000 - 1000
    ASSERT_TRUE(shiftSyllable(in, out));
    const std::size_t T = out.sound.byteLength() / 2;
    EXPECT_EQ(T, (2000u + in.neededBytes) / 2);
    for (std::size_t i = 0; i < 4000; ++i) ASSERT_EQ(out.sound.sample(i), x.sample(i));
    for (std::size_t i = 0; i < 4000; ++i) ASSERT_EQ(out.sound.sample(4000 + i), x.sample(4000 + i)) << i;
}

TEST(SyllableShifter, TailAfterTheLoopIsTheSoundFromD) {
    // An octave up: 40000 bytes become 20000, the markers halve. C = 8000 and D = 19500
    // after the shift, a loop of 11500 bytes. With the length a whole number of loops
    // longer than the shifted sound, the 500 bytes after D are left for the tail, which is
    // then the release from D (too short for a level glide) rather than the loop again.
    SoundBuffer x = ramp(20000);
    SyllableShiftInput in;
    in.sample = &x;
    in.sampleFrequency = 220000;
    in.targetFrequency = 440000;  // a period of 100 samples
    in.markerB = 4000;
    in.markerC = 16000;
    in.markerD = 39000;
    in.neededBytes = 20000 + 11500 - 2000;  // T = P + one loop
    SyllableShiftOutput out;
    ASSERT_TRUE(shiftSyllable(in, out));
    ASSERT_EQ(out.sound.byteLength(), 31500u);

    SoundBuffer shifted;
    ASSERT_TRUE(shifted.allocate(20000));
    ASSERT_EQ(pitchShift(x, 220000, 440000, shifted, 20000), 20000u);
    const std::size_t T = 31500 / 2, tail = 250, D = 19500 / 2;
    for (std::size_t i = 0; i < tail; ++i)
        ASSERT_EQ(out.sound.sample(T - tail + i), shifted.sample(D + i)) << i;
    // Before the loop the sound is the shifted sound itself.
    for (std::size_t i = 0; i < 4000; ++i) ASSERT_EQ(out.sound.sample(i), shifted.sample(i)) << i;
}

TEST(SyllableShifter, LongSustainGlidesAndEmptyLoopsAreSafe) {
    SoundBuffer x = ramp(10000);
    SyllableShiftInput in;
    in.sample = &x;
    in.sampleFrequency = in.targetFrequency = 441000;  // a period of 100 samples
    in.markerB = 0;
    in.markerC = 8000;
    in.markerD = 16000;
    in.neededBytes = 200000;
    SyllableShiftOutput out;
    ASSERT_TRUE(shiftSyllable(in, out));
    EXPECT_EQ(out.sound.byteLength(), 200000u);
    // The sound holds all the way through: the loop fills the whole length.
    long nonZero = 0;
    for (std::size_t i = 90000; i < 100000; ++i) nonZero += out.sound.sample(i) != 0;
    EXPECT_GT(nonZero, 9000);

    // C = D: a one-period loop before D instead of a division by zero.
    in.markerC = in.markerD = 16000;
    ASSERT_TRUE(shiftSyllable(in, out));
    EXPECT_EQ(out.sound.byteLength(), 200000u);
    // D past the end and no sound at all: silence of the right length, no crash.
    in.markerC = in.markerD = 0;
    SoundBuffer empty = SoundBuffer::fromSamples(std::vector<int16_t>{});
    in.sample = &empty;
    ASSERT_TRUE(shiftSyllable(in, out));
    EXPECT_EQ(out.sound.byteLength(), 200000u);
    in.targetFrequency = 0;
    EXPECT_FALSE(shiftSyllable(in, out));
}

// The moving read: a bend that stays at 1 copies the fixed-pitch syllable sample for sample;
// a constant 2 reads every other sample; a bend that changes within a block reads between
// samples at the step read straight between the block's ends (rounded to the nearest).
TEST(SyllableShifter, BentReadFollowsTheStepExactly) {
    SoundBuffer x = ramp(60000, 13);  // long enough that nothing loops
    SyllableShiftInput in;
    in.sample = &x;
    in.sampleFrequency = in.targetFrequency = 220000;
    in.markerB = 2000;
    in.markerC = 80000;
    in.markerD = 100000;
    in.neededBytes = 50000;
    SyllableShiftOutput plain, bent;
    ASSERT_TRUE(shiftSyllable(in, plain));
    ASSERT_TRUE(shiftSyllableBent(in, [](double) { return 1.0; }, 1.0, bent));
    EXPECT_EQ(bent.leadInBytes, plain.leadInBytes);
    EXPECT_EQ(bent.sound.samples(), plain.sound.samples());

    SyllableShiftOutput twice;
    ASSERT_TRUE(shiftSyllableBent(in, [](double) { return 2.0; }, 2.0, twice));
    ASSERT_EQ(twice.leadInBytes, 1000u);  // the lead-in read at the starting ratio
    in.neededBytes = 110000;  // the same sound at the note's pitch, long enough
    ASSERT_TRUE(shiftSyllable(in, plain));
    const std::vector<int16_t> t = twice.sound.samples(), p = plain.sound.samples();
    ASSERT_EQ(t.size(), 500u + 25000u);
    for (std::size_t n = 0; n < t.size(); ++n) ASSERT_EQ(t[n], p[2 * n]) << n;

    // 1 over the lead-in (1000 samples), 1.5 after it: the ratio at the start of each block
    // of 64 samples is the bend there, and within the block the step moves straight from it
    // to the next block's.
    in.neededBytes = 4000;
    SyllableShiftOutput rising;
    ASSERT_TRUE(shiftSyllableBent(in, [](double ms) { return ms < 0 ? 1.0 : 1.5; }, 1.5, rising));
    const std::vector<int16_t> r = rising.sound.samples();
    auto ratio = [](std::size_t block) { return 64 * block >= 1000 ? 1.5 : 1.0; };
    double pos = 0;
    for (std::size_t n = 0; n < r.size(); ++n) {
        if (n > 0) {
            const std::size_t b = (n - 1) / 64, k = (n - 1) % 64;
            pos += ratio(b) + (ratio(b + 1) - ratio(b)) / 64.0 * double(k);
        }
        const std::size_t i = static_cast<std::size_t>(pos);
        const double f = pos - double(i);
        const double v = p[i] + (p[i + 1] - p[i]) * f;
        ASSERT_NEAR(r[n], v, 0.51) << n;
    }
}

}  // namespace
}  // namespace kantor

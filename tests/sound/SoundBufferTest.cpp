#include <gtest/gtest.h>

#include <utility>

#include "sound/SoundBuffer.h"
#include "sound/SoundEntry.h"

namespace kantor {
namespace {

// A played phrase's block is reset to give its memory back: a reset that only emptied the
// buffer kept every phrase of a long play (or mixdown) in memory to its end.
TEST(SoundBuffer, ResetGivesTheMemoryBackAndLeavesANullBuffer) {
    SoundBuffer b;
    ASSERT_TRUE(b.allocate(100000, kPhraseSpare));
    EXPECT_GE(b.heldBytes(), 100000u + kPhraseSpare);
    b.setSample(3, -2);
    b.reset();
    EXPECT_FALSE(b.hasData());
    EXPECT_EQ(b.byteLength(), 0u);
    EXPECT_EQ(b.heldBytes(), 0u);
    // It can be allocated again, zero-filled.
    ASSERT_TRUE(b.allocate(10));
    EXPECT_EQ(b.sample(3), 0);

    // So does a sound entry's buffer once moved from, and a buffer assigned over.
    SoundEntry e;
    ASSERT_TRUE(e.data.allocate(50000));
    SoundEntry moved = std::move(e);
    EXPECT_EQ(e.data.heldBytes(), 0u);  // NOLINT(bugprone-use-after-move): what a move leaves
    EXPECT_GE(moved.data.heldBytes(), 50000u);
    SoundBuffer small;
    ASSERT_TRUE(small.allocate(4));
    moved.data = std::move(small);
    EXPECT_LT(moved.data.heldBytes(), 50000u);
}

}  // namespace
}  // namespace kantor

#include <gtest/gtest.h>

#include "base/ByteIO.h"

namespace kantor {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(ByteIO, FixedTextFieldsKeepTheirSizeAndAZero) {
    // A text as long as the field or longer is cut so that the zero still fits.
    ByteWriter w;
    w.fixedText("abcd", 4);
    w.fixedText("abcdef", 4);
    w.fixedText("ab", 4);
    w.fixedText("ignored", 0);
    EXPECT_EQ(w.buffer(), (Bytes{'a', 'b', 'c', 0, 'a', 'b', 'c', 0, 'a', 'b', 0, 0}));

    // Reading takes the bytes up to the first zero and moves past the whole field; a field
    // with no zero is taken whole.
    const Bytes field = {'x', 0, 'y', 'z', 'a', 'b'};
    ByteReader r(field);
    EXPECT_EQ(r.fixedText(3), "x");
    EXPECT_EQ(r.position(), 3u);
    EXPECT_EQ(r.fixedText(3), "zab");
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.fixedText(1), "");
    EXPECT_FALSE(r.ok());
}

TEST(ByteIO, ReadsPastTheEndFailAndGiveZeros) {
    const Bytes b = {0x34, 0x12, 0x81, 0x00, 0xFF};
    ByteReader r(b);
    EXPECT_EQ(r.u16le(), 0x1234);
    EXPECT_EQ(r.varLen(), 128u);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.u32le(), 0u);  // one byte left
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.remaining(), 0u);

    ByteReader v(b.data() + 4, 1);  // a quantity cut short by the end of the data
    EXPECT_EQ(v.varLen(), 0u);
    EXPECT_FALSE(v.ok());
    uint8_t out[2] = {9, 9};
    ByteReader s(b.data(), 1);
    EXPECT_FALSE(s.bytes(out, 2));
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0);
}

}  // namespace
}  // namespace kantor

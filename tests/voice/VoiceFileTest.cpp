#include <gtest/gtest.h>

#include "base/ByteIO.h"
#include "base/Codepage.h"
#include "voice/VoiceFile.h"
#include "voice/VoiceTestFiles.h"

namespace kantor {
namespace {

using testing::makeSample;

std::vector<std::unique_ptr<VoiceSample>> twoSamples() {
    std::vector<std::unique_ptr<VoiceSample>> v;
    v.push_back(makeSample("KYA", "きゃ", 60, {1, -2, 3}, 2, 4, 6));
    v.push_back(makeSample("", "", 0, {}));  // placeholder
    return v;
}

VoiceFileHeader sampleHeader() {
    VoiceFileHeader h;
    h.voiceName = "テスト声";
    h.comment = "ｺﾒﾝﾄ";
    h.comment2 = "two";
    h.formatCode = 4;
    h.tuning = 441000;
    return h;
}

TEST(VoiceFile, WritesEveryFieldAtItsOffset) {
    std::vector<uint8_t> f = buildVoiceFile(sampleHeader(), twoSamples());
    ASSERT_EQ(f.size(), 536u + 8 + 76 + 6 + 76);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.data())), "My Kantorellion Voice Data");
    for (std::size_t i = 26; i < 32; ++i) EXPECT_EQ(f[i], 0) << i;
    EXPECT_EQ(cp932FieldToUtf8(&f[32], 64), "テスト声");
    EXPECT_EQ(f[32], 0x83);  // cp932, not UTF-8
    EXPECT_EQ(cp932FieldToUtf8(&f[96], 64), "ｺﾒﾝﾄ");
    EXPECT_EQ(f[96], 0xBA);  // half-width katakana: one byte
    EXPECT_EQ(cp932FieldToUtf8(&f[160], 64), "two");
    EXPECT_EQ(loadLE16(&f[224]), 202);
    EXPECT_EQ(loadLE16(&f[226]), 4);
    EXPECT_EQ(loadLE32(&f[228]), 441000u);
    EXPECT_EQ(loadLE32(&f[232]), 2u);
    EXPECT_EQ(loadLE32(&f[236]), 8u);
    for (std::size_t i = 240; i < 544; ++i) ASSERT_EQ(f[i], 0) << i;
    const uint8_t* r = &f[544];
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r)), "KYA");
    EXPECT_EQ(cp932FieldToUtf8(r + 12, 12), "きゃ");
    EXPECT_EQ(loadLE32(r + 24), 60u);
    EXPECT_EQ(loadLE32(r + 28), 6u);
    EXPECT_EQ(loadLE32(r + 32), 2u);
    EXPECT_EQ(loadLE32(r + 36), 4u);
    EXPECT_EQ(loadLE32(r + 40), 6u);
    for (std::size_t i = 44; i < 76; ++i) ASSERT_EQ(r[i], 0);
    EXPECT_EQ(static_cast<int16_t>(loadLE16(r + 76 + 2)), -2);
    const uint8_t* p = r + 76 + 6;  // the placeholder record follows the data directly
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(loadLE32(p + 28), 0u);
}

TEST(VoiceFile, CutsLongTextsAtACharacterBoundary) {
    VoiceFileHeader h;
    h.voiceName = std::string(63, 'a');
    h.comment = std::string(62, 'b') + "あ";  // the kana would need bytes 62 and 63
    std::vector<uint8_t> f = buildVoiceFile(h, {});
    EXPECT_EQ(cp932FieldToUtf8(&f[32], 64), std::string(63, 'a'));
    EXPECT_EQ(cp932FieldToUtf8(&f[96], 64), std::string(62, 'b'));
    EXPECT_EQ(f[96 + 62], 0);
}

TEST(VoiceFile, ReadsBackWhatItWrote) {
    VoiceFileReader reader;
    VoiceFileHeader header;
    std::vector<uint8_t> f = buildVoiceFile(sampleHeader(), twoSamples());
    auto voice = reader.read(f, "vxb12 ", &header);
    ASSERT_TRUE(voice) << reader.lastError();
    EXPECT_EQ(voice->name, "vxb12");
    EXPECT_EQ(voice->formatCode, 4);
    EXPECT_EQ(voice->tuning, 441000u);
    EXPECT_EQ(header.voiceName, "テスト声");
    EXPECT_EQ(header.comment, "ｺﾒﾝﾄ");
    ASSERT_EQ(voice->samples.size(), 2u);
    const VoiceSample& s = *voice->samples[0];
    EXPECT_EQ(s.code, "KYA");
    EXPECT_EQ(s.kana, "きゃ");
    EXPECT_EQ(s.pitch, 60u);
    EXPECT_EQ(s.dataSize(), 6u);
    EXPECT_EQ(s.data.samples(), (std::vector<int16_t>{1, -2, 3}));
    EXPECT_GE(s.data.capacity(), 6u + 1000u);
    EXPECT_EQ(s.data.data()[6], 0);
    EXPECT_EQ(s.markerD, 6u);
    EXPECT_TRUE(s.usable());
    const VoiceSample& p = *voice->samples[1];
    EXPECT_FALSE(p.data.hasData());
    EXPECT_FALSE(p.usable());
}

TEST(VoiceFile, AcceptsVersionsUpTo202AndBothExtensionForms) {
    VoiceFileReader reader;
    for (uint16_t version : {0, 1, 202}) {
        VoiceFileHeader h = sampleHeader();
        h.version = version;
        EXPECT_TRUE(reader.read(buildVoiceFile(h, twoSamples()), "v")) << version;
    }
    VoiceFileHeader h = sampleHeader();
    h.version = 203;
    EXPECT_FALSE(reader.read(buildVoiceFile(h, twoSamples()), "v"));
    EXPECT_EQ(reader.lastError(), "未対応なﾊﾞｰｼﾞｮﾝのVoiceData（Vxbﾌｧｲﾙ）です。");

    // Field at 236 = 0: the first record follows the header directly.
    h = sampleHeader();
    h.extensionSize = 0;
    std::vector<uint8_t> f = buildVoiceFile(h, twoSamples());
    EXPECT_EQ(f.size(), 536u + 76 + 6 + 76);
    auto voice = reader.read(f, "v");
    ASSERT_TRUE(voice);
    EXPECT_EQ(voice->samples[0]->code, "KYA");
    // Any other non-zero value still means exactly 8 bytes.
    h.extensionSize = 100;
    f = buildVoiceFile(h, twoSamples());
    EXPECT_EQ(loadLE32(&f[236]), 100u);
    voice = reader.read(f, "v");
    ASSERT_TRUE(voice);
    EXPECT_EQ(voice->samples[0]->code, "KYA");
}

TEST(VoiceFile, RefusesBadAndShortFiles) {
    VoiceFileReader reader;
    std::vector<uint8_t> good = buildVoiceFile(sampleHeader(), twoSamples());
    auto expectFailure = [&](std::vector<uint8_t> bytes, const char* message) {
        EXPECT_FALSE(reader.read(bytes, "v"));
        EXPECT_EQ(reader.lastError(), message);
    };
    std::vector<uint8_t> bad = good;
    bad[0] = 'm';  // the magic is compared case-sensitively
    expectFailure(bad, "My Kantorellion Voice Dataﾌｧｲﾙではありません。");
    bad = good;
    bad[26] = ' ';  // text up to the NUL must match exactly
    expectFailure(bad, "My Kantorellion Voice Dataﾌｧｲﾙではありません。");
    // Short header, short extension, short record, truncated inside the data.
    for (std::size_t cut : {0u, 535u, 540u, 544u + 75u, 544u + 76u + 5u}) {
        SCOPED_TRACE(cut);
        expectFailure(std::vector<uint8_t>(good.begin(), good.begin() + cut), "Voice データの読み込みに失敗しました。");
    }
    // A count larger than the records present, and a data size larger than the file.
    bad = good;
    storeLE32(&bad[232], 0xFFFFFFFF);
    expectFailure(bad, "Voice データの読み込みに失敗しました。");
    bad = good;
    storeLE32(&bad[544 + 28], 0xFFFFFFF0);
    expectFailure(bad, "Voice データの読み込みに失敗しました。");
    // Count 0: a voice without samples.
    VoiceFileHeader h = sampleHeader();
    auto voice = reader.read(buildVoiceFile(h, {}), "v");
    ASSERT_TRUE(voice);
    EXPECT_TRUE(voice->samples.empty());
}

TEST(VoiceFile, WriterReplacesAFileWhole) {
    testing::TempDir dir;
    std::string path = dir.file("vxb1.vxb");
    VoiceFileWriter writer;
    ASSERT_TRUE(writer.write(path, sampleHeader(), twoSamples()));
    VoiceFileReader reader;
    auto voice = reader.readFile(path, "vxb1");
    ASSERT_TRUE(voice) << reader.lastError();
    EXPECT_EQ(voice->samples.size(), 2u);
    EXPECT_FALSE(writer.write(dir.file("no/such/folder.vxb"), sampleHeader(), twoSamples()));
    EXPECT_EQ(writer.lastError(), "VoicdDataの作成に失敗しました。");
    EXPECT_FALSE(reader.readFile(dir.file("missing.vxb"), "missing"));
    EXPECT_EQ(reader.lastError(), "Voice データの読み込みに失敗しました。");
}

}  // namespace
}  // namespace kantor

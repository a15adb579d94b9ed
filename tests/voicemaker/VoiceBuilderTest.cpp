// The build: checks, segments and levels, rates, the file in the voice folder, the
// identifier rule, and the voice bank picking the new voice up.
#include <gtest/gtest.h>

#include <cmath>

#include "SyntheticVowel.h"
#include "base/ByteIO.h"
#include "base/FileIO.h"
#include "support/TempDir.h"
#include "voice/VoiceBank.h"
#include "voicemaker/AutoMarker.h"
#include "voicemaker/MakerTexts.h"
#include "voicemaker/VoiceBuilder.h"

namespace kantor {
namespace {

std::unique_ptr<VoiceItem> item(const char* code, const char* kana, int pitch, std::size_t samples, Markers m) {
    auto it = VoiceItem::make(code, kana, pitch);
    std::vector<int16_t> x(samples);
    for (std::size_t i = 0; i < samples; ++i) x[i] = static_cast<int16_t>((i % 200) * 10 - 1000);
    std::vector<uint8_t> b;
    for (int16_t s : x) b.push_back(uint8_t(uint16_t(s))), b.push_back(uint8_t(uint16_t(s) >> 8));
    EXPECT_TRUE(it->data.assign(b));
    it->setMarkers(m);
    it->normalize = 0;
    return it;
}

VoiceProject project() {
    VoiceProject p;
    p.voiceName = "Test voice";
    p.comment = "c1";
    p.comment2 = "c2";
    p.tuning = 441000;
    p.items.push_back(item("KA", "か", 60, 88200, {0, 22050, 30000, 40000}));
    p.items.push_back(VoiceItem::blank());
    p.items.push_back(VoiceItem::make("KI", "き", 60));                             // no data: left out
    p.items.push_back(item("KU", "く", 62, 60000, {}));                              // no properties: left out
    p.items.push_back(item("KE", "け", 64, 50000, {1000, 15000, 20000, 30000}));
    return p;
}

TEST(VoiceBuilderTest, Checks) {
    VoiceBuilder b;
    VoiceProject p = project();
    p.voiceName.clear();
    EXPECT_FALSE(b.validate(p));
    EXPECT_EQ(b.lastError(), "Voice名が未入力です。");

    VoiceProject empty;
    empty.voiceName = "x";
    EXPECT_FALSE(b.validate(empty));
    EXPECT_EQ(b.lastError(), "Vioce Data が一つもありません。");
    empty.items.push_back(VoiceItem::blank());
    empty.items.push_back(VoiceItem::blank());
    EXPECT_FALSE(b.validate(empty));
    EXPECT_EQ(b.lastError(), "Vioce Data が一つもありません。");
    empty.items.push_back(VoiceItem::make("A", "あ", 60));
    EXPECT_FALSE(b.validate(empty));
    EXPECT_EQ(b.lastError(), "Vioce Data が一つもありません。");
    empty.items.push_back(item("I", "い", 60, 50000, {}));
    EXPECT_FALSE(b.validate(empty));
    EXPECT_EQ(b.lastError(), "ﾌﾟﾛﾊﾟﾃｨ が設定されてません。");
    empty.items.back()->markerD = 2000;
    EXPECT_TRUE(b.validate(empty)) << b.lastError();
}

TEST(VoiceBuilderTest, Segments) {
    VoiceBuilder b;
    SoundBuffer seg;
    // 176,400 bytes, A = 0, B = 22,050: B's 44,100 bytes plus one second.
    auto full = item("A", "あ", 60, 88200, {0, 22050, 30000, 40000});
    ASSERT_TRUE(b.cutSegment(*full, seg)) << b.lastError();
    EXPECT_EQ(seg.byteLength(), 132300u);
    EXPECT_TRUE(std::equal(seg.bytes().begin(), seg.bytes().end(), full->data.bytes().begin()));
    // Less than a second after B: everything from A to the end.
    auto shortItem = item("A", "あ", 60, 50000, {1000, 30000, 31000, 40000});
    ASSERT_TRUE(b.cutSegment(*shortItem, seg));
    EXPECT_EQ(seg.byteLength(), 100000u - 2000u);
    EXPECT_EQ(seg.sample(0), shortItem->data.sample(1000));
    // Markers out of order or beyond the data.
    for (Markers m : {Markers{5, 4, 600, 900}, Markers{0, 10, 600, 50001}, Markers{0, 10, 900, 600}}) {
        shortItem->setMarkers(m);
        EXPECT_FALSE(b.cutSegment(*shortItem, seg));
        EXPECT_EQ(b.lastError().rfind("ﾏｰｶｰの位置が正しくありません。\n", 0), 0u) << b.lastError();
    }
    // D beyond one second after B.
    full->setMarkers({0, 100, 500, 44101 + 100});
    EXPECT_FALSE(b.cutSegment(*full, seg));
}

TEST(VoiceBuilderTest, Levels) {
    VoiceBuilder b;
    SoundBuffer seg;
    auto it = item("A", "あ", 60, 50000, {0, 1000, 2000, 3000});
    it->volume = 150;
    ASSERT_TRUE(b.cutSegment(*it, seg));
    EXPECT_EQ(seg.sample(0), -1500);
    it->normalize = 1;
    ASSERT_TRUE(b.cutSegment(*it, seg));
    double sum = 0;
    for (std::size_t i = 1000; i < seg.sampleCount(); ++i) sum += std::abs(double(seg.sample(i)));
    EXPECT_NEAR(sum / double(seg.sampleCount() - 1000), 4000, 5);
    // Silence after B: nothing to measure, nothing changes.
    auto quiet = item("A", "あ", 60, 50000, {0, 1000, 2000, 3000});
    for (std::size_t i = 1000; i < 50000; ++i) quiet->data.setSample(i, 0);
    quiet->normalize = 1;
    ASSERT_TRUE(b.cutSegment(*quiet, seg));
    EXPECT_TRUE(std::equal(seg.bytes().begin(), seg.bytes().end(), quiet->data.bytes().begin()));
}

TEST(VoiceBuilderTest, FileLayoutAndRates) {
    for (uint16_t choice : {0, 1, 2}) {
        SCOPED_TRACE(choice);
        VoiceProject p = project();
        p.rateChoice = choice;
        VoiceBuilder b;
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(b.buildBytes(p, bytes)) << b.lastError();
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), "My Kantorellion Voice Data");
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[32])), "Test voice");
        EXPECT_EQ(loadLE16(&bytes[224]), 202);
        EXPECT_EQ(loadLE16(&bytes[226]), choice * 4);  // 16-bit mono at 11,025 / 22,050 / 44,100 Hz
        EXPECT_EQ(loadLE32(&bytes[228]), 441000u);
        EXPECT_EQ(loadLE32(&bytes[232]), 3u);  // KA, the blank line, KE
        EXPECT_EQ(loadLE32(&bytes[236]), 8u);

        VoiceFileReader reader;
        auto voice = reader.read(bytes, "v");
        ASSERT_TRUE(voice) << reader.lastError();
        ASSERT_EQ(voice->samples.size(), 3u);
        const VoiceSample& ka = *voice->samples[0];
        EXPECT_EQ(ka.code, "KA");
        EXPECT_EQ(ka.kana, "か");
        EXPECT_EQ(ka.pitch, 60u);
        const uint32_t segment = 132300;
        const uint32_t factor = choice == 0 ? 4 : choice == 1 ? 2 : 1;
        EXPECT_EQ(ka.dataSize(), segment / factor);
        // Markers stay those of the 44,100 Hz segment.
        EXPECT_EQ(ka.markerB, 44100u);
        EXPECT_EQ(ka.markerC, 60000u);
        EXPECT_EQ(ka.markerD, 80000u);
        const VoiceSample& blank = *voice->samples[1];
        EXPECT_EQ(blank.code, "");
        EXPECT_EQ(blank.dataSize(), 0u);
        const VoiceSample& ke = *voice->samples[2];
        EXPECT_EQ(ke.markerB, 28000u);
        EXPECT_EQ(ke.markerD, 58000u);
        EXPECT_EQ(ke.dataSize(), (100000u - 2000u) / factor);
        // The blank record is 76 zero bytes right after KA's data.
        std::size_t at = 536 + 8 + 76 + ka.dataSize();
        for (std::size_t i = 0; i < 76; ++i) ASSERT_EQ(bytes[at + i], 0) << i;
    }
}

TEST(VoiceBuilderTest, IdentifierRuleAndReplace) {
    test::TempDir dir;
    VoiceProject p = project();
    uint32_t ticks[] = {300000123, 400000123, 400000123, 777};
    std::size_t next = 0;
    TickSource tick = [&] { return ticks[std::min<std::size_t>(next++, 3)]; };
    VoiceBuilder b;
    std::string id;
    ASSERT_TRUE(b.build(p, dir.path(), "", id, nullptr, tick)) << b.lastError();
    EXPECT_EQ(id, "vxb123");
    EXPECT_TRUE(fileExists(dir.file("vxb123.vxb")));
    // The name is taken: a fresh tick gives the same name, a stuck clock moves on by one.
    ASSERT_TRUE(b.build(p, dir.path(), "", id, nullptr, tick));
    EXPECT_EQ(id, "vxb124");
    ASSERT_TRUE(b.build(p, dir.path(), "MaleVox", id, nullptr, tick));
    EXPECT_EQ(id, "MaleVox");
    EXPECT_TRUE(fileExists(dir.file("MaleVox.vxb")));
    EXPECT_FALSE(b.build(p, dir.path(), "../escape", id, nullptr, tick));
    EXPECT_EQ(id, "");
    // A folder that is not there: nothing is written.
    EXPECT_FALSE(b.build(p, dir.file("missing"), "", id, nullptr, tick));
    EXPECT_EQ(b.lastError(), "VoicdDataの作成に失敗しました。");
    p.voiceName.clear();
    EXPECT_FALSE(b.build(p, dir.path(), "vxb9", id, nullptr, tick));
    EXPECT_FALSE(fileExists(dir.file("vxb9.vxb")));
}

TEST(VoiceBuilderTest, BankReloadsTheRebuiltVoice) {
    test::TempDir dir;
    VoiceProject p = project();
    VoiceBank bank(dir.path());
    VoiceBuilder b;
    std::string id;
    ASSERT_TRUE(b.build(p, dir.path(), "", id, &bank)) << b.lastError();
    EXPECT_EQ(bank.findVoice(id), nullptr) << "a voice nobody loaded stays unloaded";
    ASSERT_TRUE(bank.enumerateVoiceFiles());
    ASSERT_GE(bank.findVoiceFile(id), 0);
    EXPECT_EQ(bank.voiceFileVoiceName(bank.findVoiceFile(id)), "Test voice");
    ASSERT_TRUE(bank.ensureVoiceLoaded(id));
    SyllableMatch match;
    EXPECT_TRUE(bank.findSyllableByCode(id, "ke", match));
    EXPECT_FALSE(bank.findSyllableByCode(id, "ku", match));

    // KU gets properties, the voice is replaced, and the loaded voice follows.
    p.items[3]->setMarkers({0, 1000, 2000, 3000});
    ASSERT_TRUE(b.build(p, dir.path(), id, id, &bank));
    const Voice* v = bank.findVoice(id);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->samples.size(), 4u);
    EXPECT_TRUE(bank.findSyllableByCode(id, "ku", match));
    EXPECT_EQ(match.kana, "く");
}

// What the tool that makes the built-in voices does: sound per item, automatic markers,
// a saved project, a built voice.
TEST(VoiceBuilderTest, FromSoundToVoice) {
    test::TempDir dir;
    VoiceProject p;
    p.voiceName = "Synthetic";
    int pitch = 55;
    for (const char* code : {"A", "KA"}) {
        test::SyntheticVowel v;
        v.f0 = 440.0 * std::pow(2.0, (pitch - 81) / 12.0);
        v.burst = code[1] ? 0.05 : 0.0;
        auto it = VoiceItem::make(code, code[1] ? "か" : "あ", pitch);
        ASSERT_TRUE(setItemSound(*it, v.render()));
        std::string why;
        ASSERT_TRUE(autoMark(*it, &why)) << why;
        p.items.push_back(std::move(it));
    }
    ASSERT_TRUE(p.save(dir.file("synthetic.vxbprj")));
    VoiceBuilder b;
    std::string id;
    ASSERT_TRUE(b.build(p, dir.path(), "FemaleVox", id)) << b.lastError();
    VoiceFileReader reader;
    auto voice = reader.readFile(dir.file("FemaleVox.vxb"), "FemaleVox");
    ASSERT_TRUE(voice);
    ASSERT_EQ(voice->samples.size(), 2u);
    for (const auto& s : voice->samples) {
        EXPECT_LT(s->markerB, s->markerC);
        EXPECT_LT(s->markerC, s->markerD);
        EXPECT_LE(s->markerD, s->dataSize());
    }
}

}  // namespace
}  // namespace kantor

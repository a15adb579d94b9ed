#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "base/ByteIO.h"
#include "base/FileIO.h"
#include "voice/VoiceBank.h"
#include "voice/VoiceTestFiles.h"

namespace kantor {
namespace {

using testing::makeSample;

void writeVoice(const std::string& path, std::vector<std::unique_ptr<VoiceSample>> samples,
                const std::string& name = "voice", uint16_t version = 202) {
    VoiceFileHeader h;
    h.voiceName = name;
    h.comment = "c1";
    h.comment2 = "c2";
    h.version = version;
    VoiceFileWriter w;
    ASSERT_TRUE(w.write(path, h, samples));
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::unique_ptr<VoiceSample>> samples(std::initializer_list<std::tuple<const char*, const char*, uint32_t, int>> list) {
    std::vector<std::unique_ptr<VoiceSample>> v;
    for (auto [code, kana, pitch, n] : list) v.push_back(makeSample(code, kana, pitch, std::vector<int16_t>(static_cast<std::size_t>(n), 7)));
    return v;
}

class VoiceBankTest : public ::testing::Test {
protected:
    testing::TempDir dir;
    VoiceBank bank{dir.path()};
};

TEST_F(VoiceBankTest, TranslatesCodesThroughTheVoice) {
    writeVoice(dir.file("v.vxb"), samples({{"", "", 0, 0},            // placeholder
                                           {"PA", "ぱ", 60, 0},        // code set, no data
                                           {"KA", "か", 60, 4},
                                           {"PA", "ぱ2", 62, 4},
                                           {"kya", "きゃ", 60, 4}}));
    ASSERT_TRUE(bank.ensureVoiceLoaded("v")) << bank.lastError();
    SyllableMatch m;
    for (const char* typed : {"ka", "Ka", "KA"}) {
        ASSERT_TRUE(bank.findSyllableByCode("v", typed, m)) << typed;
        EXPECT_EQ(m.code, "KA");
        EXPECT_EQ(m.kana, "か");
    }
    ASSERT_TRUE(bank.findSyllableByCode("v", "KYA", m));  // a voice built with lower-case codes
    EXPECT_EQ(m.code, "kya");
    ASSERT_TRUE(bank.findSyllableByCode("v", "PA", m));  // the sample without data is passed over
    EXPECT_EQ(m.kana, "ぱ2");
    EXPECT_FALSE(bank.findSyllableByCode("v", "PYO", m));  // in the table, not in the voice
    EXPECT_TRUE(m.code.empty() && m.kana.empty());
    EXPECT_FALSE(bank.findSyllableByCode("v", "K", m));
    EXPECT_FALSE(bank.findSyllableByCode("other", "KA", m));
    // An empty code is found as empty, even for a voice that is not loaded.
    EXPECT_TRUE(bank.findSyllableByCode("other", "", m));
    EXPECT_TRUE(m.code.empty());

    std::string kana, code;
    bool usable = true;
    ASSERT_TRUE(bank.sampleByIndex("v", 0, kana, code, usable));
    EXPECT_FALSE(usable);
    ASSERT_TRUE(bank.sampleByIndex("v", 1, kana, code, usable));
    EXPECT_EQ(code, "PA");
    EXPECT_FALSE(usable);
    ASSERT_TRUE(bank.sampleByIndex("v", 2, kana, code, usable));
    EXPECT_TRUE(usable);
    EXPECT_FALSE(bank.sampleByIndex("v", 5, kana, code, usable));
    EXPECT_FALSE(bank.sampleByIndex("v", -1, kana, code, usable));
}

TEST_F(VoiceBankTest, TheFirstOfTwoEqualCodesGivesTheKana) {
    writeVoice(dir.file("a.vxb"), samples({{"WE", "え", 60, 2}, {"WE", "うぇ", 60, 2}}));
    writeVoice(dir.file("b.vxb"), samples({{"WE", "うぇ", 60, 2}, {"WE", "え", 60, 2}}));
    ASSERT_TRUE(bank.ensureVoiceLoaded("a"));
    ASSERT_TRUE(bank.ensureVoiceLoaded("b"));
    SyllableMatch m;
    ASSERT_TRUE(bank.findSyllableByCode("a", "we", m));
    EXPECT_EQ(m.kana, "え");
    ASSERT_TRUE(bank.findSyllableByCode("b", "we", m));
    EXPECT_EQ(m.kana, "うぇ");
}

TEST_F(VoiceBankTest, ChoosesTheNearestPitchForANote) {
    writeVoice(dir.file("v.vxb"), samples({{"A", "あ", 50, 2}, {"a", "あ", 60, 2}, {"A", "あ", 70, 2}, {"KA", "か", 65, 2}}));
    ASSERT_TRUE(bank.ensureVoiceLoaded("v"));
    const Voice* v = bank.findVoice("v");
    ASSERT_TRUE(v);
    EXPECT_EQ(bank.findSampleForNote(*v, "A", 64), v->samples[1].get());
    EXPECT_EQ(bank.findSampleForNote(*v, "A", 65), v->samples[1].get());  // tie: the first in file order
    EXPECT_EQ(bank.findSampleForNote(*v, "A", 0), v->samples[0].get());
    EXPECT_EQ(bank.findSampleForNote(*v, "A", 1049), v->samples[2].get());
    EXPECT_EQ(bank.findSampleForNote(*v, "A", 1070), nullptr);  // 1000 away
    EXPECT_EQ(bank.findSampleForNote(*v, "", 60), nullptr);
    EXPECT_EQ(bank.findSampleForNote(*v, "I", 60), nullptr);
}

TEST_F(VoiceBankTest, LoadsOnceAndReloadsWhatChanged) {
    writeVoice(dir.file("v .vxb"), samples({{"A", "あ", 60, 2}}));
    ASSERT_TRUE(bank.ensureVoiceLoaded("v "));
    ASSERT_NE(bank.findVoice("v"), nullptr);  // found under the trimmed name
    EXPECT_EQ(bank.findVoice("v")->name, "v");
    EXPECT_EQ(bank.findVoice("v  "), bank.findVoice("v"));
    ASSERT_TRUE(bank.ensureVoiceLoaded("v"));  // already loaded: no file needed
    EXPECT_EQ(bank.voices().size(), 1u);

    writeVoice(dir.file("v .vxb"), samples({{"A", "あ", 60, 2}, {"I", "い", 60, 2}}));
    EXPECT_EQ(bank.findVoice("v")->samples.size(), 1u);
    ASSERT_TRUE(bank.reloadVoice("v "));
    EXPECT_EQ(bank.findVoice("v")->samples.size(), 2u);
    EXPECT_TRUE(bank.reloadVoice("notloaded"));
    EXPECT_EQ(bank.findVoice("notloaded"), nullptr);

    // A failing read adds nothing and leaves earlier voices alone.
    std::vector<uint8_t> truncated = buildVoiceFile(VoiceFileHeader{}, samples({{"A", "あ", 60, 100}}));
    truncated.resize(truncated.size() - 1);
    writeBytes(dir.file("broken.vxb"), truncated);
    EXPECT_FALSE(bank.ensureVoiceLoaded("broken"));
    EXPECT_EQ(bank.lastError(), "Voice データの読み込みに失敗しました。");
    EXPECT_EQ(bank.findVoice("broken"), nullptr);
    EXPECT_EQ(bank.voices().size(), 1u);
    EXPECT_FALSE(bank.ensureVoiceLoaded("missing"));
    EXPECT_EQ(bank.lastError(), "Voice データの読み込みに失敗しました。");

    bank.unloadAllVoices();
    EXPECT_TRUE(bank.voices().empty());
}

TEST_F(VoiceBankTest, ListsTheVoiceFolder) {
    writeVoice(dir.file("b.vxb"), samples({{"A", "あ", 60, 2}}), "ボイス");
    writeVoice(dir.file("a.vxb"), samples({}), "first");
    writeVoice(dir.file("newer.vxb"), samples({}), "x", 203);
    std::vector<uint8_t> notVoice(600, 'x');
    writeBytes(dir.file("junk.vxb"), notVoice);
    writeBytes(dir.file("other.txt"), notVoice);
    ASSERT_TRUE(bank.enumerateVoiceFiles());
    // The skipped files leave their message.
    EXPECT_FALSE(bank.lastError().empty());
    ASSERT_EQ(bank.voiceFileCount(), 2);
    EXPECT_EQ(bank.voiceFileTitle(0), "a");
    EXPECT_EQ(bank.voiceFileTitle(1), "b");
    EXPECT_EQ(bank.voiceFileVoiceName(1), "ボイス");
    EXPECT_EQ(bank.voiceFileComment(1), "c1");
    EXPECT_EQ(bank.voiceFileComment2(1), "c2");
    EXPECT_EQ(bank.voiceFileDescription(0), "16bit, 44100Hz, Mono  FileSize: 544 byte");
    EXPECT_EQ(bank.voiceFileDescription(1), "16bit, 44100Hz, Mono  FileSize: 624 byte");
    EXPECT_EQ(bank.voiceFileTitle(2), "");
    EXPECT_EQ(bank.voiceFileDescription(-1), "");
    EXPECT_EQ(bank.findVoiceFile("b"), 1);
    EXPECT_EQ(bank.findVoiceFile("B"), -1);

    // A short file is skipped like junk, naming it: it never hides the other voices.
    writeBytes(dir.file("c.vxb"), std::vector<uint8_t>(100, 0));
    ASSERT_TRUE(bank.enumerateVoiceFiles());
    EXPECT_EQ(bank.voiceFileCount(), 2);
    EXPECT_NE(bank.lastError().find("c.vxb: Voice データの読み込みに失敗しました。"), std::string::npos)
        << bank.lastError();
    EXPECT_NE(bank.lastError().find("junk.vxb: "), std::string::npos) << bank.lastError();
}

TEST_F(VoiceBankTest, DescribesSizesAndFormats) {
    std::vector<uint8_t> f = buildVoiceFile(VoiceFileHeader{}, {});
    storeLE16(&f[226], 7);  // 8-bit stereo 22050 Hz
    f.resize(1536);
    writeBytes(dir.file("x.vxb"), f);
    storeLE16(&f[226], 12);  // outside the table: 16-bit mono 44100 Hz
    f.resize(1048576);
    writeBytes(dir.file("y.vxb"), f);
    storeLE16(&f[226], 0);
    f.resize(1023);
    writeBytes(dir.file("z.vxb"), f);
    ASSERT_TRUE(bank.enumerateVoiceFiles());
    EXPECT_EQ(bank.voiceFileDescription(0), "8bit, 22050Hz, Stereo  FileSize: 1.50 KB");
    EXPECT_EQ(bank.voiceFileDescription(1), "16bit, 44100Hz, Mono  FileSize: 1.00 MB");
    EXPECT_EQ(bank.voiceFileDescription(2), "16bit, 11025Hz, Mono  FileSize: 1023 byte");
}

TEST_F(VoiceBankTest, ChecksAVoiceFile) {
    writeVoice(dir.file("good.vxb"), samples({}));
    writeVoice(dir.file("newer.vxb"), samples({}), "n", 203);
    EXPECT_EQ(bank.checkVoiceFile("good"), "good");
    EXPECT_TRUE(bank.lastError().empty());
    EXPECT_EQ(bank.checkVoiceFile("missing"), "missing");
    EXPECT_EQ(bank.lastError(), "Voice データの読み込みに失敗しました。");
    EXPECT_EQ(bank.checkVoiceFile("newer"), "\x01");
    EXPECT_EQ(bank.lastError(), "未対応なﾊﾞｰｼﾞｮﾝのVoiceData（Vxbﾌｧｲﾙ）です。");
}

}  // namespace
}  // namespace kantor

namespace kantor {
namespace {

TEST_F(VoiceBankTest, AVoiceWhoseNameEndsInBlanksIsLoadedFromItsOwnFile) {
    writeVoice(dir.file("Alto  .vxb"), samples({{"KA", "か", 60, 4}}));
    writeVoice(dir.file("Alto.vxb"), samples({{"SA", "さ", 60, 4}}));
    ASSERT_TRUE(bank.ensureVoiceLoaded("Alto  ")) << bank.lastError();
    SyllableMatch m;
    EXPECT_TRUE(bank.findSyllableByCode("Alto  ", "KA", m));
    EXPECT_FALSE(bank.findSyllableByCode("Alto  ", "SA", m)) << "the file without the blanks was opened";
    // A name padded with blanks whose file has none still finds that file.
    VoiceBank other(dir.path());
    ASSERT_TRUE(other.ensureVoiceLoaded("Alto ")) << other.lastError();
    EXPECT_TRUE(other.findSyllableByCode("Alto", "SA", m));
}

TEST_F(VoiceBankTest, DamagedValuesAreRefusedWhenTheVoiceIsRead) {
    auto withMarker = samples({{"KA", "か", 60, 100}});
    withMarker[0]->markerB = 0x7FFFFFFF;
    writeVoice(dir.file("marker.vxb"), std::move(withMarker));
    EXPECT_FALSE(bank.ensureVoiceLoaded("marker"));
    EXPECT_NE(bank.lastError().find("sample KA: a marker lies past its data"), std::string::npos)
        << bank.lastError();

    VoiceFileHeader h;
    h.tuning = 0xFFFFFFFF;
    VoiceFileWriter w;
    ASSERT_TRUE(w.write(dir.file("tuning.vxb"), h, samples({{"KA", "か", 60, 4}})));
    EXPECT_FALSE(bank.ensureVoiceLoaded("tuning"));
    EXPECT_NE(bank.lastError().find("tuning 4294967295 is out of range"), std::string::npos) << bank.lastError();
}

}  // namespace
}  // namespace kantor

namespace kantor {
namespace {

TEST_F(VoiceBankTest, TheIndexOfAVoiceChecksWhatTheReaderChecks) {
    auto s = samples({{"KA", "か", 60, 100}, {"SA", "さ", 62, 50}});
    s[1]->markerD = 100;  // the end of its 50 samples
    writeVoice(dir.file("v.vxb"), std::move(s));
    VoiceFileReader reader;
    VoiceFileHeader h;
    std::vector<SampleRecord> records;
    ASSERT_TRUE(reader.readIndex(dir.file("v.vxb"), h, records)) << reader.lastError();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].code, "SA");
    EXPECT_EQ(records[1].dataSize, 100u);
    EXPECT_EQ(records[1].markerD, 100u);

    // Cut short, a marker past the data, and a pipe: refused like the reader refuses them.
    std::vector<uint8_t> bytes;
    ASSERT_EQ(readWholeFile(dir.file("v.vxb"), bytes), ReadStatus::Ok);
    bytes.resize(bytes.size() - 1);
    writeBytes(dir.file("cut.vxb"), bytes);
    EXPECT_FALSE(reader.readIndex(dir.file("cut.vxb"), h, records));
    auto far = samples({{"KA", "か", 60, 100}});
    far[0]->markerC = 300;
    writeVoice(dir.file("far.vxb"), std::move(far));
    EXPECT_FALSE(reader.readIndex(dir.file("far.vxb"), h, records));
    EXPECT_NE(reader.lastError().find("sample KA"), std::string::npos) << reader.lastError();
    ASSERT_EQ(::mkfifo(dir.file("pipe.vxb").c_str(), 0600), 0);
    EXPECT_FALSE(reader.readIndex(dir.file("pipe.vxb"), h, records));
}

}  // namespace
}  // namespace kantor

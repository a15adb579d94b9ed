// The project file: byte layout, round trip, version 202, refused and damaged files,
// the changed state; list lines and pitch names.
#include <gtest/gtest.h>

#include "base/ByteIO.h"
#include "base/FileIO.h"
#include "support/TempDir.h"
#include "voicemaker/MakerTexts.h"
#include "voicemaker/PitchNames.h"
#include "voicemaker/VoiceProject.h"

namespace kantor {
namespace {

std::unique_ptr<VoiceItem> itemWithData(const char* code, const char* kana, int pitch, std::size_t bytes) {
    auto item = VoiceItem::make(code, kana, pitch);
    std::vector<uint8_t> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
    EXPECT_TRUE(item->data.assign(data));
    return item;
}

VoiceProject sampleProject() {
    VoiceProject p;
    p.voiceName = "テスト声";
    p.comment = "ｺﾒﾝﾄ one";
    p.comment2 = "two";
    p.tuning = 441500;
    p.rateChoice = 1;
    auto ka = itemWithData("KA", "か", 72, 177401);  // more than a file stores
    ka->recordedPosition = 44100;
    ka->setMarkers({100, 200, 900, 2000});
    ka->normalize = 0;
    ka->volume = 150;
    p.items.push_back(std::move(ka));
    p.items.push_back(VoiceItem::blank());
    p.items.push_back(VoiceItem::make("kya", "きゃ", 73));  // no data
    return p;
}

TEST(VoiceProjectTest, FileLayout) {
    VoiceProject p = sampleProject();
    std::vector<uint8_t> b = p.toBytes();
    ASSERT_EQ(b.size(), 280u + 100 + 177400 + 100 + 100);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data())), "VXB Make Project");
    for (std::size_t i = 16; i < 32; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[32])), "\x83\x65\x83\x58\x83\x67\x90\xba");  // cp932
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[96])), "\xba\xd2\xdd\xc4 one");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[160])), "two");
    EXPECT_EQ(loadLE16(&b[224]), 203);
    EXPECT_EQ(loadLE16(&b[226]), kWorkingFormatIndex);
    EXPECT_EQ(loadLE32(&b[228]), 441500u);
    EXPECT_EQ(loadLE32(&b[232]), 3u);
    EXPECT_EQ(loadLE16(&b[236]), 1);
    for (std::size_t i = 238; i < 280; ++i) EXPECT_EQ(b[i], 0) << i;

    const uint8_t* r = &b[280];
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r)), "KA");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 12)), "\x82\xa9");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 24)), "C4    (\xc4\xde)");
    EXPECT_EQ(loadLE32(r + 40), 72u);
    EXPECT_EQ(loadLE32(r + 44), 177400u);
    EXPECT_EQ(loadLE32(r + 48), 44100u);
    EXPECT_EQ(loadLE32(r + 52), 100u);
    EXPECT_EQ(loadLE32(r + 56), 200u);
    EXPECT_EQ(loadLE32(r + 60), 900u);
    EXPECT_EQ(loadLE32(r + 64), 2000u);
    EXPECT_EQ(loadLE16(r + 68), 0);
    EXPECT_EQ(loadLE16(r + 70), 150);
    for (std::size_t i = 72; i < 100; ++i) EXPECT_EQ(r[i], 0) << i;
    EXPECT_EQ(r[100], 3);  // data follows the record
    EXPECT_EQ(r[101], 10);

    const uint8_t* blank = r + 100 + 177400;
    for (std::size_t i = 0; i < 100; ++i) EXPECT_EQ(blank[i], 0) << i;
    const uint8_t* kya = blank + 100;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(kya)), "kya");
    EXPECT_EQ(loadLE32(kya + 44), 0u);
    EXPECT_EQ(loadLE16(kya + 68), 1);
    EXPECT_EQ(loadLE16(kya + 70), 100);
}

TEST(VoiceProjectTest, StoredLengthIsAMultipleOfFourAndCapped) {
    EXPECT_EQ(storedDataLength(177401), 177400u);
    EXPECT_EQ(storedDataLength(500000), 177400u);
    EXPECT_EQ(storedDataLength(88203), 88200u);
    EXPECT_EQ(storedDataLength(3), 0u);
}

TEST(VoiceProjectTest, SaveAndLoadRoundTrip) {
    test::TempDir dir;
    VoiceProject p = sampleProject();
    EXPECT_TRUE(p.isChanged());
    std::string path = dir.file("p.vxbprj");
    ASSERT_TRUE(p.save(path)) << p.lastError();
    EXPECT_EQ(p.path(), path);
    EXPECT_FALSE(p.isChanged());

    VoiceProject q;
    ASSERT_TRUE(q.load(path)) << q.lastError();
    EXPECT_EQ(q.path(), path);
    EXPECT_FALSE(q.isChanged());
    EXPECT_EQ(q.voiceName, "テスト声");
    EXPECT_EQ(q.comment, "ｺﾒﾝﾄ one");
    EXPECT_EQ(q.comment2, "two");
    EXPECT_EQ(q.tuning, 441500u);
    EXPECT_EQ(q.rateChoice, 1);
    ASSERT_EQ(q.items.size(), 3u);
    const VoiceItem& ka = *q.items[0];
    EXPECT_EQ(ka.code, "KA");
    EXPECT_EQ(ka.notation, "か");
    EXPECT_EQ(ka.pitchName, "C4    (ﾄﾞ)");
    EXPECT_EQ(ka.pitchNumber, 72u);
    EXPECT_EQ(ka.dataLength(), 177400u);
    EXPECT_TRUE(std::equal(ka.data.bytes().begin(), ka.data.bytes().end(), p.items[0]->data.bytes().begin()));
    EXPECT_EQ(ka.recordedPosition, 44100u);
    EXPECT_EQ(ka.markers(), (Markers{100, 200, 900, 2000}));
    EXPECT_EQ(ka.normalize, 0);
    EXPECT_EQ(ka.volume, 150);
    EXPECT_TRUE(q.items[1]->isBlank());  // the blank line stays a blank line
    EXPECT_FALSE(q.items[1]->hasData());
    EXPECT_EQ(q.items[2]->code, "kya");
    EXPECT_FALSE(q.items[2]->hasData());
    EXPECT_EQ(q.listLines(), p.listLines());
    EXPECT_EQ(q.toBytes(), p.toBytes());
}

TEST(VoiceProjectTest, Version202ItemsNormalizeAtFullVolume) {
    VoiceProject p = sampleProject();
    std::vector<uint8_t> b = p.toBytes();
    storeLE16(&b[224], 202);
    VoiceProject q;
    ASSERT_TRUE(q.loadBytes(b)) << q.lastError();
    EXPECT_EQ(q.items[0]->normalize, 1);
    EXPECT_EQ(q.items[0]->volume, 100);
    EXPECT_EQ(q.items[0]->markers(), (Markers{100, 200, 900, 2000}));
    storeLE16(&b[224], 203);
    ASSERT_TRUE(q.loadBytes(b));
    EXPECT_EQ(q.items[0]->volume, 150);
}

TEST(VoiceProjectTest, RefusedFilesLeaveTheProjectAlone) {
    test::TempDir dir;
    const std::vector<uint8_t> good = sampleProject().toBytes();
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* message;
    };
    std::vector<uint8_t> shortHeader(good.begin(), good.begin() + 279);
    std::vector<uint8_t> magic = good;
    magic[0] = 'v';
    std::vector<uint8_t> longerMagic = good;
    longerMagic[16] = 'X';
    std::vector<uint8_t> v204 = good;
    storeLE16(&v204[224], 204);
    std::vector<Case> cases = {{"short", shortHeader, makertext::kReadFailed},
                               {"magic", magic, makertext::kNotProject},
                               {"longer magic", longerMagic, makertext::kNotProject},
                               {"version", v204, makertext::kUnsupportedVersion}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VoiceProject p;
        p.voiceName = "kept";
        p.items.push_back(VoiceItem::make("A", "あ", 60));
        std::string path = dir.write(std::string(c.name) + ".vxbprj", c.bytes);
        EXPECT_FALSE(p.load(path));
        // The reader's text; where it names no reason, the file and the reason follow it.
        if (std::string(c.message) == makertext::kReadFailed)
            EXPECT_EQ(p.lastError(), std::string(c.message) + "\n" + path +
                                         ": the file holds 279 bytes, less than a project's header (280)");
        else
            EXPECT_EQ(p.lastError(), c.message);
        EXPECT_EQ(p.voiceName, "kept");
        EXPECT_EQ(p.items.size(), 1u);
        EXPECT_EQ(p.path(), "");
    }
    VoiceProject p;
    EXPECT_FALSE(p.load(dir.file("missing.vxbprj")));
    EXPECT_EQ(p.lastError(), std::string(makertext::kOpenFailed) + "\n" + dir.file("missing.vxbprj") + ": 見つかりません");
    std::vector<uint8_t> v0 = good;
    storeLE16(&v0[224], 0);
    EXPECT_TRUE(p.loadBytes(v0)) << "old versions load";
}

TEST(VoiceProjectTest, DamagedFileKeepsWhatWasReadButNotItsName) {
    test::TempDir dir;
    VoiceProject previous = sampleProject();
    ASSERT_TRUE(previous.save(dir.file("previous.vxbprj")));
    const std::vector<uint8_t> good = sampleProject().toBytes();
    // Cut inside the first item's data, then inside the last record.
    for (std::size_t cut : {std::size_t(280 + 100 + 5000), good.size() - 50}) {
        SCOPED_TRACE(cut);
        VoiceProject p = sampleProject();
        ASSERT_TRUE(p.save(dir.file("previous.vxbprj")));
        std::string path = dir.write("cut.vxbprj", std::vector<uint8_t>(good.begin(), good.begin() + cut));
        EXPECT_FALSE(p.load(path));
        EXPECT_TRUE(p.lastError().starts_with(std::string(makertext::kReadFailed) + "\n" + path + ": item "))
            << p.lastError();
        EXPECT_EQ(p.voiceName, "テスト声");
        EXPECT_EQ(p.items.size(), cut < 100000 ? 0u : 2u);
        EXPECT_EQ(p.path(), "") << "a save must ask for a new name";
        EXPECT_TRUE(p.isChanged());
    }
}

TEST(VoiceProjectTest, ItemTextsLoseTrailingWhiteSpace) {
    VoiceProject p;
    auto item = VoiceItem::make("KA  ", "か ", 60);
    item->pitchName = "C3    (ﾄﾞ)\t ";
    p.items.push_back(std::move(item));
    VoiceProject q;
    ASSERT_TRUE(q.loadBytes(p.toBytes()));
    EXPECT_EQ(q.items[0]->code, "KA");
    EXPECT_EQ(q.items[0]->notation, "か");
    EXPECT_EQ(q.items[0]->pitchName, "C3    (ﾄﾞ)");
}

TEST(VoiceProjectTest, FieldWithoutItsZeroIsCutLikeTheWriterCutsIt) {
    VoiceProject p;
    p.items.push_back(VoiceItem::make("KA", "か", 60));
    std::vector<uint8_t> b = p.toBytes();
    // The code field: eleven blanks and a lead byte, no zero.
    for (std::size_t i = 0; i < 11; ++i) b[280 + i] = ' ';
    b[280 + 11] = 0xE6;
    VoiceProject q;
    ASSERT_TRUE(q.loadBytes(b));
    EXPECT_TRUE(q.items[0]->isBlank());
    VoiceProject r;
    ASSERT_TRUE(r.loadBytes(q.toBytes()));
    EXPECT_TRUE(r.items[0]->isBlank());
}

TEST(VoiceProjectTest, ChangedState) {
    test::TempDir dir;
    VoiceProject p;
    p.clear();
    EXPECT_FALSE(p.isChanged());
    EXPECT_EQ(p.tuningText(), "440.0");
    p.tuning = 452300;
    EXPECT_EQ(p.tuningText(), "452.3");
    EXPECT_TRUE(p.isChanged());
    ASSERT_TRUE(p.save(dir.file("a.vxbprj")));
    EXPECT_FALSE(p.isChanged());
    p.items.push_back(VoiceItem::blank());
    EXPECT_TRUE(p.isChanged());
    ASSERT_TRUE(p.save(dir.file("a.vxbprj")));
    p.comment2 = "x";
    EXPECT_TRUE(p.isChanged());
    p.comment2.clear();
    EXPECT_FALSE(p.isChanged());
    p.markItemsEdited();
    EXPECT_TRUE(p.isChanged());
}

TEST(VoiceProjectTest, FailedSaveKeepsTheOldFileAndName) {
    test::TempDir dir;
    VoiceProject p = sampleProject();
    ASSERT_TRUE(p.save(dir.file("a.vxbprj")));
    p.voiceName = "changed";
    EXPECT_FALSE(p.save(dir.file("no/such/folder/b.vxbprj")));
    EXPECT_EQ(p.lastError(), makertext::kSaveFailed);
    EXPECT_EQ(p.path(), dir.file("a.vxbprj"));
    EXPECT_TRUE(p.isChanged());
}

TEST(VoiceProjectTest, DuplicateItemsByPitchAndCodeIgnoringCase) {
    VoiceProject p = sampleProject();
    EXPECT_EQ(p.findSameItem(*VoiceItem::make("ka", "か", 72)), 0);
    EXPECT_EQ(p.findSameItem(*VoiceItem::make("KYA", "きゃ", 73)), 2);
    EXPECT_EQ(p.findSameItem(*VoiceItem::make("KA", "か", 73)), -1);
    EXPECT_EQ(p.findSameItem(*VoiceItem::blank()), -1);
}

TEST(PitchNamesTest, SystemPitchNames) {
    EXPECT_EQ(makerPitchName(72), "C4    (ﾄﾞ)");
    EXPECT_EQ(makerPitchName(73), "C4#   (ﾄﾞ#)");
    EXPECT_EQ(makerPitchName(60), "C3    (ﾄﾞ)");
    EXPECT_EQ(makerPitchName(0), "C-2   (ﾄﾞ)");
    EXPECT_EQ(makerPitchName(1), "C-2#  (ﾄﾞ#)");
    EXPECT_EQ(makerPitchName(65), "F3    (ﾌｧ)");
    EXPECT_EQ(makerPitchName(69), "A3    (ﾗ)");
    EXPECT_EQ(makerPitchName(127), "G8    (ｿ)");
    EXPECT_EQ(makerPitchName(128), "");
    EXPECT_EQ(makerPitchListLine(72), " C4    (ﾄﾞ)");
    for (int n = 0; n < 128; ++n) {
        EXPECT_EQ(makerPitchNumber(makerPitchName(n)), n);
        EXPECT_EQ(makerPitchNumber(makerPitchListLine(n)), n);
    }
    EXPECT_EQ(makerPitchNumber("H2"), -1);
}

TEST(PitchNamesTest, CodeListLines) {
    EXPECT_EQ(codeListLine(0, false), " A    - あ");
    EXPECT_EQ(codeListLine(83, false), " KYA  - きゃ");
    EXPECT_EQ(codeListLine(83, true), " kya  - きゃ");
    EXPECT_EQ(codeListLine(119, false), "");
}

TEST(ListLineTest, Lines) {
    auto item = VoiceItem::make("KA", "か", 72);
    EXPECT_EQ(item->listLine(), "C4    (ﾄﾞ)   : KA   - か         : ");
    std::vector<int16_t> second(44100, 1);
    ASSERT_TRUE(setItemSound(*item, second));
    EXPECT_EQ(item->listLine(), "C4    (ﾄﾞ)   : KA   - か         :  R ");
    item->markerD = 5000;
    EXPECT_EQ(item->listLine(), "C4    (ﾄﾞ)   : KA   - か         :  R  P  N ");
    item->normalize = 0;
    item->volume = 50;
    EXPECT_EQ(item->listLine(), "C4    (ﾄﾞ)   : KA   - か         :  R  P  V50 ");
    EXPECT_EQ(item->listLine(false), "C4    (ﾄﾞ)   : KA   - か         : ");
    auto kya = VoiceItem::make("KYA", "きゃ", 73);
    EXPECT_EQ(kya->listLine(), "C4#   (ﾄﾞ#)  : KYA  - きゃ       : ");
    EXPECT_EQ(VoiceItem::blank()->listLine(), "             :                   : ");
}

}  // namespace
}  // namespace kantor

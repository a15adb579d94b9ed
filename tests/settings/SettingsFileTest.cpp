// The settings file: byte layout, defaults, saving and reading back, damaged files.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/ByteIO.h"
#include "base/Codepage.h"
#include "base/FileIO.h"
#include "settings/Settings.h"

namespace kantor {
namespace {
namespace off = settings_offset;

struct TempDir {
    std::string path;
    TempDir() {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/kantor-settings-XXXXXX";
        path = mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path); }
};

const SettingsDefaults kDefaults{"/home/u/Documents/Ardlow Software/Kantor/sample/", "/home/u/Documents"};

int32_t at32(const std::vector<uint8_t>& b, std::size_t o) { return static_cast<int32_t>(loadLE32(b.data() + o)); }
uint16_t at16(const std::vector<uint8_t>& b, std::size_t o) { return loadLE16(b.data() + o); }
std::string textAt(const std::vector<uint8_t>& b, std::size_t o) {
    return cp932FieldToUtf8(b.data() + o, kSettingsTextSize);
}

TEST(SettingsFile, FieldsSitAtTheirOffsets) {
    Settings s(kDefaults);
    SettingsBlock& b = s.block();
    b.mainPanel = {1, 2, 3, 4};
    b.channelList = {5, 6, 7, 8};
    b.titleInfo = {9, 10, 11, 12};
    for (int n = 0; n < 16; ++n) {
        s.setWindowRect(WindowKind::ChannelScore, {100 + n, -1, -2, -3}, n);
        s.setWindowRect(WindowKind::NoteVoice, {200 + n, -4, -5, -6}, n);
    }
    s.setWindowRect(WindowKind::MuteSolo, {13, 14, 15, 16});
    s.setWindowRect(WindowKind::WaveVolume, {17, 18, 19, 20});
    s.setWindowRect(WindowKind::RomajiList, {21, 0, 0, 0});
    s.setWindowRect(WindowKind::LyricInput, {22, 0, 0, 0});
    s.setWindowRect(WindowKind::WaveInsert, {23, 0, 0, 24});
    b.value324 = 324;
    b.value648 = 648;
    b.value652 = 652;
    b.channelListBarPattern = 1;
    b.channelListEventColourArea = 1;
    b.channelListAutoScroll = 0;
    b.channelScoreAutoScrollMode = 2;
    b.channelScoreVoxWordDisplay = 2;
    b.value676 = 676;
    s.setMidiDelayCorrection(-90);
    SoundSettings sound = s.soundSettings();
    sound.setGuideInstrument(19);
    sound.setOutputQualityCode(5);
    s.setSoundSettings(sound);
    s.setWaveVolume(0x1234, 0xFEDC);
    s.setLrSync(false);
    b.value710 = 710;
    ASSERT_TRUE(s.setVoiceFolderText("/v/VXB"));
    ASSERT_TRUE(s.setVoiceMakerFolder("/m/作業"));
    s.addRecentFile("/a.uta");
    b.value3790 = 3790;

    std::vector<uint8_t> f = s.toBytes();
    ASSERT_EQ(f.size(), kSettingsBlockSize);
    EXPECT_EQ(at32(f, 0), 2002);
    EXPECT_EQ(at32(f, 4), 1);
    EXPECT_EQ(at32(f, 16), 4);
    EXPECT_EQ(at32(f, 20), 5);
    EXPECT_EQ(at32(f, 36), 9);
    EXPECT_EQ(at32(f, 52), 100);
    EXPECT_EQ(at32(f, 52 + 16 * 15), 115);
    EXPECT_EQ(at32(f, 52 + 16 * 15 + 12), -3);
    EXPECT_EQ(at32(f, 308), 13);
    EXPECT_EQ(at32(f, 324), 324);
    EXPECT_EQ(at32(f, 328), 17);
    EXPECT_EQ(at32(f, 344), 200);
    EXPECT_EQ(at32(f, 344 + 16 * 15), 215);
    EXPECT_EQ(at32(f, 600), 21);
    EXPECT_EQ(at32(f, 616), 22);
    EXPECT_EQ(at32(f, 632), 23);
    EXPECT_EQ(at32(f, 644), 24);
    EXPECT_EQ(at32(f, 648), 648);
    EXPECT_EQ(at32(f, 652), 652);
    EXPECT_EQ(at32(f, 656), 1);
    EXPECT_EQ(at32(f, 660), 1);
    EXPECT_EQ(at32(f, 664), 0);
    EXPECT_EQ(at32(f, 668), 2);
    EXPECT_EQ(at32(f, 672), 2);
    EXPECT_EQ(at32(f, 676), 676);
    EXPECT_EQ(at32(f, 680), 0);
    EXPECT_EQ(at32(f, 684), -90);
    EXPECT_EQ(f[688], 19);
    EXPECT_EQ(at16(f, 690), 5);
    EXPECT_EQ(at16(f, 704), 0x1234);
    EXPECT_EQ(at16(f, 706), 0xFEDC);
    EXPECT_EQ(at16(f, 708), 0);
    EXPECT_EQ(at16(f, 710), 710);
    EXPECT_EQ(textAt(f, 712), "/v/VXB");
    EXPECT_EQ(textAt(f, 1224), "/a.uta");
    EXPECT_EQ(textAt(f, 1224 + 512), kDefaults.sampleFolder + "DEMOS20.uta");
    EXPECT_EQ(textAt(f, 3272), "/m/作業");
    EXPECT_EQ(utf8ToCp932("作業").size(), 4u);  // stored as cp932, not UTF-8
    EXPECT_EQ(f[3272 + 3 + 4], 0);
    EXPECT_EQ(at32(f, 3784), 0);
    EXPECT_EQ(at16(f, 3788), 0);
    EXPECT_EQ(at16(f, 3790), 3790);
}

TEST(SettingsFile, DefaultsOfAFreshStart) {
    Settings s(kDefaults);
    std::vector<uint8_t> f = s.toBytes();
    ASSERT_EQ(f.size(), kSettingsBlockSize);
    EXPECT_EQ(at32(f, 0), 2002);
    for (std::size_t o = 4; o < 656; o += 4) {
        if (o != 324 && o != 648 && o != 652) {
            ASSERT_EQ(at32(f, o), 0) << "offset " << o;
        }
    }
    EXPECT_EQ(at32(f, 664), 1);  // channel list auto scroll on
    EXPECT_EQ(at32(f, 672), 1);  // VoxWord shown as hiragana
    EXPECT_EQ(at32(f, 684), 0);
    EXPECT_EQ(at16(f, 690), 8);  // 16-bit mono 44100 Hz
    EXPECT_EQ(at16(f, 704), 0x7FFF);
    EXPECT_EQ(at16(f, 706), 0x7FFF);
    EXPECT_EQ(at16(f, 708), 1);
    EXPECT_EQ(textAt(f, 712), "");
    EXPECT_EQ(s.recentFile(0), "/home/u/Documents/Ardlow Software/Kantor/sample/DEMOS20.uta");
    for (int i = 1; i < 4; ++i) EXPECT_EQ(s.recentFile(i), "");
    EXPECT_EQ(s.voiceMakerFolder(), "/home/u/Documents");
    EXPECT_EQ(s.outputFormat(), (OutputFormat{44100, 16, 1}));
    EXPECT_FALSE(s.settingsMissing());
}

TEST(SettingsFile, SavesAndReadsBackWithPluginRecords) {
    TempDir dir;
    const std::string path = dir.path + "/Kantor.ini";
    Settings s(kDefaults);
    s.setWindowRect(WindowKind::NoteVoice, {-10, 20, 300, 400}, 3);
    s.setMidiDelayCorrection(90);
    s.addRecentFile("/songs/ うた.uta");
    s.setPluginFiles({"/p/echo.ncp", "", "/p/リバーブ.ncp"});
    ASSERT_TRUE(s.save(path)) << s.lastError();

    std::vector<uint8_t> f;
    ASSERT_EQ(readWholeFile(path, f), ReadStatus::Ok);
    // Empty records are left out; the others follow the block in order.
    ASSERT_EQ(f.size(), kSettingsBlockSize + 2 * kSettingsRecordSize);
    EXPECT_EQ(at32(f, off::kRecordOffset), 3792);
    EXPECT_EQ(at16(f, off::kRecordCount), 2);
    EXPECT_EQ(cp932FieldToUtf8(f.data() + 3792, 512), "/p/echo.ncp");
    EXPECT_EQ(cp932FieldToUtf8(f.data() + 3792 + 512, 512), "/p/リバーブ.ncp");

    Settings t(SettingsDefaults{"/elsewhere/", "/elsewhere"});
    ASSERT_TRUE(t.load(path)) << t.lastError();
    EXPECT_FALSE(t.settingsMissing());
    EXPECT_EQ(t.toBytes(), f);
    EXPECT_EQ(t.pluginFiles(), (std::vector<std::string>{"/p/echo.ncp", "/p/リバーブ.ncp"}));
    EXPECT_EQ(t.windowRect(WindowKind::NoteVoice, 3), (WindowRect{-10, 20, 300, 400}));
    EXPECT_EQ(t.midiDelayCorrection(), 90);
    EXPECT_EQ(t.recentFile(0), "/songs/ うた.uta");
    EXPECT_EQ(t.recentFile(1), kDefaults.sampleFolder + "DEMOS20.uta");
    // Saving again keeps the plug-in list (it is not emptied by a save).
    ASSERT_TRUE(t.save(path));
    std::vector<uint8_t> g;
    ASSERT_EQ(readWholeFile(path, g), ReadStatus::Ok);
    EXPECT_EQ(g, f);
}

TEST(SettingsFile, OverlongPluginPathIsCutOnACharacterBoundary) {
    // Too long to store: written cut (so later plug-in numbers stay), never half a character.
    Settings s;
    s.setPluginFiles({"/" + std::string(300, 'x') + std::string(209, 'a') + "あいうえお" + std::string(200, 'b'),
                      "/p/second.ncp"});
    std::vector<uint8_t> f = s.toBytes();
    ASSERT_EQ(f.size(), kSettingsBlockSize + 2 * kSettingsRecordSize);
    Settings t;
    ASSERT_TRUE(t.loadFromBytes(f));
    ASSERT_EQ(t.pluginFiles().size(), 2u);
    EXPECT_EQ(t.pluginFiles()[1], "/p/second.ncp");
    EXPECT_EQ(t.pluginFiles()[0], "/" + std::string(300, 'x') + std::string(209, 'a'));
    EXPECT_EQ(t.toBytes(), f);
}

TEST(SettingsFile, OverlongAsciiPluginPathKeepsFiveHundredElevenBytes) {
    // A 512-byte record holds 511 bytes of text and its terminating zero.
    const std::string path = "/" + std::string(598, 'x') + "z";
    Settings s;
    s.setPluginFiles({path});
    std::vector<uint8_t> f = s.toBytes();
    ASSERT_EQ(f.size(), kSettingsBlockSize + kSettingsRecordSize);
    EXPECT_EQ(f[kSettingsBlockSize + 510], 'x');
    EXPECT_EQ(f[kSettingsBlockSize + 511], 0);
    Settings t;
    ASSERT_TRUE(t.loadFromBytes(f));
    ASSERT_EQ(t.pluginFiles().size(), 1u);
    EXPECT_EQ(t.pluginFiles()[0], path.substr(0, 511));
}

TEST(SettingsFile, FailedSaveKeepsTheOldFile) {
    TempDir dir;
    const std::string path = dir.path + "/Kantor.ini";
    Settings s(kDefaults);
    s.setMidiDelayCorrection(42);
    ASSERT_TRUE(s.save(path));
    s.setMidiDelayCorrection(-42);
    for (AtomicFile::Fault fault : {AtomicFile::Fault::Open, AtomicFile::Fault::Write, AtomicFile::Fault::Rename}) {
        AtomicFile::injectFaultForTesting(fault);
        EXPECT_FALSE(s.save(path));
        EXPECT_FALSE(s.lastError().empty());
        Settings t(kDefaults);
        ASSERT_TRUE(t.load(path));
        EXPECT_EQ(t.midiDelayCorrection(), 42);
    }
    AtomicFile::injectFaultForTesting(AtomicFile::Fault::None);
    EXPECT_FALSE(s.save(dir.path + "/missing-folder/Kantor.ini"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1);  // no temporary left
}

// Damaged files all end the same way: defaults and the settings-missing flag, never a read
// past the end of what was read.
TEST(SettingsFile, DamagedFilesGiveDefaultsAndTheMissingFlag) {
    Settings good(kDefaults);
    good.setMidiDelayCorrection(77);
    good.setPluginFiles({"/p/a.ncp"});
    const std::vector<uint8_t> valid = good.toBytes();

    auto expectDefaults = [&](const std::vector<uint8_t>& bytes, const char* what) {
        Settings s(kDefaults);
        s.setMidiDelayCorrection(11);
        EXPECT_FALSE(s.loadFromBytes(bytes)) << what;
        EXPECT_TRUE(s.settingsMissing()) << what;
        EXPECT_FALSE(s.lastError().empty()) << what;
        EXPECT_EQ(s.toBytes(), Settings(kDefaults).toBytes()) << what;
        EXPECT_TRUE(s.pluginFiles().empty()) << what;
    };
    expectDefaults({}, "empty file");
    expectDefaults(std::vector<uint8_t>(valid.begin(), valid.begin() + 3791), "one byte short of the block");
    std::vector<uint8_t> v2001 = valid;
    storeLE32(v2001.data(), 2001);
    expectDefaults(v2001, "version 2001");
    expectDefaults(std::vector<uint8_t>(valid.begin(), valid.end() - 1), "last record cut short");
    std::vector<uint8_t> farOffset = valid;
    storeLE32(farOffset.data() + off::kRecordOffset, 0xFFFFFFFF);
    storeLE16(farOffset.data() + off::kRecordCount, 0xFFFF);
    expectDefaults(farOffset, "records far past the end");
}

TEST(SettingsFile, MissingFileAndOddButReadableFiles) {
    TempDir dir;
    Settings s(kDefaults);
    EXPECT_FALSE(s.load(dir.path + "/Kantor.ini"));
    EXPECT_TRUE(s.settingsMissing());
    EXPECT_EQ(s.recentFile(0), kDefaults.sampleFolder + "DEMOS20.uta");
    // A damaged file on disk: the file and the reason.
    const std::string ini = dir.path + "/Kantor.ini";
    std::ofstream(ini) << "junk";
    EXPECT_FALSE(s.load(ini));
    EXPECT_EQ(s.lastError(), ini + ": the settings file is shorter than its block");
    std::filesystem::remove(ini);

    // Extra bytes after the block, and values the windows limit, are read as they are;
    // the accessors keep the renderer inside the valid range.
    std::vector<uint8_t> bytes = Settings(kDefaults).toBytes();
    bytes.resize(bytes.size() + 100, 0xAB);
    storeLE32(bytes.data() + off::kSoundSettings + 4, 100000);
    storeLE16(bytes.data() + off::kSoundSettings + 10, 12);
    std::fill(bytes.begin() + off::kVoiceFolder, bytes.begin() + off::kVoiceFolder + 512, 'x');  // no terminator
    ASSERT_TRUE(s.loadFromBytes(bytes)) << s.lastError();
    EXPECT_FALSE(s.settingsMissing());
    EXPECT_EQ(s.soundSettings().storedMidiDelayCorrection(), 100000);
    EXPECT_EQ(s.midiDelayCorrection(), 500);
    EXPECT_EQ(s.soundSettings().storedOutputQualityCode(), 12);
    EXPECT_EQ(s.outputQualityCode(), 8);
    EXPECT_EQ(s.voiceFolderText(), std::string(512, 'x'));
    // Written back, the unterminated text becomes a terminated 511-byte one.
    std::vector<uint8_t> again = s.toBytes();
    EXPECT_EQ(again[off::kVoiceFolder + 511], 0);
    EXPECT_EQ(at32(again, off::kSoundSettings + 4), 100000);  // kept unchanged
}

}  // namespace
}  // namespace kantor

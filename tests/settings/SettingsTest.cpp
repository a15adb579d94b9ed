// Recent files, window rectangles and the sound settings of the Settings class.
#include <gtest/gtest.h>

#include "settings/Settings.h"

namespace kantor {
namespace {

std::vector<std::string> recent(const Settings& s) {
    std::vector<std::string> out;
    for (int i = 0; i < 4; ++i) out.push_back(s.recentFile(i));
    return out;
}

TEST(RecentFiles, FifthFileDropsTheOldestAndReopeningMovesUp) {
    Settings s(SettingsDefaults{"/s/", "/d"});
    EXPECT_EQ(recent(s), (std::vector<std::string>{"/s/DEMOS20.uta", "", "", ""}));
    for (const char* p : {"/1.mid", "/2.mid", "/3.uta", "/4.uta"}) EXPECT_TRUE(s.addRecentFile(p));
    EXPECT_EQ(recent(s), (std::vector<std::string>{"/4.uta", "/3.uta", "/2.mid", "/1.mid"}));
    s.addRecentFile("/5.mid");
    EXPECT_EQ(recent(s), (std::vector<std::string>{"/5.mid", "/4.uta", "/3.uta", "/2.mid"}));
    // Reopening the third entry moves it to the top and drops nothing.
    s.addRecentFile("/3.uta");
    EXPECT_EQ(recent(s), (std::vector<std::string>{"/3.uta", "/5.mid", "/4.uta", "/2.mid"}));
    s.addRecentFile("/3.uta");
    EXPECT_EQ(recent(s), (std::vector<std::string>{"/3.uta", "/5.mid", "/4.uta", "/2.mid"}));
    s.addRecentFile("/2.mid");
    EXPECT_EQ(recent(s), (std::vector<std::string>{"/2.mid", "/3.uta", "/5.mid", "/4.uta"}));
    EXPECT_EQ(s.recentFile(-1), "");
    EXPECT_EQ(s.recentFile(4), "");
}

TEST(RecentFiles, TrimsComparesExactlyAndRefusesWhatCannotBeStored) {
    Settings s(SettingsDefaults{"/s/", "/d"});
    s.block().recentFiles[1] = "/a.uta \t";  // as an older file might hold it
    EXPECT_TRUE(s.addRecentFile("/a.uta  \r\n"));
    EXPECT_EQ(recent(s), (std::vector<std::string>{"/a.uta", "/s/DEMOS20.uta", "", ""}));
    // Linux file names differ by letter case: these are two files.
    EXPECT_TRUE(s.addRecentFile("/A.uta"));
    EXPECT_EQ(recent(s), (std::vector<std::string>{"/A.uta", "/a.uta", "/s/DEMOS20.uta", ""}));
    // Japanese paths are stored in cp932; paths it cannot hold are never stored altered.
    EXPECT_TRUE(s.addRecentFile("/歌/きゃ.uta"));
    EXPECT_EQ(s.recentFile(0), "/歌/きゃ.uta");
    EXPECT_FALSE(s.addRecentFile("/songs/\xF0\x9F\x8E\xB5.uta"));
    EXPECT_FALSE(s.addRecentFile("/" + std::string(511, 'x')));
    EXPECT_FALSE(s.addRecentFile("   "));
    EXPECT_EQ(s.recentFile(0), "/歌/きゃ.uta");
    EXPECT_TRUE(s.addRecentFile("/" + std::string(510, 'x')));
}

TEST(SettingsWindows, RectanglesByKindAndChannel) {
    Settings s;
    const WindowKind kinds[] = {WindowKind::MainPanel, WindowKind::ChannelList, WindowKind::TitleInfo,
                                WindowKind::MuteSolo,  WindowKind::WaveVolume,  WindowKind::RomajiList,
                                WindowKind::LyricInput, WindowKind::WaveInsert};
    int i = 1;
    for (WindowKind k : kinds) {
        s.setWindowRect(k, {i, i, i + 10, i + 10});
        ++i;
    }
    for (int ch = 0; ch < 16; ++ch) {
        s.setWindowRect(WindowKind::ChannelScore, {ch, 100, 200, 300}, ch);
        s.setWindowRect(WindowKind::NoteVoice, {ch, 400, 500, 600}, ch);
    }
    i = 1;
    for (WindowKind k : kinds) {
        EXPECT_EQ(s.windowRect(k), (WindowRect{i, i, i + 10, i + 10}));
        ++i;
    }
    for (int ch = 0; ch < 16; ++ch) {
        EXPECT_EQ(s.windowRect(WindowKind::ChannelScore, ch), (WindowRect{ch, 100, 200, 300}));
        EXPECT_EQ(s.windowRect(WindowKind::NoteVoice, ch), (WindowRect{ch, 400, 500, 600}));
    }
    // Channels out of range are neither read nor stored.
    std::vector<uint8_t> before = s.toBytes();
    s.setWindowRect(WindowKind::ChannelScore, {9, 9, 9, 9}, 16);
    s.setWindowRect(WindowKind::NoteVoice, {9, 9, 9, 9}, -1);
    EXPECT_EQ(s.toBytes(), before);
    EXPECT_TRUE(s.windowRect(WindowKind::NoteVoice, 16).isEmpty());
}

TEST(SoundSettingsBlock, DelayCorrectionAndQualityCode) {
    SoundSettings sound;
    EXPECT_EQ(sound.outputQualityCode(), 8);
    EXPECT_EQ(sound.midiDelayCorrection(), 0);
    sound.setMidiDelayCorrection(-600);
    EXPECT_EQ(sound.midiDelayCorrection(), -500);
    EXPECT_EQ(sound.storedMidiDelayCorrection(), -500);
    EXPECT_FALSE(sound.setOutputQualityCode(12));
    EXPECT_EQ(sound.outputQualityCode(), 8);
    // 8-bit codes pass the range check but cannot be mixed: the default is used.
    for (uint16_t code : {2, 3, 6, 7, 10, 11}) {
        sound.setOutputQualityCode(code);
        EXPECT_EQ(sound.outputQualityCode(), 8) << code;
    }
    ASSERT_TRUE(sound.setOutputQualityCode(4));
    EXPECT_EQ(sound.outputQualityCode(), 4);
    // Every code names the format it says and back.
    for (uint16_t code = 0; code < 12; ++code) {
        OutputFormat f = outputFormatOfQualityCode(code);
        uint16_t back = 99;
        ASSERT_TRUE(qualityCodeOfFormat(f, back));
        EXPECT_EQ(back, code);
    }
    EXPECT_EQ(outputFormatOfQualityCode(0), (OutputFormat{11025, 16, 1}));
    EXPECT_EQ(outputFormatOfQualityCode(8), (OutputFormat{44100, 16, 1}));
    EXPECT_EQ(outputFormatOfQualityCode(7), (OutputFormat{22050, 8, 2}));
    uint16_t code = 0;
    EXPECT_FALSE(qualityCodeOfFormat({48000, 16, 1}, code));
    EXPECT_FALSE(qualityCodeOfFormat({44100, 24, 1}, code));
}

TEST(Settings, PlugInListsChangedByTwoWritersMerge) {
    using L = std::vector<std::string>;
    const L base = {"a", "b", "c"};
    EXPECT_EQ(mergeLists(base, {"c", "a"}, base), (L{"c", "a"}));  // only ours changed: ours, order and all
    EXPECT_EQ(mergeLists(base, base, {"b"}), (L{"b"}));            // only theirs changed
    // Both: we removed a and added d; they removed c and added e.
    EXPECT_EQ(mergeLists(base, {"b", "c", "d"}, {"a", "b", "e"}), (L{"b", "e", "d"}));
    // Both added the same one: once.
    EXPECT_EQ(mergeLists(base, {"a", "b", "c", "x"}, {"a", "b", "x", "c"}), (L{"a", "b", "x", "c"}));
}

}  // namespace
}  // namespace kantor

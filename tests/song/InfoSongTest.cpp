#include <gtest/gtest.h>

#include <sstream>

#include "cli/Commands.h"
#include "song/Song.h"
#include "song/SongFile.h"
#include "support/TempDir.h"

namespace kantor {
namespace {

std::string saveSample(const test::TempDir& dir) {
    Song s;
    s.titleInfo().title = "ふるさと";
    s.channelFlags().set(ChannelFlags::VoxMute, 2, true);
    s.channelDefaults(2).ownVoice = 1;
    s.channelDefaults(2).voiceName = "Alto";
    s.putLyricLine(480, "うさぎ おいし");
    auto e = std::make_unique<VoxEvent>();
    e->startTick = 0;
    e->endTick = 480;
    e->noteKey = 67;
    e->setCode(0, "U");
    e->setCode(1, "SA");
    e->syllableLength = {1, 2, 0, 0};
    e->phraseIndex = 1;
    s.channel(2).phrases.push_back(std::make_unique<VoiceSettings>());
    s.channel(2).events.push_back(std::move(e));
    SongFile f;
    const std::string path = dir.file("furusato.uta");
    EXPECT_TRUE(f.write(s, path, "/elsewhere/furusato.mid", 480));
    return path;
}

// Works from the song file alone: no MIDI file beside it, no voice.
TEST(InfoSong, TextSummary) {
    test::TempDir dir;
    std::ostringstream out, err;
    ASSERT_EQ(cli::infoSong(saveSample(dir), false, out, err), 0) << err.str();
    const std::string t = out.str();
    EXPECT_NE(t.find("MIDI file: furusato.mid   stored division: 480"), std::string::npos) << t;
    EXPECT_NE(t.find("Title: ふるさと"), std::string::npos);
    EXPECT_NE(t.find("Vox Mute: 3\n"), std::string::npos);
    EXPECT_NE(t.find("3: voice Alto"), std::string::npos);
    EXPECT_NE(t.find("tick 480  うさぎ おいし"), std::string::npos);
    EXPECT_NE(t.find("Channel 3: 1 phrases, 0 syllable settings, 0 note settings, 1 events"), std::string::npos);
    EXPECT_NE(t.find(": U(1) SA(2)"), std::string::npos);
}

TEST(InfoSong, JsonUsesTheFieldNames) {
    test::TempDir dir;
    std::ostringstream out, err;
    ASSERT_EQ(cli::run({"info", "--json", saveSample(dir)}, out, err), 0) << err.str();
    const std::string j = out.str();
    for (const char* key : {"\"title\":\"ふるさと\"", "\"lyricistLabel\":\"作詞：\"", "\"storedDivision\":480",
                            "\"voiceName\":\"Alto\"", "\"startTick\":0", "\"endTick\":480",
                            "\"syllableCode\":[\"U\",\"SA\",\"\",\"\"]", "\"syllableLength\":[1,2,0,0]",
                            "\"midiFile\":\"furusato.mid\"", "\"voxMute\":[false,false,true,",
                            "\"text\":\"うさぎ おいし\"", "\"eventCount\":1"})
        EXPECT_NE(j.find(key), std::string::npos) << key << "\n" << j;
    EXPECT_EQ(j.back(), '\n');
}

TEST(InfoSong, ReaderErrorsGoToStandardError) {
    test::TempDir dir;
    std::ostringstream out, err;
    EXPECT_EQ(cli::infoSong(dir.file("none.uta"), false, out, err), 1);
    EXPECT_NE(err.str().find("Utaﾌｧｲﾙが見つかりません。"), std::string::npos);
    dir.write("bad.uta", std::vector<uint8_t>(2000, 0));
    err.str("");
    EXPECT_EQ(cli::infoSong(dir.file("bad.uta"), true, out, err), 1);
    EXPECT_EQ(err.str(), "Utaﾌｧｲﾙの読み込みに失敗しました。\n" + dir.file("bad.uta") + ": file version 0, not 211\n");
    EXPECT_TRUE(out.str().empty());
}

}  // namespace
}  // namespace kantor

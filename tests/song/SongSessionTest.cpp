#include <gtest/gtest.h>

#include <filesystem>

#include "base/FileIO.h"
#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "midi/TempoMap.h"
#include "song/MidiStreamStopper.h"
#include "song/Song.h"
#include "song/SongFile.h"
#include "song/SongSession.h"
#include "song/VoiceLoader.h"
#include "support/TempDir.h"
#include "TestPrompt.h"

namespace kantor {
namespace {

struct FakeStream : MidiStreamStopper {
    int calls = 0;
    bool ok = true;
    bool stopAndCloseStream(std::string& error) override {
        ++calls;
        if (!ok) error = "stream busy";
        return ok;
    }
};

struct FakeVoices : VoiceLoader {
    std::vector<std::string> asked;
    bool loadVoice(const std::string& name) override {
        asked.push_back(name);
        return name != "Missing";
    }
};

std::vector<uint8_t> smf(uint16_t division, int notes) {
    SmfTrack t;
    t.tempo(0, 500000).timeSignature(0, 4, 2);
    for (int i = 0; i < notes; ++i)
        t.note(static_cast<uint32_t>(i) * division, static_cast<uint32_t>(i + 1) * division, 0, 60 + i, 100);
    t.endOfTrack(static_cast<uint32_t>(notes) * division);
    return buildSmf(0, division, {t});
}

struct Fixture : ::testing::Test {
    test::TempDir dir;
    Song song;
    MidiFile midi;
    TempoMap tempo;
    test::RecordingPrompt prompt;
    FakeStream stream;
    FakeVoices voices;
    SongSession session{song, midi, tempo, prompt, stream, voices};

    // A saved song over a 480 file with three notes, the second sung.
    void makeSong() {
        dir.write("tune.mid", smf(480, 3));
        ASSERT_TRUE(session.openMidi(dir.file("tune.mid")));
        ASSERT_TRUE(session.makeVoxChannel(0));
        song.channel(0).events[1]->setCode(0, "KA");
        song.channel(0).events[1]->syllableLength[0] = 1;
        ASSERT_TRUE(song.makePhraseHead(0, 1));
        song.phraseSettings(0, 1)->ownVoice = 1;
        song.phraseSettings(0, 1)->voiceName = "Missing";
        song.putLyricLine(480, "か");
        song.setModified(true);
        ASSERT_TRUE(session.saveSong(dir.file("tune.mid"), dir.file("tune.uta")));
        EXPECT_FALSE(song.modified());
    }
};

TEST_F(Fixture, SaveAndOpenRoundTrip) {
    makeSong();
    voices.asked.clear();
    stream.calls = 0;
    song.setModified(true);
    ASSERT_TRUE(session.openSong(dir.file("tune.uta")));
    EXPECT_EQ(stream.calls, 1);
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_FALSE(song.modified());
    EXPECT_EQ(song.songPath(), dir.file("tune.uta"));
    EXPECT_EQ(midi.path(), dir.file("tune.mid"));
    ASSERT_EQ(song.channel(0).events.size(), 3u);
    EXPECT_EQ(song.channel(0).events[1]->codeText(0), "KA");
    EXPECT_EQ(song.lyricLines()[0]->text, "か");
    EXPECT_EQ(voices.asked, (std::vector<std::string>{"MaleVox", "Missing"}));
    EXPECT_EQ(session.voicesNotLoaded(), (std::vector<std::string>{"Missing"}));
    EXPECT_FALSE(tempo.measures().empty());
    EXPECT_EQ(session.stopPosition(), tempo.measures().back().start);

    PhraseEvents p;
    ASSERT_TRUE(session.phraseEvents(0, 2, p));
    EXPECT_EQ(p.events, (std::vector<std::size_t>{1, 2}));
    EXPECT_EQ(song.resolvePhraseSettings(0, song.channel(0).events[p.head]->phraseIndex).voiceName, "Missing");
    EXPECT_FALSE(session.phraseEvents(0, 0, p));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].caption, "警告");
    EXPECT_EQ(prompt.shown[0].text, "このノートの属するフレーズの先頭がありません。");
}

TEST_F(Fixture, ReopeningWithAFinerTimeBaseDoublesPositions) {
    makeSong();
    dir.write("tune.mid", smf(960, 4));
    ASSERT_TRUE(session.openSong(dir.file("tune.uta")));
    ASSERT_EQ(prompt.shown.size(), 1u);  // one gained note
    EXPECT_EQ(prompt.shown[0].text, "Midiﾌｧｲﾙに変更があります。Voxｲﾍﾞﾝﾄを追加します。MidiCh=1");
    EXPECT_EQ(song.channel(0).events[1]->startTick, 960u);
    EXPECT_EQ(song.channel(0).events[3]->startTick, 2880u);
    EXPECT_EQ(song.lyricLines()[0]->position, 960u);
    // Saving stores the new time base; opening again rescales nothing.
    ASSERT_TRUE(session.saveSong(dir.file("tune.mid"), dir.file("tune.uta")));
    ASSERT_TRUE(session.openSong(dir.file("tune.uta")));
    EXPECT_EQ(song.channel(0).events[1]->startTick, 960u);
    EXPECT_EQ(song.storedDivision(), 960);
}

TEST_F(Fixture, FailuresLeaveAnEmptySongAndShowOneMessage) {
    makeSong();
    std::filesystem::remove(dir.file("tune.mid"));
    ASSERT_FALSE(session.openSong(dir.file("tune.uta")));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].caption, "Error");
    EXPECT_EQ(prompt.shown[0].text, std::string("Midiﾌｧｲﾙが見つかりません。\n") + dir.file("tune.mid"));
    EXPECT_FALSE(song.isVoxChannel(0));
    EXPECT_TRUE(song.lyricLines().empty());
    EXPECT_TRUE(song.songPath().empty());
    EXPECT_FALSE(midi.isLoaded());

    prompt.shown.clear();
    ASSERT_FALSE(session.openSong(dir.file("nothing.uta")));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, std::string("Utaﾌｧｲﾙが見つかりません。\n") + dir.file("nothing.uta"));

    prompt.shown.clear();
    stream.ok = false;
    ASSERT_FALSE(session.openSong(dir.file("tune.uta")));
    ASSERT_FALSE(session.saveSong(dir.file("tune.mid"), dir.file("tune.uta")));
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[1].text, "stream busy");
}

TEST_F(Fixture, FailedSaveKeepsTheSongModifiedAndTheFile) {
    makeSong();
    std::vector<uint8_t> before;
    ASSERT_EQ(readWholeFile(dir.file("tune.uta"), before), ReadStatus::Ok);
    song.setModified(true);
    song.putLyricLine(0, "new");
    AtomicFile::injectFaultForTesting(AtomicFile::Fault::Rename);
    EXPECT_FALSE(session.saveSong(dir.file("tune.mid"), dir.file("tune.uta")));
    AtomicFile::injectFaultForTesting(AtomicFile::Fault::None);
    EXPECT_TRUE(song.modified());
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text.rfind("Utaﾌｧｲﾙの保存に失敗しました。\n", 0), 0u) << prompt.shown[0].text;
    std::vector<uint8_t> after;
    ASSERT_EQ(readWholeFile(dir.file("tune.uta"), after), ReadStatus::Ok);
    EXPECT_EQ(after, before);
}

TEST_F(Fixture, ChannelWithoutSyllablesIsNotKeptAcrossSave) {
    dir.write("tune.mid", smf(480, 2));
    ASSERT_TRUE(session.openMidi(dir.file("tune.mid")));
    EXPECT_EQ(voices.asked, (std::vector<std::string>{"MaleVox"}));
    ASSERT_TRUE(session.makeVoxChannel(0));
    ASSERT_TRUE(session.saveSong(dir.file("tune.mid"), dir.file("tune.uta")));
    ASSERT_TRUE(session.openSong(dir.file("tune.uta")));
    EXPECT_FALSE(song.isVoxChannel(0));
}

}  // namespace
}  // namespace kantor

#include <gtest/gtest.h>

#include "song/Song.h"

namespace kantor {
namespace {

VoxEvent note(uint32_t start, uint32_t end, uint16_t group = 0, uint16_t phrase = 0, const char* code = nullptr) {
    VoxEvent e;
    e.startTick = start;
    e.endTick = end;
    e.phraseGroup = group;
    e.phraseIndex = phrase;
    if (code) {
        e.setCode(0, code);
        e.syllableLength[0] = 1;
    }
    return e;
}

void add(Song& s, int c, const VoxEvent& e) { s.channel(c).events.push_back(std::make_unique<VoxEvent>(e)); }

TEST(Song, NewSongValues) {
    Song s;
    EXPECT_EQ(s.songDefaults().voiceName, "MaleVox");
    EXPECT_EQ(s.songDefaults().tuning, 440000u);
    EXPECT_EQ(s.songDefaults().phraseVolume, 100);
    EXPECT_EQ(s.songDefaults().positionValue, 20);
    EXPECT_EQ(s.channelDefaults(5), VoiceSettings{});
    EXPECT_EQ(s.titleInfo().lyricistLabel, "作詞：");
    EXPECT_EQ(s.titleInfo().commentLabel, "ｺﾒﾝﾄ：");
    EXPECT_EQ(s.storedDivision(), 0);
    VoxEvent e;
    EXPECT_EQ(e.noteVolume, 100);
    EXPECT_EQ(e.syllableVolume[3], 100);
}

TEST(Song, ResolvingAllInheritedGivesSongDefaults) {
    Song s;
    s.songDefaults().effect = {1, 2, 3};
    s.songDefaults().timingOffset = -30;
    s.songDefaults().ownVoice = 0;  // the song defaults' own flags are not consulted
    EXPECT_EQ(s.resolvePhraseSettings(3, VoiceSettings{}), s.songDefaults());
}

TEST(Song, EachFieldGroupInheritsSeparately) {
    Song s;
    VoiceSettings& ch = s.channelDefaults(2);
    ch.ownTuning = 1;
    ch.tuning = 450000;
    ch.ownEffects = 1;
    ch.effect = {7, 0, 0};
    ch.phraseVolume = 5;  // own flag clear: not used
    VoiceSettings resolved = s.resolveChannelSettings(2);
    EXPECT_EQ(resolved.tuning, 450000u);
    EXPECT_EQ(resolved.effect[0], 7);
    EXPECT_EQ(resolved.phraseVolume, 100);
    EXPECT_EQ(resolved.voiceName, "MaleVox");

    VoiceSettings phrase;
    phrase.ownVoice = 1;
    phrase.voiceName = "FemaleVox";
    phrase.tuning = 1;  // inherited from the channel
    VoiceSettings p = s.resolvePhraseSettings(2, phrase);
    EXPECT_EQ(p.voiceName, "FemaleVox");
    EXPECT_EQ(p.tuning, 450000u);
    EXPECT_EQ(p.effect[0], 7);
    EXPECT_EQ(p.positionValue, 20);
}

TEST(Song, PhraseHeadMakeAndRemove) {
    Song s;
    s.channelDefaults(0).ownTiming = 1;
    s.channelDefaults(0).timingOffset = 15;
    add(s, 0, note(0, 10));
    add(s, 0, note(10, 20));
    ASSERT_TRUE(s.makePhraseHead(0, 0));
    ASSERT_TRUE(s.makePhraseHead(0, 1));
    EXPECT_EQ(s.channel(0).events[0]->phraseIndex, 1);
    EXPECT_EQ(s.channel(0).events[1]->phraseIndex, 2);
    const VoiceSettings* p = s.phraseSettings(0, 1);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->ownTiming, 0);  // holds the inherited value but still inherits
    EXPECT_EQ(p->timingOffset, 15);
    EXPECT_EQ(p->voiceName, "MaleVox");

    // A second make leaves the head alone.
    ASSERT_TRUE(s.makePhraseHead(0, 0));
    EXPECT_EQ(s.channel(0).phrases.size(), 2u);

    // Removing leaves an empty slot, so index 2 keeps its meaning.
    s.removePhraseHead(0, 0);
    EXPECT_EQ(s.channel(0).events[0]->phraseIndex, 0);
    EXPECT_EQ(s.channel(0).phrases.size(), 2u);
    EXPECT_EQ(s.phraseSettings(0, 1), nullptr);
    EXPECT_NE(s.phraseSettings(0, 2), nullptr);
    EXPECT_EQ(s.phraseSettings(0, 3), nullptr);
    // An index naming no record resolves as if everything were inherited.
    EXPECT_EQ(s.resolvePhraseSettings(0, uint16_t{1}).timingOffset, 15);
}

TEST(Song, NewSettingsRecordsAreZeroAndIndexed) {
    Song s;
    EXPECT_EQ(s.newSyllableSettings(4), 1);
    EXPECT_EQ(s.newSyllableSettings(4), 2);
    EXPECT_EQ(s.newNoteSettings(4), 1);
    ASSERT_NE(s.syllableSettings(4, 2), nullptr);
    EXPECT_EQ(*s.syllableSettings(4, 2), SyllableSettings{});
    EXPECT_EQ(s.noteSettings(4, 2), nullptr);
}

TEST(Song, PhraseOfNoteFollowsItsGroupAcrossInterleavedPhrases) {
    Song s;
    add(s, 0, note(0, 100, 0, 1, "A"));     // 0 head of A
    add(s, 0, note(50, 400, 1, 2, "KA"));   // 1 head of B
    add(s, 0, note(100, 200, 0, 0, "I"));   // 2
    add(s, 0, note(200, 300, 1, 0, "KI"));  // 3
    add(s, 0, note(300, 350, 0, 0));        // 4 (no syllable)
    add(s, 0, note(400, 500, 0, 3, "U"));   // 5 next head of A

    PhraseSpan span;
    ASSERT_TRUE(s.phraseOfNote(0, 2, span));
    EXPECT_EQ(span.head, 0u);
    EXPECT_EQ(span.startTick, 0u);
    EXPECT_EQ(span.endTick, 350u);          // event 4 widens the span
    EXPECT_EQ(span.auditionEndTick, 200u);  // but is not sung after note 2
    ASSERT_TRUE(s.phraseOfNote(0, 4, span));
    EXPECT_EQ(span.auditionEndTick, 350u);  // the note itself and before count always

    ASSERT_TRUE(s.phraseOfNote(0, 3, span));
    EXPECT_EQ(span.head, 1u);
    EXPECT_EQ(span.phraseGroup, 1);
    EXPECT_EQ(span.startTick, 50u);
    EXPECT_EQ(span.endTick, 400u);
}

TEST(Song, NoteWithoutHeadHasNoPhrase) {
    Song s;
    add(s, 0, note(0, 100, 0, 1));
    add(s, 0, note(100, 200, 2, 0));
    PhraseSpan span;
    EXPECT_FALSE(s.phraseOfNote(0, 1, span));
    EXPECT_FALSE(s.phraseOfNote(0, 7, span));
    s.channel(0).events[0]->phraseIndex = 0;
    EXPECT_FALSE(s.phraseOfNote(0, 0, span));
}

TEST(Song, ChannelInUseClearsBlankSlotsUpToFirstSyllable) {
    Song s;
    VoxEvent blank = note(0, 10);
    blank.syllableLength = {3, 0, 0, 0};
    blank.setCode(0, "    ");
    add(s, 0, blank);
    VoxEvent sung = note(10, 20, 0, 0, "KA");
    add(s, 0, sung);
    add(s, 0, blank);
    EXPECT_TRUE(s.channelInUse(0));
    EXPECT_EQ(s.channel(0).events[0]->syllableLength[0], 0);
    EXPECT_EQ(s.channel(0).events[2]->syllableLength[0], 3);  // after the first sung event: as it was

    Song t;
    add(t, 1, blank);
    EXPECT_FALSE(t.channelInUse(1));
    EXPECT_FALSE(t.channelInUse(2));
}

TEST(Song, VoiceNamesInLoadingOrder) {
    Song s;
    s.songDefaults().voiceName = "MaleVox  ";
    s.channelDefaults(0).ownVoice = 1;
    s.channelDefaults(0).voiceName = "MaleVox";  // same as the one before: not again
    s.channelDefaults(1).voiceName = "Ignored";  // not its own
    s.channelDefaults(2).ownVoice = 1;
    s.channelDefaults(2).voiceName = "Alto";
    s.channelDefaults(3).ownVoice = 1;  // empty name
    auto p = std::make_unique<VoiceSettings>();
    p->ownVoice = 1;
    p->voiceName = "MaleVox";
    s.channel(5).phrases.push_back(std::move(p));
    s.channel(5).phrases.push_back(nullptr);
    EXPECT_EQ(s.voiceNamesToLoad(), (std::vector<std::string>{"MaleVox", "Alto", "MaleVox"}));
}

TEST(Song, LyricLinesStayInPositionOrderOnePerPosition) {
    Song s;
    s.putLyricLine(480, "b");
    s.putLyricLine(0, "a");
    s.putLyricLine(960, "c");
    s.putLyricLine(480, "B");
    ASSERT_EQ(s.lyricLines().size(), 3u);
    EXPECT_EQ(s.lyricLines()[0]->text, "a");
    EXPECT_EQ(s.lyricLines()[1]->text, "B");
    EXPECT_EQ(s.lyricLines()[2]->position, 960u);
}

TEST(Song, ClearKeepsDefaultsAndEmptiesTheRest) {
    Song s;
    s.songDefaults().tuning = 445000;
    add(s, 3, note(0, 1));
    s.putLyricLine(0, "x");
    s.titleInfo().title = "t";
    s.channelFlags().set(ChannelFlags::VoxSolo, 2, true);
    s.setStoredDivision(480);
    s.reserved1 = 9;
    s.clear();
    EXPECT_FALSE(s.isVoxChannel(3));
    EXPECT_TRUE(s.lyricLines().empty());
    EXPECT_EQ(s.titleInfo(), TitleInfo::newSong());
    EXPECT_FALSE(s.channelFlags().anySolo());
    EXPECT_EQ(s.storedDivision(), 0);
    EXPECT_EQ(s.reserved1, 0u);
    EXPECT_EQ(s.songDefaults().tuning, 445000u);
}

TEST(ChannelFlags, SoloOverridesMute) {
    ChannelFlags f;
    f.set(ChannelFlags::MidiMute, 1, true);
    EXPECT_TRUE(f.midiSilenced(1));
    EXPECT_FALSE(f.midiSilenced(0));
    f.set(ChannelFlags::VoxSolo, 4, true);
    EXPECT_TRUE(f.midiSilenced(0));  // any solo: MIDI channels without "Midi Solo" fall silent
    EXPECT_FALSE(f.voxSilenced(4));
    EXPECT_TRUE(f.voxSilenced(5));
}

}  // namespace
}  // namespace kantor

namespace kantor {
namespace {

TEST(Song, AFullListSaysSoRatherThanOutOfMemory) {
    Song s;
    auto& list = s.channel(0).noteSettings;
    for (int i = 0; i < 0xFFFF; ++i) list.push_back(std::make_unique<NoteSettings>());
    EXPECT_EQ(s.newNoteSettings(0), 0);
    EXPECT_EQ(s.lastError(), kListFull);
}

}  // namespace
}  // namespace kantor

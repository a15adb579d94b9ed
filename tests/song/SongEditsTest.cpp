#include <gtest/gtest.h>

#include <functional>

#include "midi/MidiFile.h"
#include "midi/SmfWriter.h"
#include "midi/TempoMap.h"
#include "song/EditHistory.h"
#include "song/NoteVoiceEdit.h"
#include "song/Song.h"
#include "song/SongEdits.h"
#include "song/SongFile.h"
#include "song/VoxTrackBuilder.h"
#include "voice/VoiceBank.h"

namespace kantor {
namespace {

std::unique_ptr<Voice> makeVoice(const std::string& name,
                                 const std::vector<std::pair<std::string, std::string>>& syllables) {
    auto v = std::make_unique<Voice>();
    v->name = name;
    const std::vector<int16_t> sound(64, 100);
    for (const auto& [code, kana] : syllables) {
        auto s = std::make_unique<VoiceSample>();
        s->code = code;
        s->kana = kana;
        s->pitch = 60;
        s->data = SoundBuffer::fromSamples(sound);
        v->samples.push_back(std::move(s));
    }
    return v;
}

// Eight quarter notes in two 4/4 bars (time base 480) on channel 0, a Vox channel sung by
// the voice "V"; the first note is a phrase head with "KA".
struct EditFixture : ::testing::Test {
    Song song;
    MidiFile midi;
    TempoMap map;
    VoiceBank voices;
    EditHistory history;

    void SetUp() override {
        SmfTrack t;
        t.tempo(0, 500000).timeSignature(0, 4, 2);
        for (int i = 0; i < 8; ++i) t.note(uint32_t(i) * 480, uint32_t(i) * 480 + 400, 0, 60 + i, 100);
        t.endOfTrack(8 * 480 + 1920);
        ASSERT_TRUE(midi.loadImage(buildSmf(0, 480, {t}), "/tmp/edit-test/tune.mid"));
        ASSERT_TRUE(map.build(midi));
        song.songDefaults().voiceName = "V";
        song.setMidiPath("/tmp/edit-test/tune.mid");
        ASSERT_TRUE(makeVoxChannel(song, midi.channel(0), 0));
        voices.addVoice(makeVoice("V", {{"KA", "か"}, {"SA", "さ"}, {"TA", "た"}, {"A", "あ"}}));
        voices.addVoice(makeVoice("W", {{"NA", "な"}}));
        VoxEvent& first = *song.channel(0).events[0];
        first.setCode(0, "KA");
        first.syllableLength[0] = 1;
        ASSERT_TRUE(song.makePhraseHead(0, 0));
    }

    std::vector<uint8_t> bytes() {
        SongFile f;
        std::vector<uint8_t> out;
        EXPECT_TRUE(f.build(song, "/tmp/edit-test/tune.mid", 480, out));
        return out;
    }
    VoxEvent& ev(std::size_t i) { return *song.channel(0).events[i]; }
};

TEST_F(EditFixture, EveryKindOfEditUndoesAndRedoesByteForByte) {
    const std::vector<std::pair<const char*, std::function<void()>>> edits = {
        {"syllable and head", [&] {
             NoteVoiceForm f;
             ASSERT_TRUE(loadNoteForm(song, voices, 0, 2, f));
             f.code[0] = "sa";
             f.code[1] = "ta";
             f.phraseHead = true;
             f.group = 1;
             EXPECT_TRUE(commitNoteForm(song, voices, 0, 2, f).modified);
         }},
        {"remove head", [&] {
             NoteVoiceForm f;
             loadNoteForm(song, voices, 0, 0, f);
             f.phraseHead = false;
             commitNoteForm(song, voices, 0, 0, f);
         }},
        {"channel settings", [&] {
             SettingsEdit s = SettingsEdit::forChannel(song, 0);
             s.setUseDefault(SettingsGroup::Tuning, false);
             s.values().tuning = tuningOfSpinPosition(25);
             std::string error;
             bool stored = false;
             EXPECT_TRUE(s.apply(song, voices, error, stored));
             EXPECT_TRUE(stored);
         }},
        {"phrase settings", [&] {
             SettingsEdit s;
             ASSERT_TRUE(SettingsEdit::forPhrase(song, 0, 2, s));
             s.setUseDefault(SettingsGroup::Voice, false);
             s.values().voiceName = "W";
             s.values().timingOffset = -40;
             s.setUseDefault(SettingsGroup::Timing, false);
             std::string error;
             bool stored = false;
             EXPECT_TRUE(s.apply(song, voices, error, stored));
             EXPECT_TRUE(stored);
         }},
        {"length and position", [&] {
             NoteLengthPosition lp;
             ASSERT_TRUE(lp.open(song, midi, map, 0, 0));
             EXPECT_TRUE(lp.stepStart(song, 3));
             lp.mode = NoteLengthPosition::Mode::Length;
             EXPECT_TRUE(lp.stepEnd(song, -100));
             std::string error;
             EXPECT_TRUE(setNoteLength(song, 0, 4, 60, error));
         }},
        {"note batch", [&] {
             ev(0).noteSettingsIndex = 9;
             std::string error;
             EXPECT_TRUE(noteBatchChange(song, 0, error));
         }},
        {"phrase batch", [&] {
             song.phraseSettings(0, 2)->ownTiming = 1;
             PhraseBatchOptions o;
             o.timingDefault = true;
             o.setTuning = true;
             o.tuning = 442000;
             std::string error;
             EXPECT_TRUE(phraseBatchChange(song, 0, o, error));
         }},
        {"quick input", [&] {
             applyQuickInput(song, 0, 0, parseQuickLine("ka,sa ta - a", voices, "V"));
         }},
    };
    for (const auto& [name, edit] : edits) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> before = bytes();
        history.begin(song, 0);
        history.begin(song, EditHistory::kSongDefaults);
        edit();
        history.end(song);
        ASSERT_TRUE(history.end(song)) << "no step kept";
        const std::vector<uint8_t> after = bytes();
        ASSERT_NE(before, after);
        EXPECT_EQ(history.undo(song), 0);
        EXPECT_EQ(bytes(), before);
        EXPECT_EQ(history.redo(song), 0);
        EXPECT_EQ(bytes(), after);
    }
}

TEST_F(EditFixture, UndoOfTheWholeRunEndsOnTheSavedBytes) {
    const std::vector<uint8_t> saved = bytes();
    {
        EditScope e(history, song, 0);
        applyQuickInput(song, 0, 0, parseQuickLine("ta,a sa", voices, "V"));
    }
    {
        EditScope e(history, song, EditHistory::kSongDefaults);
        SettingsEdit s = SettingsEdit::forSong(song);
        s.values().phraseVolume = 150;
        std::string error;
        bool stored = false;
        s.apply(song, voices, error, stored);
    }
    {
        EditScope e(history, song, 0);
        std::string error;
        noteBatchChange(song, 0, error);
    }
    EXPECT_EQ(history.size(), 3u);
    while (history.undo(song) != EditHistory::kNothing) {
    }
    EXPECT_EQ(bytes(), saved);
    // A new edit after undoing drops the redo steps.
    {
        EditScope e(history, song, 0);
        ev(5).noteVolume = 50;
    }
    EXPECT_FALSE(history.canRedo());
    EXPECT_EQ(history.size(), 1u);
}

// A long session on a long channel: 2,000 edits (syllables, phrase heads made and removed,
// note volumes) on a channel of 2,000 notes all stay in the history, which goes back to the
// song as it was opened, byte for byte, and forward again to the last edit.
TEST(EditHistoryLong, TwoThousandEditsUndoToTheSongAsOpened) {
    Song song;
    MidiFile midi;
    SmfTrack t;
    t.tempo(0, 500000).timeSignature(0, 4, 2);
    constexpr int kNotes = 2000;
    for (int i = 0; i < kNotes; ++i) t.note(uint32_t(i) * 240, uint32_t(i) * 240 + 200, 0, 60 + i % 12, 100);
    t.endOfTrack(uint32_t(kNotes) * 240 + 1920);
    ASSERT_TRUE(midi.loadImage(buildSmf(0, 480, {t}), "/tmp/edit-test/long.mid"));
    song.songDefaults().voiceName = "V";
    song.setMidiPath("/tmp/edit-test/long.mid");
    ASSERT_TRUE(makeVoxChannel(song, midi.channel(0), 0));
    VoiceBank voices;
    voices.addVoice(makeVoice("V", {{"KA", "か"}, {"SA", "さ"}, {"TA", "た"}, {"A", "あ"}}));
    auto bytes = [&] {
        SongFile f;
        std::vector<uint8_t> out;
        EXPECT_TRUE(f.build(song, "/tmp/edit-test/long.mid", 480, out));
        return out;
    };
    const std::vector<uint8_t> opened = bytes();

    EditHistory history;
    const char* codes[] = {"ka", "sa", "ta", "a"};
    for (int i = 0; i < 2000; ++i) {
        const std::size_t n = std::size_t(i) * 7 % kNotes;
        EditScope e(history, song, 0);
        NoteVoiceForm f;
        ASSERT_TRUE(loadNoteForm(song, voices, 0, n, f));
        f.code[0] = codes[i % 4];
        f.noteVolume = static_cast<uint16_t>(50 + i % 100);
        f.phraseHead = i % 5 == 0 ? !f.phraseHead : f.phraseHead;
        ASSERT_TRUE(commitNoteForm(song, voices, 0, n, f).ok);
    }
    EXPECT_EQ(history.size(), 2000u);
    // Each step holds what it changed: a few records, not the channel's 2,000.
    EXPECT_LT(history.bytes(), 4u << 20) << history.bytes();
    RecordProperty("historyBytes", std::to_string(history.bytes()));
    const std::vector<uint8_t> edited = bytes();
    int undone = 0;
    while (history.undo(song) != EditHistory::kNothing) ++undone;
    EXPECT_EQ(undone, 2000);
    EXPECT_TRUE(bytes() == opened);
    while (history.redo(song) != EditHistory::kNothing) {
    }
    EXPECT_TRUE(bytes() == edited);
}

TEST_F(EditFixture, HighlightIsNoEditAndHistoryKeepsItsLimit) {
    EditHistory small(2);
    small.begin(song, 0);
    highlightNote(song, 0, 3, true);
    EXPECT_FALSE(small.end(song));
    for (int i = 0; i < 4; ++i) {
        EditScope e(small, song, 0);
        ev(1).noteVolume = static_cast<uint16_t>(10 + i);
    }
    EXPECT_EQ(small.size(), 2u);
    small.undo(song);
    small.undo(song);
    EXPECT_EQ(ev(1).noteVolume, 11);
    EXPECT_EQ(small.undo(song), EditHistory::kNothing);
    // A restored highlight stands for the lyric mark it covers.
    EXPECT_EQ(ev(3).hasLyric, 0);
}

TEST_F(EditFixture, NoteFormCommitRules) {
    NoteVoiceForm f;
    ASSERT_TRUE(loadNoteForm(song, voices, 0, 1, f));
    // A code typed into an empty slot of length 0 gets the length 1, as the voice lists it.
    f.code[0] = "ka  ";
    NoteCommit r = commitNoteForm(song, voices, 0, 1, f);
    EXPECT_TRUE(r.ok && r.modified && r.redrawScore);
    EXPECT_EQ(ev(1).codeText(0), "KA");
    EXPECT_EQ(ev(1).syllableLength[0], 1);
    EXPECT_EQ(f.kana[0], "か");

    // A code the voice lacks fails at that slot and leaves the event as it was.
    const std::vector<uint8_t> before = bytes();
    f.code[2] = "NA";
    f.noteVolume = 5;
    r = commitNoteForm(song, voices, 0, 1, f);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedSlot, 2);
    EXPECT_TRUE(f.kana[2].empty());
    EXPECT_EQ(bytes(), before);

    // Clearing a code stores length 0 and volume 100.
    f.code[2].clear();
    f.code[0].clear();
    f.volume[0] = 40;
    r = commitNoteForm(song, voices, 0, 1, f);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(ev(1).syllableLength[0], 0);
    EXPECT_EQ(ev(1).syllableVolume[0], 100);
    EXPECT_EQ(ev(1).noteVolume, 5);

    // A stored code the phrase voice lacks shows empty although its length stays.
    ev(2).setCode(0, "ZZ");
    ev(2).syllableLength[0] = 3;
    ASSERT_TRUE(loadNoteForm(song, voices, 0, 2, f));
    EXPECT_TRUE(f.code[0].empty());
    EXPECT_EQ(f.length[0], 3);

    // Clearing the head frees its record; the group's other notes are then in no phrase.
    EXPECT_TRUE(noteInPhrase(song, 0, 4));
    ASSERT_TRUE(loadNoteForm(song, voices, 0, 0, f));
    f.phraseHead = false;
    EXPECT_TRUE(commitNoteForm(song, voices, 0, 0, f).ok);
    EXPECT_EQ(song.phraseSettings(0, 1), nullptr);
    EXPECT_FALSE(noteInPhrase(song, 0, 4));
}

TEST_F(EditFixture, HepburnSyllablesAreStoredAsTheVoicesCodes) {
    // The phrase voice with the table's codes for し, つ, ちゃ and ん.
    voices.addVoice(makeVoice("V", {{"KA", "か"}, {"SI", "し"}, {"TU", "つ"}, {"CYA", "ちゃ"}, {"N", "ん"}}));

    // The note voice window: what is stored, and shown after the check, is the code.
    NoteVoiceForm f;
    ASSERT_TRUE(loadNoteForm(song, voices, 0, 1, f));
    f.code[0] = "shi";
    f.code[1] = "TSU ";
    NoteCommit r = commitNoteForm(song, voices, 0, 1, f);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(ev(1).codeText(0), "SI");
    EXPECT_EQ(ev(1).codeText(1), "TU");
    EXPECT_EQ(f.code[0], "SI");
    EXPECT_EQ(f.kana[1], "つ");
    // A Hepburn spelling of what the voice lacks is refused like any unknown code.
    f.code[2] = "sha";
    EXPECT_FALSE(commitNoteForm(song, voices, 0, 1, f).ok);

    // The phrase quick input: Hepburn beside codes and kana; the result line and the
    // notes show the codes.
    const auto syl = parseQuickLine("shi,ka Cha nn,tsu つ", voices, "V");
    ASSERT_EQ(syl.size(), 6u);
    EXPECT_EQ(quickResultLine(syl, KanaMode::Romaji), "SI,KA CYA N,TU TU");
    EXPECT_EQ(quickResultLine(syl, KanaMode::Hiragana), "し、か ちゃ ん、つ つ");
    applyQuickInput(song, 0, 0, syl);
    EXPECT_EQ(ev(0).codeText(0), "SI");
    EXPECT_EQ(ev(1).codeText(0), "CYA");
    EXPECT_EQ(ev(2).codeText(0), "N");
    EXPECT_EQ(ev(2).codeText(1), "TU");
    EXPECT_EQ(phraseLine(song, voices, 0, 0, KanaMode::Romaji), "SI,KA CYA N,TU TU");
}

TEST_F(EditFixture, QuickInputInBothModesWithItsResultLine) {
    // Two notes: two syllables on the first, one on the second.
    auto syl = parseQuickLine("ka,sa ta", voices, "V");
    ASSERT_EQ(syl.size(), 3u);
    EXPECT_EQ(quickResultLine(syl, KanaMode::Romaji), "KA,SA TA");
    EXPECT_EQ(quickResultLine(syl, KanaMode::Hiragana), "か、さ た");
    ev(1).setCode(3, "A");
    ev(1).syllableLength[3] = 2;
    applyQuickInput(song, 0, 0, syl);
    EXPECT_EQ(ev(0).codeText(1), "SA");
    EXPECT_EQ(ev(0).syllableLength[1], 1);
    EXPECT_EQ(ev(1).codeText(0), "TA");
    EXPECT_EQ(ev(1).syllableLength[3], 0);  // after the group's last syllable: cleared
    EXPECT_EQ(ev(1).hasLyric, 1);
    EXPECT_EQ(ev(2).syllableLength[0], 0);  // no group left: untouched
    EXPECT_EQ(phraseLine(song, voices, 0, 0, KanaMode::Romaji), "KA,SA TA");
    EXPECT_EQ(phraseLine(song, voices, 0, 0, KanaMode::Hiragana), "か、さ た");

    // Kana typed (katakana too, and the ideographic blank), unknown syllables as stars.
    syl = parseQuickLine("さ、タ　xyzzy,-", voices, "V");
    ASSERT_EQ(syl.size(), 4u);
    EXPECT_EQ(syl[2].group, 2);
    EXPECT_EQ(quickResultLine(syl, KanaMode::Romaji), "SA,TA ****,-");
    EXPECT_EQ(quickResultLine(syl, KanaMode::Hiragana), "さ、た ****、-");
    // An unknown syllable and "-" keep the slot as it was.
    applyQuickInput(song, 0, 0, syl);
    EXPECT_EQ(ev(1).codeText(0), "TA");
    EXPECT_EQ(ev(1).syllableLength[0], 1);

    // Unknown stored codes and empty notes in the prefilled line; trailing "-" dropped.
    ev(1).setCode(0, "QQ");
    EXPECT_EQ(phraseLine(song, voices, 0, 0, KanaMode::Romaji), "SA,TA *");
    ev(0).syllableLength[0] = 0;
    EXPECT_EQ(phraseLine(song, voices, 0, 0, KanaMode::Romaji), "-,TA *");
    // At most 128 syllables are taken.
    std::string many;
    for (int i = 0; i < 200; ++i) many += "ka ";
    EXPECT_EQ(parseQuickLine(many, voices, "V").size(), 128u);

    // A word of several syllables puts one on each note; a word the voice knows whole stays one.
    syl = parseQuickLine("kasa たか,-", voices, "V");
    ASSERT_EQ(syl.size(), 4u);
    EXPECT_EQ(syl[1].group, 2);
    EXPECT_EQ(syl[2].group, 3);
    EXPECT_EQ(quickResultLine(syl, KanaMode::Romaji), "KA SA **,-");

    const auto words = phraseWordList(song, voices, -1);
    ASSERT_EQ(words.size(), 1u);
    EXPECT_EQ(words[0].kana, "-、た *");
}

TEST_F(EditFixture, SpinTextsAndRanges) {
    EXPECT_EQ(tuningText(440000), "440.0");
    int pos = tuningSpinPosition(469900);
    EXPECT_TRUE(spinStep(pos, 1, kTuningSpinMin, kTuningSpinMax));
    EXPECT_EQ(tuningText(tuningOfSpinPosition(pos)), "470.0");
    EXPECT_FALSE(spinStep(pos, 1, kTuningSpinMin, kTuningSpinMax));
    EXPECT_EQ(pos, 300);
    EXPECT_EQ(tuningText(tuningOfSpinPosition(-300)), "410.0");
    EXPECT_EQ(timingTextOnOpen(0), "0 msec");
    EXPECT_EQ(timingTextOnOpen(-5), "-5 msec");
    EXPECT_EQ(timingTextOnOpen(10), "+10 msec");
    int t = 10;
    for (int i = 0; i < 10; ++i) spinStep(t, -1, kTimingMin, kTimingMax);
    EXPECT_EQ(timingTextAfterStep(t), "0  msec");
    EXPECT_EQ(timingTextAfterStep(-3), "-3  msec");
    EXPECT_EQ(timingTextAfterStep(1), "+1 msec");

    uint32_t p = 0;
    EXPECT_TRUE(parsePowerValue("0.001", p));
    EXPECT_EQ(p, 1u);
    EXPECT_TRUE(parsePowerValue(" 10.000 ", p));
    EXPECT_EQ(p, 10000u);
    EXPECT_TRUE(parsePowerValue("2.5", p));
    EXPECT_EQ(powerText(p), "2.500");
    for (const char* bad : {"0", "0.0001", "10.001", "", ".", "1.2.3", "-1", "abc", "99999999999"})
        EXPECT_FALSE(parsePowerValue(bad, p)) << bad;
}

TEST_F(EditFixture, SettingsWindowsStoreOnlyChanges) {
    std::string error;
    bool stored = true;
    SettingsEdit s = SettingsEdit::forChannel(song, 0);
    EXPECT_TRUE(s.useDefault(SettingsGroup::Voice));
    EXPECT_EQ(s.values().voiceName, "V");
    const std::vector<uint8_t> before = bytes();
    EXPECT_TRUE(s.apply(song, voices, error, stored));
    EXPECT_FALSE(stored);
    EXPECT_EQ(bytes(), before);
    // A voice that cannot be loaded keeps everything and gives the bank's text.
    s.setUseDefault(SettingsGroup::Voice, false);
    s.values().voiceName = "Nobody";
    EXPECT_FALSE(s.apply(song, voices, error, stored));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(bytes(), before);
    // Ticking a box shows the inherited value again.
    s.setUseDefault(SettingsGroup::Voice, true);
    EXPECT_EQ(s.values().voiceName, "V");
    SettingsEdit none;
    EXPECT_FALSE(SettingsEdit::forPhrase(song, 0, 3, none));
}

TEST_F(EditFixture, NoteLengthAndPositionBounds) {
    NoteLengthPosition lp;
    ASSERT_TRUE(lp.open(song, midi, map, 0, 5));  // 2400..2800 in the second bar
    EXPECT_EQ(lp.minTick(), 1921u);
    EXPECT_EQ(lp.maxTick(), 3839u);
    EXPECT_EQ(lp.lastBarStart(), map.measures().back().start);
    const std::vector<uint8_t> before = bytes();
    EXPECT_FALSE(lp.stepEnd(song, 1));  // the end spin is off in position mode
    EXPECT_EQ(bytes(), before);
    // Moving right over the start of the next note (2880) is allowed: only Min, Max and the
    // last bar limit a note.
    EXPECT_TRUE(lp.stepStart(song, 500));
    EXPECT_EQ(ev(5).startTick, 2900u);
    EXPECT_EQ(ev(5).endTick, 3300u);
    EXPECT_FALSE(lp.stepStart(song, 940));  // the start would pass Max
    EXPECT_EQ(ev(5).startTick, 2900u);
    EXPECT_TRUE(lp.stepStart(song, -979));
    EXPECT_EQ(ev(5).startTick, 1921u);
    EXPECT_FALSE(lp.stepStart(song, -1000));  // the end would fall below Min
    lp.mode = NoteLengthPosition::Mode::Length;
    EXPECT_FALSE(lp.stepStart(song, 400));  // start not below the end
    EXPECT_TRUE(lp.stepEnd(song, -300));
    EXPECT_EQ(ev(5).endTick, 2021u);
    EXPECT_FALSE(lp.stepEnd(song, -100));  // not above the start
    std::string error;
    EXPECT_TRUE(setNoteLength(song, 0, 6, 600, error));  // over the next note's start
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(ev(6).endTick, 2880u + 600);
    EXPECT_FALSE(setNoteLength(song, 0, 6, 0, error));
    EXPECT_EQ(ev(6).endTick, 2880u + 600);
}

TEST_F(EditFixture, BatchChangesAndTheirChecks) {
    std::string error;
    EXPECT_FALSE(noteBatchChange(song, 3, error));
    EXPECT_EQ(error, edittext::kNoNotes);
    EXPECT_FALSE(phraseBatchChange(song, 3, {}, error));
    ev(0).syllableSettingsIndex[0] = 7;
    ev(2).noteSettingsIndex = 2;
    EXPECT_TRUE(noteBatchChange(song, 0, error));
    EXPECT_EQ(ev(0).syllableSettingsIndex[0], 1);
    EXPECT_EQ(song.channel(0).syllableSettings.size(), 1u);
    EXPECT_EQ(ev(2).noteSettingsIndex, 0);

    ev(3).phraseIndex = 40;
    PhraseBatchOptions o;
    o.effectsDefault = true;
    song.phraseSettings(0, 1)->ownEffects = 1;
    EXPECT_TRUE(phraseBatchChange(song, 0, o, error));
    EXPECT_EQ(ev(3).phraseIndex, 0);
    EXPECT_EQ(song.phraseSettings(0, 1)->ownEffects, 0);

    EXPECT_EQ(checkPhraseWaveName("/music", "take"), "");
    EXPECT_EQ(checkPhraseWaveName("/music", "a/b"), edittext::kBadFileName);
    EXPECT_EQ(checkPhraseWaveName("/music", "   "), edittext::kBadFileName);
    EXPECT_EQ(checkPhraseWaveName("/" + std::string(110, 'm'), "take12345678"), edittext::kWavePathTooLong);
}

TEST(EditWindowsTest, ConflictsInTheirOrder) {
    EditWindows w;
    EXPECT_EQ(w.batchConflict(2), "");
    w.setOpen(EditWindows::PhraseDetail, 2, true);
    EXPECT_EQ(w.batchConflict(2), "フレーズ詳細( 3 )を閉じてください。");
    EXPECT_EQ(w.batchConflict(3), "");
    w.setOpen(EditWindows::NoteSettings, 2, true);
    EXPECT_EQ(w.batchConflict(2), "ノート設定( 3 )を閉じてください。");
    {
        EditWindowOpen open(w, EditWindows::PhraseSettings, 2);
        EXPECT_EQ(w.batchConflict(2), "フレーズ設定( 3 )を閉じてください。");
        w.setOpen(EditWindows::SongDefaults, 9, true);
        EXPECT_EQ(w.batchConflict(2), "ｿﾝｸﾞﾃﾞﾌｫﾙﾄﾀﾞｲｱﾛｸﾞを閉じてください。");
        w.setOpen(EditWindows::SongDefaults, 0, false);
    }
    EXPECT_EQ(w.batchConflict(2), "ノート設定( 3 )を閉じてください。");
}

TEST_F(EditFixture, ChannelBackupAndRestore) {
    ChannelBackup b;
    const std::vector<uint8_t> before = bytes();
    ASSERT_TRUE(b.backup(song, 0));
    applyQuickInput(song, 0, 0, parseQuickLine("a a a a a", voices, "V"));
    song.removePhraseHead(0, 0);
    EXPECT_NE(bytes(), before);
    std::string error;
    EXPECT_TRUE(b.restore(song, error));
    EXPECT_FALSE(b.has());
    EXPECT_EQ(bytes(), before);
}

}  // namespace
}  // namespace kantor

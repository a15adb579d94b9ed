// Writing notes: each edit changes the MIDI file's notes and the song's Vox events together,
// leaves every other byte of the MIDI file as it was, keeps syllables on their notes through
// a save and a reopen, and undoes to both files byte for byte.
#include <gtest/gtest.h>

#include <map>

#include "base/FileIO.h"
#include "midi/MidiFile.h"
#include "midi/SmfEdit.h"
#include "midi/SmfWriter.h"
#include "midi/TempoMap.h"
#include "song/EditHistory.h"
#include "song/MidiStreamStopper.h"
#include "song/NoteEdits.h"
#include "song/Song.h"
#include "song/SongSession.h"
#include "song/VoiceLoader.h"
#include "support/TempDir.h"
#include "TestPrompt.h"

namespace kantor {
namespace {

struct NoStream : MidiStreamStopper {
    bool stopAndCloseStream(std::string&) override { return true; }
};
struct NoVoices : VoiceLoader {
    bool loadVoice(const std::string&) override { return true; }
};

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::vector<uint8_t> b;
    readWholeFile(path, b);
    return b;
}

// A song as other programs write it: format 1, a conductor track, the melody on channel 1
// with running status, note-offs as note-ons of velocity 0 and lyric events between the
// notes; a piano on channel 2 with chords in a track of its own. Eight melody notes, a
// phrase head on notes 1 and 5, one syllable each.
constexpr const char* kCodes[] = {"SA", "KU", "RA", "SA", "KU", "RA", "YA", "YO"};
constexpr int kKeys[] = {69, 69, 71, 69, 69, 71, 69, 71};

std::vector<uint8_t> tuneFile() {
    SmfTrack conductor;
    conductor.timeSignature(0, 4, 2).tempo(0, 500000).text(0, 0x03, "tune");
    SmfTrack melody(true);
    melody.text(0, 0x03, "melody").programChange(0, 0, 53);
    for (int i = 0; i < 8; ++i) {
        const uint32_t t = uint32_t(i) * 480;
        melody.text(t, 0x05, kCodes[i]);
        melody.noteOn(t, 0, kKeys[i], 90).noteOn(t + 470, 0, kKeys[i], 0);
    }
    melody.controlChange(1000, 0, 7, 100);
    melody.endOfTrack(8 * 480);
    SmfTrack piano;
    for (int b = 0; b < 2; ++b) {
        const uint32_t t = uint32_t(b) * 1920;
        piano.note(t, t + 1900, 1, 57, 60).note(t, t + 1900, 1, 64, 60);
    }
    piano.endOfTrack(8 * 480);
    return buildSmf(1, 480, {conductor, melody, piano});
}

struct NoteEditsFixture : ::testing::Test {
    test::TempDir dir;
    Song song;
    MidiFile midi;
    TempoMap tempo;
    test::RecordingPrompt prompt;
    NoStream stream;
    NoVoices voices;
    SongSession session{song, midi, tempo, prompt, stream, voices};
    EditHistory history;
    std::string midiPath, songPath;

    void SetUp() override {
        midiPath = dir.write("tune.mid", tuneFile());
        songPath = dir.file("tune.uta");
        ASSERT_TRUE(session.openMidi(midiPath));
        ASSERT_TRUE(session.makeVoxChannel(0));
        for (std::size_t i = 0; i < 8; ++i) {
            VoxEvent& e = *song.channel(0).events[i];
            e.setCode(0, kCodes[i]);
            e.syllableLength[0] = 1;
        }
        ASSERT_TRUE(song.makePhraseHead(0, 0));
        ASSERT_TRUE(song.makePhraseHead(0, 4));
        ASSERT_TRUE(session.saveSong(midiPath, songPath));
        song.setSongPath(songPath);
    }

    NoteEdits edits() { return NoteEdits(song, midi, &history); }

    // Each note of channel 1 with what it sings, keyed by start tick.
    std::map<uint32_t, std::string> sung() const {
        std::map<uint32_t, std::string> out;
        std::size_t k = 0;
        for (const auto& m : midi.channel(0)) {
            if (!m || !m->isNote()) continue;
            const VoxEvent* e = song.event(0, k++);
            out[m->startTick()] = e ? e->codeText(0) + "/" + std::to_string(m->noteNumber()) : "?";
        }
        EXPECT_EQ(k, song.channel(0).events.size());
        return out;
    }

    // The song and MIDI file as a fresh open reads them.
    std::map<uint32_t, std::string> reopened() {
        EXPECT_TRUE(session.openSong(songPath));
        return sung();
    }

    // The bytes of every track but the melody's.
    std::vector<std::vector<uint8_t>> otherTracks(const std::vector<uint8_t>& file) {
        SmfEditor e;
        EXPECT_TRUE(e.parse(file));
        std::vector<std::vector<uint8_t>> out;
        std::size_t at = 14;
        for (int t = 0; t < 3; ++t) {
            const std::size_t len = 8 + ((std::size_t(file[at + 4]) << 24) | (std::size_t(file[at + 5]) << 16) |
                                         (std::size_t(file[at + 6]) << 8) | file[at + 7]);
            if (t != 1) out.emplace_back(file.begin() + long(at), file.begin() + long(at + len));
            at += len;
        }
        return out;
    }

    // Undo gives both files back byte for byte; redo the edited ones.
    void undoRedo(const std::vector<uint8_t>& midiBefore, const std::vector<uint8_t>& songBefore) {
        const auto midiAfter = fileBytes(midiPath), songAfter = fileBytes(songPath);
        NoteEdits e = edits();
        ASSERT_TRUE(e.undo()) << e.lastError();
        EXPECT_EQ(fileBytes(midiPath), midiBefore);
        EXPECT_EQ(fileBytes(songPath), songBefore);
        ASSERT_TRUE(e.redo()) << e.lastError();
        EXPECT_EQ(fileBytes(midiPath), midiAfter);
        EXPECT_EQ(fileBytes(songPath), songAfter);
    }
};

TEST_F(NoteEditsFixture, AddKeepsEverySyllableOnItsNoteThroughSaveAndReopen) {
    const auto midiBefore = fileBytes(midiPath), songBefore = fileBytes(songPath);
    NoteEdits e = edits();
    // Before note 5 (tick 1920): the melody note 4 is cut short to make room.
    ASSERT_TRUE(e.add(0, 1800, 120, 74, "")) << e.lastError();
    EXPECT_EQ(e.lastNote(), 4u);
    EXPECT_TRUE(e.songWritten());
    const std::map<uint32_t, std::string> want = {{0, "SA/69"},    {480, "KU/69"},  {960, "RA/71"},  {1440, "SA/69"},
                                                  {1800, "/74"},   {1920, "KU/69"}, {2400, "RA/71"}, {2880, "YA/69"},
                                                  {3360, "YO/71"}};
    EXPECT_EQ(sung(), want);
    EXPECT_EQ(midi.channel(0)[0]->isNote() ? 0 : 1, 1);  // channel 1's list starts with the program change
    EXPECT_EQ(song.event(0, 4)->phraseIndex, 0);
    EXPECT_NE(song.event(0, 5)->phraseIndex, 0);  // the phrase mark stays on its note
    EXPECT_EQ(otherTracks(fileBytes(midiPath)), otherTracks(midiBefore));
    EXPECT_EQ(reopened(), want);
    // Note 4 was before the new note and overlapped it: it now ends where it begins.
    std::size_t k = 0;
    for (const auto& m : midi.channel(0))
        if (m && m->isNote() && k++ == 3) {
            EXPECT_EQ(m->endTick(), 1800u);
        }
    undoRedo(midiBefore, songBefore);
}

TEST_F(NoteEditsFixture, MoveTransposeAndReorderCarryTheSyllables) {
    const auto midiBefore = fileBytes(midiPath), songBefore = fileBytes(songPath);
    NoteEdits e = edits();
    // Note 2 ("KU") moved past note 3 and up a tone: the notes change order, the syllables follow.
    ASSERT_TRUE(e.move(0, {1}, 600, 2)) << e.lastError();
    auto s = sung();
    EXPECT_EQ(s.count(480), 0u);
    EXPECT_EQ(s[1080], "KU/71");
    EXPECT_EQ(s[960], "RA/71");
    EXPECT_EQ(reopened(), s);
    EXPECT_EQ(otherTracks(fileBytes(midiPath)), otherTracks(midiBefore));
    undoRedo(midiBefore, songBefore);

    // Onto the start of another note: refused, nothing written.
    const auto midiNow = fileBytes(midiPath), songNow = fileBytes(songPath);
    NoteEdits f = edits();
    EXPECT_FALSE(f.move(0, {0}, 960, 0));
    EXPECT_EQ(f.lastError(), noteedit::kSameStart);
    EXPECT_EQ(fileBytes(midiPath), midiNow);
    EXPECT_EQ(fileBytes(songPath), songNow);
    // Several notes at once, and a key out of range refused.
    ASSERT_TRUE(f.move(0, {4, 5, 6}, 0, -12)) << f.lastError();
    s = sung();
    EXPECT_EQ(s[1920], "KU/57");
    EXPECT_EQ(s[2880], "YA/57");
    EXPECT_FALSE(f.move(0, {0}, 0, 100));
    EXPECT_EQ(f.lastError(), noteedit::kOutOfRange);
}

TEST_F(NoteEditsFixture, ResizeSplitJoinAndDelete) {
    const auto midiBefore = fileBytes(midiPath), songBefore = fileBytes(songPath);
    NoteEdits e = edits();
    ASSERT_TRUE(e.resize(0, 2, 240)) << e.lastError();
    std::size_t k = 0;
    for (const auto& m : midi.channel(0))
        if (m && m->isNote() && k++ == 2) {
            EXPECT_EQ(m->endTick(), 1200u);
        }
    EXPECT_EQ(song.event(0, 2)->endTick, 1200u);
    EXPECT_EQ(song.event(0, 2)->codeText(0), "RA");
    undoRedo(midiBefore, songBefore);

    // Split "SA" of note 4: the second half sings its vowel.
    ASSERT_TRUE(e.split(0, 3, 1700)) << e.lastError();
    auto s = sung();
    EXPECT_EQ(s[1440], "SA/69");
    EXPECT_EQ(s[1700], "A/69");
    EXPECT_EQ(song.event(0, 4)->phraseIndex, 0);
    EXPECT_EQ(reopened(), s);

    // Join it again: the first half's syllable stays, the note lasts to the second's end.
    NoteEdits f = edits();
    ASSERT_TRUE(f.join(0, 3)) << f.lastError();
    s = sung();
    EXPECT_EQ(s.count(1700), 0u);
    EXPECT_EQ(s[1440], "SA/69");
    EXPECT_EQ(song.event(0, 3)->endTick, 1910u);

    // Delete the phrase head (note 5) and the note after: the phrase goes on from note 7.
    const uint16_t phrase = song.event(0, 4)->phraseIndex;
    ASSERT_NE(phrase, 0);
    ASSERT_TRUE(f.remove(0, {4, 5})) << f.lastError();
    s = sung();
    EXPECT_EQ(s.size(), 6u);
    EXPECT_EQ(s[2880], "YA/69");
    EXPECT_EQ(song.event(0, 4)->phraseIndex, phrase);
    EXPECT_EQ(reopened(), s);
}

TEST_F(NoteEditsFixture, AFailedSongSaveLeavesBothFilesAndTheSong) {
    const auto midiBefore = fileBytes(midiPath), songBefore = fileBytes(songPath);
    NoteEdits e = edits();
    // The MIDI file is written, the song file's rename fails: the MIDI file goes back.
    AtomicFile::injectFaultForTesting(AtomicFile::Fault::Rename, 1);
    EXPECT_FALSE(e.add(0, 3900, 100, 60, "A"));
    AtomicFile::injectFaultForTesting(AtomicFile::Fault::None);
    EXPECT_EQ(fileBytes(midiPath), midiBefore);
    EXPECT_EQ(fileBytes(songPath), songBefore);
    EXPECT_EQ(song.channel(0).events.size(), 8u);
    EXPECT_FALSE(history.canUndo());
    // A MIDI file changed by another program since the song was opened is not edited.
    SmfTrack t;
    t.note(0, 100, 0, 60, 100).endOfTrack(200);
    writeFileAtomically(midiPath, buildSmf(0, 480, {t}));
    EXPECT_FALSE(e.add(0, 3900, 100, 60, ""));
    EXPECT_EQ(e.lastError(), noteedit::kMidiChanged);
}

TEST_F(NoteEditsFixture, ASongOpenedOverAMidiFileEditedElsewhereKeepsItsSyllables) {
    // Another program inserted a note before note 5 and dropped note 7; the song was not changed.
    SmfEditor smf;
    ASSERT_TRUE(smf.parse(fileBytes(midiPath)));
    const auto notes = smf.channelNotes(0);
    std::vector<bool> remove(notes.size(), false);
    remove[6] = true;
    SmfNewNote n;
    n.start = 1800;
    n.end = 1900;
    n.key = 74;
    n.track = 1;
    std::vector<uint8_t> out;
    std::vector<SmfOrderEntry> order;
    ASSERT_TRUE(smf.rewrite(0, notes, remove, {n}, out, order));
    writeFileAtomically(midiPath, out);
    const auto s = reopened();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Midiﾌｧｲﾙに変更があります。Voxｲﾍﾞﾝﾄを追加します。MidiCh=1");
    const std::map<uint32_t, std::string> want = {{0, "SA/69"},    {480, "KU/69"},  {960, "RA/71"},
                                                  {1440, "SA/69"}, {1800, "/74"},   {1920, "KU/69"},
                                                  {2400, "RA/71"}, {3360, "YO/71"}};
    EXPECT_EQ(s, want);
}

TEST(SmfEditor, RunningStatusAndUntouchedEventsSurviveARewrite) {
    const std::vector<uint8_t> file = tuneFile();
    SmfEditor smf;
    ASSERT_TRUE(smf.parse(file));
    const auto notes = smf.channelNotes(0);
    ASSERT_EQ(notes.size(), 8u);
    EXPECT_TRUE(notes[0].offIsNoteOn);
    EXPECT_EQ(notes[7].offTick, 3830u);
    // Nothing taken out, nothing put in: the same bytes.
    std::vector<uint8_t> out;
    std::vector<SmfOrderEntry> order;
    ASSERT_TRUE(smf.rewrite(0, notes, std::vector<bool>(8, false), {}, out, order));
    EXPECT_EQ(out, file);
    ASSERT_EQ(order.size(), 8u);
    // The last note out: the end-of-track event keeps its tick, the rest reads the same.
    std::vector<bool> remove(8, false);
    remove[7] = true;
    ASSERT_TRUE(smf.rewrite(0, notes, remove, {}, out, order));
    MidiFile a, b;
    ASSERT_TRUE(a.loadImage(file, "a.mid"));
    ASSERT_TRUE(b.loadImage(out, "b.mid"));
    EXPECT_EQ(a.songEndTick(), b.songEndTick());
    // The note-on (delta, status after the lyric event, two data bytes) and its note-off (a
    // two-byte delta, running data) go; the end of the track's delta grows by a byte.
    EXPECT_EQ(out.size(), file.size() - 7);
    // A note past the end moves the end of its track.
    SmfNewNote late;
    late.start = 4000;
    late.end = 4480;
    late.track = 1;
    ASSERT_TRUE(smf.rewrite(0, notes, std::vector<bool>(8, false), {late}, out, order));
    ASSERT_TRUE(b.loadImage(out, "b.mid"));
    EXPECT_EQ(b.songEndTick(), 4480u);
    // Files this editor cannot change safely are refused.
    std::vector<uint8_t> cut(file.begin(), file.end() - 10);
    EXPECT_FALSE(smf.parse(cut));
}

}  // namespace
}  // namespace kantor

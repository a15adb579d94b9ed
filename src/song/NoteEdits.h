#pragma once
// Writing the notes of a Vox channel: add, move (in time and key), resize, split, join and
// delete. An edit changes the MIDI file's note-on and note-off events of the notes it touches
// (midi/SmfEdit.h: every other byte of the file stays) and the song's Vox events with them,
// so that every syllable stays on its note:
// - a new note gets a new event (no syllable, or the one given);
// - a moved, resized or transposed note keeps its event: syllables, settings, phrase mark;
// - a split gives the second half the vowel of the first half's last syllable ("ー");
// - a join keeps the first note's event;
// - a deleted phrase head hands its phrase on to the next note of its group.
// Notes of one channel do not overlap: where an edited note and another would, the earlier
// one is shortened to end where the later begins; two notes starting on one tick are refused.
//
// Both files change as one step: the MIDI file is replaced, then the song file (when the song
// has one); if the song file cannot be written the MIDI file is put back. A failure leaves
// both files and the song in memory as they were. Each edit is one step of the edit history,
// with the MIDI file's change, so undo and redo bring both files back byte for byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/LastError.h"
#include "base/Translation.h"
#include "midi/SmfEdit.h"
#include "song/VoxEvent.h"

namespace kantor {

class EditHistory;
class MidiFile;
class Song;

namespace noteedit {
inline constexpr const char* kSameStart = KANTOR_TEXT("同じ位置で始まるノートがあります。");
inline constexpr const char* kOutOfRange = KANTOR_TEXT("ノートの位置・長さ・音程が範囲外です。");
inline constexpr const char* kNoSuchNote = KANTOR_TEXT("指定されたノートがありません。");
inline constexpr const char* kMidiChanged =
    KANTOR_TEXT("Midiﾌｧｲﾙは、開いた後で他のﾌﾟﾛｸﾞﾗﾑによって変更されています。曲を開き直してください。");
inline constexpr const char* kMidiNotEditable = KANTOR_TEXT("このMidiﾌｧｲﾙのノートは編集できません。");
inline constexpr const char* kMidiSaveFailed = KANTOR_TEXT("Midiﾌｧｲﾙの保存に失敗しました。");
inline constexpr const char* kBadSyllable = KANTOR_TEXT("音節コードが不正です。");
// The longest note and the last tick a note may reach.
inline constexpr uint32_t kMaxTick = 0x0FFFFFFF;
}  // namespace noteedit

// One note of the channel as an edit plans it.
struct PlannedNote {
    long old = -1;         // its index before the edit; -1 for a new note
    bool rewrite = false;  // its MIDI events are written anew
    uint32_t start = 0;
    uint32_t end = 0;
    uint32_t rawOff = 0;   // the tick of its note-off in the file (the reader may end it earlier)
    uint8_t key = 60;
    uint8_t velocity = 100;
    int track = -1;        // -1: beside the channel's other notes
    bool offIsNoteOn = false;
    uint8_t offVelocity = 64;
    VoxEvent event;
    bool primary = false;  // a note the edit was asked about (lastNote() finds it)
    bool edited() const { return old < 0 || rewrite; }
};

class NoteEdits : public LastError {
public:
    // `history` may be null (the command line); `saveSong`: the song file is written with
    // the MIDI file when the song has one.
    NoteEdits(Song& song, MidiFile& midi, EditHistory* history, bool saveSong = true)
        : song_(song), midi_(midi), history_(history), saveSong_(saveSong) {}

    // Notes are counted from 0 in the channel's order (the order of their start).
    // A note of `length` ticks at `tick`; `syllable` a code of the syllable table or "".
    bool add(int c, uint32_t tick, uint32_t length, int key, const std::string& syllable);
    // Moves notes by `ticks` (either way) and `semitones`.
    bool move(int c, const std::vector<std::size_t>& notes, int64_t ticks, int semitones);
    bool setKey(int c, std::size_t note, int key);
    // Gives a note a new length (its start stays).
    bool resize(int c, std::size_t note, uint32_t length);
    // Splits a note at a tick inside it.
    bool split(int c, std::size_t note, uint32_t at);
    // Joins a note with the next one: the first note lasts to the end of the second.
    bool join(int c, std::size_t note);
    bool remove(int c, const std::vector<std::size_t>& notes);

    // The channel's notes as an edit would start from them (for the views and tests).
    bool plan(int c, std::vector<PlannedNote>& out);
    // Writes a plan made from plan() and changed by the caller.
    bool commit(int c, std::vector<PlannedNote>& plan);

    // Undo and redo of the history's last step; a step of a note edit puts the MIDI file back
    // too and writes both files. False (nothing changed) when there is no step or a file
    // cannot be written.
    bool undo();
    bool redo();

    // The note the last add, split or move left in the place of the first one it was asked
    // about (its index after the edit).
    std::size_t lastNote() const { return lastNote_; }
    // Whether the last successful edit or undo wrote the song file.
    bool songWritten() const { return songWritten_; }

private:
    bool step(bool forward);
    bool load(std::vector<uint8_t>& bytes);
    bool writeFiles(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& previous);
    Song& song_;
    MidiFile& midi_;
    EditHistory* history_;
    bool saveSong_;
    std::size_t lastNote_ = 0;
    bool songWritten_ = false;
    // The file and its channel's notes as plan() read them, for commit().
    SmfEditor smf_;
    std::vector<SmfNote> notes_;
    int planned_ = -1;
};

// The code a note split off a syllable sings: the vowel its last syllable ends on ("A" for
// "KA", "N" for "N"); "" when it has none.
std::string heldVowel(const VoxEvent& e);

}  // namespace kantor

#pragma once
// The values of the note voice window for one note (four syllable slots with their codes,
// kana, lengths and volumes, the note volume, the phrase head box and the group), loaded
// from a `VoxEvent` and committed back into it.
#include <array>
#include <cstdint>
#include <string>

namespace kantor {

class Song;
class VoiceBank;

struct NoteVoiceForm {
    std::array<std::string, 4> code;  // as typed (at most 4 characters)
    std::array<std::string, 4> kana;  // shown beside it
    std::array<uint16_t, 4> length{};  // 0..100
    std::array<uint16_t, 4> volume{100, 100, 100, 100};  // 0..300
    uint16_t noteVolume = 100;
    bool phraseHead = false;
    uint16_t group = 0;  // 0..5 = "A".."F"
};

struct NoteCommit {
    bool ok = true;
    int failedSlot = -1;       // the slot whose code the voice lacks
    bool modified = false;     // the event's bytes changed
    bool redrawScore = false;  // a code or the phrase head changed
};

// The form of note n of channel c; false when there is no such note.
bool loadNoteForm(const Song& song, const VoiceBank& voices, int c, std::size_t n, NoteVoiceForm& form);
// Slot validation: the code looked up in the voice (ignoring case; an empty code is fine),
// and when the voice has no such code, its table spelling (SHI -> SI, …; findTypedSyllable).
// Found: the code as the voice lists it, its kana, and the length made 1 (from 0) or 0 (for
// an empty code). Not found: kana cleared, false.
bool validateSlot(const VoiceBank& voices, const std::string& voice, NoteVoiceForm& form, int k);
// Writes the form into the event (all four slots validated first; nothing is written when
// one fails).
NoteCommit commitNoteForm(Song& song, const VoiceBank& voices, int c, std::size_t n, NoteVoiceForm& form);
// The phrase buttons work when the note is a head or an earlier note of its group is one.
bool noteInPhrase(const Song& song, int c, std::size_t n);
// The current note shows highlighted (hasLyric 2); off gives it back 1 or 0.
void highlightNote(Song& song, int c, std::size_t n, bool on);

}  // namespace kantor

#pragma once
// The events to sing when one phrase is auditioned or exported from a note, and the
// single-note audition.
#include <cstdint>
#include <vector>

#include "base/Translation.h"
#include "song/VoxEvent.h"

namespace kantor {

class Song;

inline constexpr const char* kNoPhraseHeadText = KANTOR_TEXT("このノートの属するフレーズの先頭がありません。");
inline constexpr const char* kNoPhraseHeadCaption = KANTOR_TEXT("警告");

struct PhraseEvents {
    int channel = 0;
    std::size_t head = 0;      // index of the phrase head in the channel's event list
    uint16_t phraseGroup = 0;  // the head's group
    uint16_t phraseIndex = 0;  // the head's phrase settings index
    uint32_t startTick = 0;    // least start tick of the phrase
    uint32_t endTick = 0;      // the phrase end: the next quarter note strictly after the last sung end
    // Indexes into the channel's event list, head first, in list order.
    std::vector<std::size_t> events;
};

// Phrase events of the note at index d of channel c, with the MIDI file's time base.
// False when the note has no phrase head (the caller shows kNoPhraseHeadText).
bool phraseEventsOfNote(const Song& song, int c, std::size_t d, uint16_t division, PhraseEvents& out);

// A single note to audition: a copy of the note, carrying the head's phraseIndex when its
// own is 0, sung from its start tick to its end tick. False when the note has no head.
bool noteAudition(const Song& song, int c, std::size_t d, VoxEvent& out);

}  // namespace kantor

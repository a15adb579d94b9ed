#pragma once
// The pitch line of a channel: every sung syllable with the curve the synthesis sings it
// with, where its sound starts and how long it lasts, for the score to draw over the notes.
//
// The notes are taken phrase by phrase as a whole-song render takes them (a phrase head and
// the notes of its group up to the next head, only the notes with a syllable) and each note's
// length is shared among its slots by their weights as the synthesis shares it; the curve of
// every slot comes from expressionCurve() (song/Expression.h), the same function the
// synthesis samples. Nothing here is worked out twice: the line only reads the curve.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "song/Expression.h"

namespace kantor {

class Song;
class TempoMap;

struct SungSyllable {
    std::size_t event = 0;  // the note (list index of the channel)
    int slot = 0;
    uint8_t key = 0;        // the note's key
    uint32_t startMs = 0;   // the slot's start as the synthesis places it, before the time shift
    uint32_t lengthMs = 0;  // its share of the note
    ExpressionCurve curve;

    // Where its sound starts (after the note's time shift), in ms from the song start.
    int64_t soundStartMs() const { return int64_t(startMs) + curve.timeShiftMs; }
    // The pitch in cents from the note's key at t ms after the sound start: the detune, the
    // glide and the vibrato.
    double centsAt(double t) const { return curve.detuneCents + curve.centsAt(t); }
};

// The sung syllables of channel c (0-based) in phrase order, with their curves under `mode`.
std::vector<SungSyllable> pitchLineOf(const Song& song, int c, const TempoMap& map, ExpressionMode mode);

}  // namespace kantor

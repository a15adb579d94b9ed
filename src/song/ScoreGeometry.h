#pragma once
// The arithmetic of the channel list and the channel score windows, without any window:
// the zoom steps of the measure, row and key ranges, their scroll limits, pointer positions
// turned into measures, ticks, channels and keys (and back), the note names of the keyboard
// scale, where a view goes when the song position moves, which note lies under the
// pointer, the phrase every note belongs to and the words shown on a note.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "midi/TempoMap.h"

namespace kantor {

class Song;
struct VoxEvent;

// --- Note names -------------------------------------------------------------------------------

// "C3" for note 60, "C3#" for 61: the octave is note / 12 - 2.
std::string noteName(int note);
// The same for the seven natural notes; "" for the five sharps.
std::string naturalNoteName(int note);
bool isSharpKey(int note);

// --- Measures ---------------------------------------------------------------------------------

// The measures a window shows: the first (an index into the measure table) and how many.
struct MeasureSpan {
    int first = 0;
    int count = 0;
    friend bool operator==(const MeasureSpan&, const MeasureSpan&) = default;
};

// The last measure index a view may reach with its right edge: the table holds one measure
// past the song's end, which is never scrolled to. 16 for an empty table.
int measureLimit(std::size_t measureCount);
// Half as many measures; from 2 or 3 (where half would leave too few) one less; never 0.
MeasureSpan fewerMeasures(MeasureSpan s);
// Twice as many, or else 1.5 times, 1.25 times or the limit, whichever first fits the limit;
// the first measure moves back so that the view ends at the limit at most.
MeasureSpan moreMeasures(MeasureSpan s, int limit);
// Keeps the span inside [0, limit]: at least one measure, first + count <= limit where the
// table allows.
MeasureSpan clampMeasures(MeasureSpan s, int limit);

// A zoom to `count` measures that keeps `tick` where it is on the screen: the tick's place
// (measure and fraction) keeps its distance from the left edge, scaled to the new width, as
// near as whole measures allow. A tick outside the view (or past the table) keeps the first
// measure. Kept inside [0, limit].
MeasureSpan zoomAround(const std::vector<Measure>& measures, MeasureSpan s, int count, int limit, uint32_t tick);

// Ticks covered: the start of the first visible measure to the start of the measure after
// the last visible one (an empty range for an empty table).
struct TickRange {
    uint32_t start = 0;
    uint32_t end = 0;
    bool contains(uint32_t t) const { return t >= start && t < end; }
};
TickRange visibleTicks(const std::vector<Measure>& measures, MeasureSpan s);

// The measure a tick is drawn in: the last one starting at or before it (-1 before the
// first measure or for an empty table).
long measureForTick(const std::vector<Measure>& measures, uint32_t tick);

// A strip `width` pixels wide from `left`, divided evenly among the visible measures.
struct MeasureAxis {
    const std::vector<Measure>* measures = nullptr;
    MeasureSpan span;
    int left = 0;
    int width = 0;

    // The measure under x (an index into the table) and the tick there: measure start +
    // offset in the column x measure length / column width. False outside the strip or past
    // the table.
    bool tickAt(int x, long& measure, uint32_t& tick) const;
    // The x of a tick; ticks outside the visible measures give positions left of `left` or
    // right of left + width (for clipping).
    double xOf(uint32_t tick) const;
    bool shows(uint32_t tick) const;
    double columnWidth() const { return span.count > 0 ? double(width) / span.count : 0.0; }
};

// --- Channel rows and keys --------------------------------------------------------------------

// Rows (channels) or keys shown: the first and how many.
struct RowSpan {
    int first = 0;
    int count = 16;
    friend bool operator==(const RowSpan&, const RowSpan&) = default;
};
// One row fewer (not below 1); one more (not above 16, the first row moving back).
RowSpan fewerRows(RowSpan r);
RowSpan moreRows(RowSpan r);

// The key range of a score, `count` keys from `low` upwards (the highest drawn on top).
struct KeySpan {
    int low = 48;
    int count = 36;
    friend bool operator==(const KeySpan&, const KeySpan&) = default;
};
inline constexpr int kKeyCount = 128;
// The steps of the key zoom: 12, 18, 24, 36, 48, 64, 88, 128 keys, kept inside 0..127.
KeySpan fewerKeys(KeySpan k);
KeySpan moreKeys(KeySpan k);
KeySpan clampKeys(KeySpan k);
// A range that shows notes from `lowest` to `highest` with a little room, at least 24 keys.
KeySpan keysFor(int lowest, int highest);

// A strip `height` pixels high from `top`, divided evenly among the keys.
struct KeyAxis {
    KeySpan span;
    int top = 0;
    int height = 0;
    double rowHeight() const { return span.count > 0 ? double(height) / span.count : 0.0; }
    // The key under y, or -1 outside the strip.
    int keyAt(int y) const;
    // The top of a key's row.
    double yOf(int key) const { return top + (span.low + span.count - 1 - key) * rowHeight(); }
};

// The channel row under y in a grid of `rows` below `top` (1-based channel, 0 = none).
int channelAt(int y, int top, int height, RowSpan rows);

// --- Following the position -------------------------------------------------------------------

// The score windows' auto scroll setting, and the channel list's on (Always) or off (Never).
enum class AutoScroll { Always = 0, WhilePlaying = 1, Never = 2 };
AutoScroll autoScrollOf(int32_t setting);

struct Follow {
    bool showCursor = true;
    MeasureSpan span;
};
// Where a view goes when the position moves to `tick`. A position inside the view is shown
// where it is. One outside it moves the view by whole pages to the page that holds it,
// except with Never (the cursor goes away) and with WhilePlaying for a position the user set
// (`userSet`: a click or the panel) rather than one the playback reported.
Follow followPosition(const std::vector<Measure>& measures, MeasureSpan s, int limit, uint32_t tick, AutoScroll mode,
                      bool userSet);

// --- Notes of a channel -----------------------------------------------------------------------

// The event under the pointer: on `key`, the note whose start <= tick < end; where several
// do, the one that starts last. -1 when none.
long noteAt(const Song& song, int c, uint32_t tick, int key);
// The next (step > 0) or previous (step < 0) event of the channel from `from`, skipping
// empty slots; `from` -1 starts before the first. -1 when there is none.
long stepNote(const Song& song, int c, long from, int step);
// The next or previous phrase head (any group) from `from`; -1 when there is none.
long stepPhraseHead(const Song& song, int c, long from, int step);

// For each event of the channel (list index), the index of the head of its phrase: the
// nearest earlier event (itself included) of the same group with a phrase index; -1 when
// none (and for empty slots and unknown groups).
std::vector<long> phraseHeadsOf(const Song& song, int c);

// How the score shows the words of a note.
enum class WordDisplay { Off = 0, Hiragana = 1, Romaji = 2 };
WordDisplay wordDisplayOf(int32_t setting);
// The words of a note: the syllables that sound (a code and a length), as kana through
// `kanaOf` joined together, or as their codes joined by blanks. A code whose kana is
// unknown shows as the code.
std::string noteWords(const VoxEvent& e, WordDisplay mode, const std::function<std::string(const std::string&)>& kanaOf);

}  // namespace kantor

#pragma once
// The arithmetic behind the main panel's three counters and their spins, and the lyric line
// it shows while a song plays. No window here: the panel shows what these compute.
#include <cstdint>
#include <string>
#include <vector>

namespace kantor {

class Song;
class TempoMap;
struct LyricLine;

// Spin range and step of a song: one step is the shortest beat note value the song's time
// signatures use (division × 4 ÷ the largest denominator); the range ends at the start of
// the last measure. Both are 0 without a song.
struct PanelSteps {
    uint32_t rangeMax = 0;
    uint32_t step = 0;

    static PanelSteps of(const TempoMap& map);

    // Spin positions are ticks ÷ step; a spin's range is (maximum + step ÷ 2) ÷ step.
    int spinRange() const;
    int spinPosition(uint32_t tick) const;
    uint32_t tickOfSpin(int position) const;
    // (tick + step ÷ 2) rounded down to a multiple of the step.
    uint32_t snap(uint32_t tick) const;
};

// The start and stop positions of "between" play.
struct PlayRange {
    uint32_t start = 0;
    uint32_t stop = 0;
    friend bool operator==(const PlayRange&, const PlayRange&) = default;
};

// "Set start position" at the current position: the start snaps to the grid; a start at or
// after the stop sends the stop to the range's end. "Set stop position" is the mirror
// image: a stop at or before the start sends the start to 0.
PlayRange setStartAt(PlayRange r, uint32_t current, const PanelSteps& s);
PlayRange setStopAt(PlayRange r, uint32_t current, const PanelSteps& s);
// The start and stop spins moved to a new position (no snapping: spins are on the grid).
PlayRange moveStartSpin(PlayRange r, int position, const PanelSteps& s);
PlayRange moveStopSpin(PlayRange r, int position, const PanelSteps& s);

// The lyric line shown under the counters.
class LyricDisplay {
public:
    // Takes the song's lyric lines in position order (equal positions keep song order).
    void setLines(const Song& song);
    void clear();
    // The last line that starts at or before the tick, or an empty line.
    void setFor(uint32_t tick);
    // While playing (a marker reached): shows each line whose position has been reached,
    // in order; never steps back.
    void advance(uint32_t tick);
    const std::string& text() const { return text_; }

private:
    struct Line {
        uint32_t tick;
        std::string text;
    };
    std::vector<Line> lines_;
    std::size_t next_ = 0;  // the first line not shown yet
    std::string text_;
};

}  // namespace kantor

#include "audio/MarkerList.h"

#include <algorithm>

namespace kantor {

std::vector<Marker> buildMarkerList(uint32_t a, uint32_t b, const std::vector<TickedItem>& lyricLines,
                                    const std::vector<TickedItem>& phrases, const std::vector<Measure>& measures,
                                    uint16_t division, std::size_t limit) {
    limit = std::min(limit, kMaxMarkers);
    std::vector<Marker> list;
    if (limit == 0 || a > b) return list;

    // Before a: phrases get no marker; the last lyric line is remembered.
    std::size_t li = 0, pi = 0;
    std::size_t remembered = Marker::kNone;
    while (li < lyricLines.size() && lyricLines[li].tick < a) remembered = lyricLines[li++].index;
    while (pi < phrases.size() && phrases[pi].tick < a) ++pi;
    // A line that starts on a itself takes the place of the remembered one.
    if (li < lyricLines.size() && lyricLines[li].tick == a) remembered = Marker::kNone;
    if (remembered != Marker::kNone) list.push_back({a, Marker::kNone, remembered});

    // From a to b, in tick order: a lyric line first, then a phrase of the same tick joins it.
    while (list.size() < limit) {
        const bool lineLeft = li < lyricLines.size() && lyricLines[li].tick <= b;
        const bool phraseLeft = pi < phrases.size() && phrases[pi].tick <= b;
        if (!lineLeft && !phraseLeft) break;
        if (lineLeft && (!phraseLeft || lyricLines[li].tick <= phrases[pi].tick)) {
            list.push_back({lyricLines[li].tick, Marker::kNone, lyricLines[li].index});
            ++li;
        } else {
            const TickedItem& p = phrases[pi++];
            if (!list.empty() && list.back().tick == p.tick && list.back().phrase == Marker::kNone) {
                list.back().phrase = p.index;
            } else {
                list.push_back({p.tick, p.index, Marker::kNone});
            }
        }
    }

    // The sixteenth-note grid, each tick checked against the first marker not before it
    // (or the last marker when none is), and merged in before that marker.
    std::vector<Marker> grid;
    std::size_t ref = 0;  // first marker of `list` with tick >= m
    bool done = false;
    for (const Measure& measure : measures) {
        if (done || division == 0) break;
        const uint32_t g = measure.length / division;  // quarter notes in the measure
        if (g == 0) continue;                           // shorter than a beat: no grid
        const uint32_t sixteenth = measure.length / (4 * g);
        const uint32_t tolerance = measure.length / (8 * g);
        for (uint32_t s = 0; s < 4 * g; ++s) {
            const uint64_t m64 = uint64_t(measure.start) + uint64_t(s) * sixteenth;
            if (m64 > 0xFFFFFFFFu) {
                done = true;
                break;
            }
            const uint32_t m = static_cast<uint32_t>(m64);
            while (ref < list.size() && list[ref].tick < m) ++ref;
            uint32_t refTick = 0;
            if (ref < list.size()) {
                refTick = list[ref].tick;
            } else if (!list.empty()) {
                refTick = list.back().tick;
            }
            const uint32_t distance = m > refTick ? m - refTick : refTick - m;
            if (m >= a && distance >= tolerance) {
                if (list.size() + grid.size() >= limit) {
                    done = true;
                    break;
                }
                grid.push_back({std::min(m, b), Marker::kNone, Marker::kNone});
            }
            if (m >= b) {
                done = true;
                break;
            }
        }
    }
    if (grid.empty()) return list;
    std::vector<Marker> merged;
    merged.reserve(list.size() + grid.size());
    // A grid marker goes before a marker of the same tick (it was inserted before it).
    std::merge(grid.begin(), grid.end(), list.begin(), list.end(), std::back_inserter(merged),
               [](const Marker& x, const Marker& y) { return x.tick < y.tick; });
    return merged;
}

}  // namespace kantor

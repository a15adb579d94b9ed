#pragma once
// The markers planted in the MIDI stream while a song plays: one at each rendered phrase's
// start tick (where its wave starts), one at each lyric line, and a sixteenth-note grid in
// between, so that the position shown moves at least every sixteenth note.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "midi/TempoMap.h"

namespace kantor {

struct Marker {
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    uint32_t tick = 0;
    std::size_t phrase = kNone;     // index into the rendered phrase list
    std::size_t lyricLine = kNone;  // index into the lyric line list handed to the builder

    bool operator==(const Marker&) const = default;
};

// Markers are identified by a 20-bit index in the stream.
inline constexpr std::size_t kMaxMarkers = 0xFFFFE;

// A tick with the index it is known by (a lyric line or a rendered phrase).
struct TickedItem {
    uint32_t tick = 0;
    std::size_t index = 0;
};

// Builds the marker list for the range [a, b]. `lyricLines` and `phrases` are in ascending
// tick order. A phrase that starts on a lyric line's tick shares its marker; the last lyric
// line before `a` is shown from `a` on; phrases that start before `a` get no marker (their
// wave would start late). Grid markers closer than a thirty-second note to
// the next marker are left out. The list never grows beyond kMaxMarkers.
std::vector<Marker> buildMarkerList(uint32_t a, uint32_t b, const std::vector<TickedItem>& lyricLines,
                                    const std::vector<TickedItem>& phrases, const std::vector<Measure>& measures,
                                    uint16_t division, std::size_t limit = kMaxMarkers);

}  // namespace kantor

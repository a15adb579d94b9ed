#include "song/PitchLine.h"

#include <algorithm>
#include <array>

#include "midi/TempoMap.h"
#include "song/Song.h"

namespace kantor {

std::vector<SungSyllable> pitchLineOf(const Song& song, int c, const TempoMap& map, ExpressionMode mode) {
    std::vector<SungSyllable> out;
    if (c < 0 || c >= Song::kChannels || !song.isVoxChannel(c)) return out;
    const auto& events = song.channel(c).events;
    std::vector<const VoxEvent*> notes;
    std::vector<std::size_t> index;  // list index of each phrase note
    for (std::size_t h = 0; h < events.size(); ++h) {
        const VoxEvent* head = events[h].get();
        if (!head || head->phraseIndex == 0) continue;
        const uint16_t g = head->phraseGroup;
        notes.clear();
        index.clear();
        for (std::size_t j = h; j < events.size(); ++j) {
            const VoxEvent* e = events[j].get();
            if (!e || e->phraseGroup != g) continue;
            if (j > h && e->phraseIndex != 0) break;
            if (!e->hasSyllable()) continue;
            notes.push_back(e);
            index.push_back(j);
        }
        for (std::size_t i = 0; i < notes.size(); ++i) {
            const VoxEvent& e = *notes[i];
            const uint32_t noteMs = map.millisecondsBetween(e.startTick, std::max(e.startTick, e.endTick));
            // The note's length shared among its slots by their weights.
            std::array<uint32_t, VoxEvent::kSlots> share{};
            uint64_t remaining = noteMs;
            for (std::size_t s = 0; s < VoxEvent::kSlots; ++s) {
                uint64_t rest = 0;
                for (std::size_t k = s; k < VoxEvent::kSlots; ++k) rest += e.syllableLength[k];
                if (rest == 0) break;
                const uint64_t part = remaining * e.syllableLength[s] / rest;
                share[s] = static_cast<uint32_t>(part);
                const bool tookAll = part == remaining;
                remaining -= part;
                if (tookAll) break;
            }
            uint32_t start = map.millisecondsBetween(0, e.startTick);
            for (int s = 0; s < VoxEvent::kSlots; ++s) {
                const std::size_t k = static_cast<std::size_t>(s);
                if (e.syllableLength[k] == 0) continue;
                const uint32_t at = start;
                start += share[k];
                if (e.codeText(s).empty()) continue;  // nothing is sung there
                SungSyllable y;
                y.event = index[i];
                y.slot = s;
                y.key = static_cast<uint8_t>(e.noteKey & 127);
                y.startMs = at;
                y.lengthMs = share[k];
                y.curve = expressionCurve(song, c, notes, i, s, noteMs, mode);
                out.push_back(y);
            }
        }
    }
    return out;
}

}  // namespace kantor

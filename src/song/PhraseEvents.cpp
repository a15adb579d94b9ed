#include "song/PhraseEvents.h"

#include "song/Song.h"

namespace kantor {

bool phraseEventsOfNote(const Song& song, int c, std::size_t d, uint16_t division, PhraseEvents& out) {
    PhraseSpan span;
    if (!song.phraseOfNote(c, d, span)) return false;
    const auto& events = song.channel(c).events;
    const VoxEvent& head = *events[span.head];

    // The next quarter note strictly after the last sung end; a time base of 0 (no MIDI
    // file) leaves the end where it is.
    uint64_t end = span.auditionEndTick;
    if (division != 0) end = (end + division) / division * division;
    if (end > 0xFFFFFFFFu) end = 0xFFFFFFFFu;

    out = PhraseEvents{};
    out.channel = c;
    out.head = span.head;
    out.phraseGroup = head.phraseGroup;
    out.phraseIndex = head.phraseIndex;
    out.startTick = span.startTick;
    out.endTick = static_cast<uint32_t>(end);
    out.events.push_back(span.head);
    for (std::size_t i = span.head + 1; i < events.size(); ++i) {
        const VoxEvent* e = events[i].get();
        if (!e || e->phraseGroup != head.phraseGroup) continue;
        if (e->phraseIndex != 0) break;
        if (e->startTick < end) out.events.push_back(i);
    }
    return true;
}

bool noteAudition(const Song& song, int c, std::size_t d, VoxEvent& out) {
    PhraseSpan span;
    if (!song.phraseOfNote(c, d, span)) return false;
    out = *song.channel(c).events[d];
    if (out.phraseIndex == 0) out.phraseIndex = song.channel(c).events[span.head]->phraseIndex;
    return true;
}

}  // namespace kantor

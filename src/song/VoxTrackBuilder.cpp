#include "song/VoxTrackBuilder.h"

#include <cstdio>
#include <new>

#include "base/Texts.h"
#include "midi/MidiFile.h"
#include "platform/UserPrompt.h"
#include "song/Song.h"

namespace kantor {

VoxEvent newVoxEvent(const ChannelEvent& note, std::size_t index, uint32_t noteNumber) {
    VoxEvent e = VoxEvent::zeroed();
    // The song file keeps both in 16 bits.
    e.midiEventIndex = static_cast<uint16_t>(index);
    e.noteNumber = static_cast<uint16_t>(noteNumber);
    e.noteKey = note.noteNumber();
    e.startTick = note.startTick();
    e.endTick = note.endTick();
    e.noteVolume = 100;
    e.syllableVolume = {100, 100, 100, 100};
    return e;
}

uint32_t rescaleTick(uint32_t tick, uint16_t from, uint16_t to) {
    if (from == 0) return tick;
    uint64_t v = static_cast<uint64_t>(to) * tick / from;
    return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
}

bool makeVoxChannel(Song& song, const ChannelEventList& midiChannel, int c) {
    auto& events = song.channel(c).events;
    events.clear();
    try {
        uint32_t n = 1;
        for (std::size_t i = 0; i < midiChannel.size(); ++i) {
            const ChannelEvent* m = midiChannel[i].get();
            if (!m || !m->isNote()) continue;
            events.push_back(std::make_unique<VoxEvent>(newVoxEvent(*m, i, n)));
            ++n;
        }
    } catch (const std::bad_alloc&) {
        return song.setError(text::kOutOfMemory);
    }
    return true;
}

static std::string channelText(const char* format, int c) {
    char buf[160];
    std::snprintf(buf, sizeof buf, format, c + 1);
    return buf;
}

namespace {

// Pairs the channel's events with its notes. Events and notes come in order of their start;
// an event anchors on the note with its start and key where the two lists agree, and between
// two anchors events and notes are paired in order, the extra notes getting new events and
// the extra events going. So a note written into or taken out of the MIDI file elsewhere takes
// or leaves a Vox event of its own, and every other note keeps its syllables; a list that
// agrees note for note is paired in order as it stands.
// `pairs[j]` is the event of note j, or -1 for a new one.
std::vector<long> pairEvents(const SlotList<VoxEvent>& events, const std::vector<const ChannelEvent*>& notes,
                             uint16_t from, uint16_t to, bool rescale) {
    std::vector<long> pairs(notes.size(), -1);
    std::size_t i = 0, j = 0;
    std::size_t gapEvent = 0, gapNote = 0;
    auto closeGap = [&](std::size_t eventEnd, std::size_t noteEnd) {
        while (gapEvent < eventEnd && gapNote < noteEnd) pairs[gapNote++] = long(gapEvent++);
        gapEvent = eventEnd;
        gapNote = noteEnd;
    };
    while (i < events.size() && j < notes.size()) {
        const VoxEvent* e = events[i].get();
        const uint32_t es = e ? (rescale ? rescaleTick(e->startTick, from, to) : e->startTick) : 0;
        const ChannelEvent& n = *notes[j];
        if (e && es == n.startTick() && e->noteKey == n.noteNumber()) {
            closeGap(i, j);
            pairs[j] = long(i);
            gapEvent = ++i;
            gapNote = ++j;
        } else if (!e || es < n.startTick()) {
            ++i;
        } else if (n.startTick() < es) {
            ++j;
        } else {
            ++i;
            ++j;
        }
    }
    closeGap(events.size(), notes.size());
    return pairs;
}

}  // namespace

bool reconcileWithMidi(Song& song, const MidiFile& midi, UserPrompt& prompt) {
    const uint16_t from = song.storedDivision();
    const uint16_t to = midi.division();
    const bool rescale = from != 0 && from != to;
    try {
        for (int c = 0; c < Song::kChannels; ++c) {
            auto& events = song.channel(c).events;
            if (events.empty()) continue;
            const ChannelEventList& list = midi.channel(c);
            std::vector<const ChannelEvent*> notes;
            std::vector<std::size_t> entries;
            for (std::size_t i = 0; i < list.size(); ++i) {
                if (!list[i] || !list[i]->isNote()) continue;
                notes.push_back(list[i].get());
                entries.push_back(i);
            }
            const std::vector<long> pairs = pairEvents(events, notes, from, to, rescale);
            SlotList<VoxEvent> paired;
            paired.reserve(notes.size());
            bool added = false;
            std::size_t kept = 0;
            for (std::size_t j = 0; j < notes.size(); ++j) {
                const ChannelEvent& m = *notes[j];
                const long k = pairs[j];
                if (k < 0 || !events[std::size_t(k)]) {
                    if (k < 0) added = true;
                    if (k >= 0) ++kept;
                    paired.push_back(std::make_unique<VoxEvent>(newVoxEvent(m, entries[j], uint32_t(j + 1))));
                    continue;
                }
                ++kept;
                std::unique_ptr<VoxEvent> e = std::move(events[std::size_t(k)]);
                e->noteKey = m.noteNumber();
                e->midiEventIndex = static_cast<uint16_t>(entries[j]);
                e->noteNumber = static_cast<uint16_t>(j + 1);
                if (rescale) {
                    e->startTick = rescaleTick(e->startTick, from, to);
                    e->endTick = rescaleTick(e->endTick, from, to);
                }
                paired.push_back(std::move(e));
            }
            if (added) prompt.warning(voxtrack::kWarningCaption, channelText(voxtrack::kAddWarning, c));
            else if (kept < events.size())
                prompt.warning(voxtrack::kWarningCaption, channelText(voxtrack::kRemoveWarning, c));
            events.swap(paired);
        }
    } catch (const std::bad_alloc&) {
        return song.setError(text::kOutOfMemory);
    }
    if (rescale) {
        for (auto& line : song.lyricLines())
            if (line) line->position = rescaleTick(line->position, from, to);
        for (auto& wave : song.waveInserts())
            if (wave) wave->position = rescaleTick(wave->position, from, to);
    }
    return true;
}

}  // namespace kantor

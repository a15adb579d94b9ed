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

bool reconcileWithMidi(Song& song, const MidiFile& midi, UserPrompt& prompt) {
    const uint16_t from = song.storedDivision();
    const uint16_t to = midi.division();
    const bool rescale = from != 0 && from != to;
    try {
        for (int c = 0; c < Song::kChannels; ++c) {
            auto& events = song.channel(c).events;
            if (events.empty()) continue;
            const ChannelEventList& notes = midi.channel(c);
            std::size_t k = 0;
            uint32_t n = 1;
            bool warnedAdd = false;
            for (std::size_t i = 0; i < notes.size(); ++i) {
                const ChannelEvent* m = notes[i].get();
                if (!m || !m->isNote()) continue;
                if (k < events.size()) {
                    if (!events[k]) events[k] = std::make_unique<VoxEvent>(newVoxEvent(*m, i, n));
                    VoxEvent& e = *events[k];
                    e.noteKey = m->noteNumber();
                    e.midiEventIndex = static_cast<uint16_t>(i);
                    e.noteNumber = static_cast<uint16_t>(n);
                    if (rescale) {
                        e.startTick = rescaleTick(e.startTick, from, to);
                        e.endTick = rescaleTick(e.endTick, from, to);
                    }
                } else {
                    if (!warnedAdd) {
                        prompt.warning(voxtrack::kWarningCaption, channelText(voxtrack::kAddWarning, c));
                        warnedAdd = true;
                    }
                    events.push_back(std::make_unique<VoxEvent>(newVoxEvent(*m, i, n)));
                }
                ++k;
                ++n;
            }
            if (k < events.size()) {
                if (!warnedAdd) prompt.warning(voxtrack::kWarningCaption, channelText(voxtrack::kRemoveWarning, c));
                events.resize(k);
            }
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

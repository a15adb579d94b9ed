#include "song/MuteSoloGrid.h"

#include "midi/MidiFile.h"
#include "song/Song.h"

namespace kantor {

MuteSoloGrid MuteSoloGrid::of(const MidiFile& midi, const Song& song) {
    MuteSoloGrid g;
    int last = -1, first = -1;
    for (int c = 0; c < ChannelFlags::kChannels; ++c) {
        const auto i = static_cast<std::size_t>(c);
        for (const auto& e : midi.channel(c)) {
            if (e && e->isNote()) {
                g.midiAvailable[i] = true;
                break;
            }
        }
        g.voxAvailable[i] = song.isVoxChannel(c);
        if (g.midiAvailable[i]) {
            if (first < 0) first = c;
            last = c;
        }
    }
    if (first >= 0) {
        g.first = first;
        g.count = last - first + 1;
    }
    return g;
}

bool MuteSoloGrid::available(int row, int channel) const {
    if (row < 0 || row >= ChannelFlags::kRows || channel < 0 || channel >= ChannelFlags::kChannels) return false;
    const auto i = static_cast<std::size_t>(channel);
    return row == ChannelFlags::MidiMute || row == ChannelFlags::MidiSolo ? midiAvailable[i] : voxAvailable[i];
}

bool MuteSoloGrid::toggle(ChannelFlags& flags, int row, int channel) const {
    if (!available(row, channel)) return false;
    const auto r = static_cast<ChannelFlags::Row>(row);
    flags.set(r, channel, !flags.get(r, channel));
    return true;
}

bool MuteSoloGrid::clearRow(ChannelFlags& flags, int row) {
    if (row < 0 || row >= ChannelFlags::kRows) return false;
    bool any = false;
    for (int c = 0; c < ChannelFlags::kChannels; ++c) {
        any = any || flags.get(static_cast<ChannelFlags::Row>(row), c);
        flags.set(static_cast<ChannelFlags::Row>(row), c, false);
    }
    return any;
}

}  // namespace kantor

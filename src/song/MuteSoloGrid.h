#pragma once
// What the mute and solo window offers: per channel, whether its MIDI rows ("Midi Mute",
// "Midi Solo") and its vocal rows ("Vox Mute", "Vox Solo") can be switched, the range of
// channels shown, and the switching itself. The switches are the song's own channel flags,
// so they are saved and opened with the song and read by the transport at every play start.
#include <array>

#include "song/ChannelFlags.h"

namespace kantor {

class MidiFile;
class Song;

struct MuteSoloGrid {
    std::array<bool, ChannelFlags::kChannels> midiAvailable{};  // the channel has notes
    std::array<bool, ChannelFlags::kChannels> voxAvailable{};   // the channel has a vocal track
    int first = 0;  // the first channel shown (0-based)
    int count = 0;  // channels shown: first to the last channel with notes; 0 without notes

    static MuteSoloGrid of(const MidiFile& midi, const Song& song);

    // Rows 0 and 2 need MIDI notes, rows 1 and 3 a vocal track.
    bool available(int row, int channel) const;
    // Inverts an available switch; false (nothing changed) otherwise.
    bool toggle(ChannelFlags& flags, int row, int channel) const;
    // Clears a whole row for all sixteen channels; false when it was clear already.
    static bool clearRow(ChannelFlags& flags, int row);
};

}  // namespace kantor

#pragma once
// The mute and solo flags of the 16 channels, in four rows.
#include <array>
#include <cstddef>

namespace kantor {

struct ChannelFlags {
    enum Row { MidiMute = 0, VoxMute = 1, MidiSolo = 2, VoxSolo = 3 };
    static constexpr int kRows = 4;
    static constexpr int kChannels = 16;
    static constexpr const char* kRowNames[kRows] = {"Midi Mute", "Vox Mute", "Midi Solo", "Vox Solo"};

    std::array<std::array<bool, kChannels>, kRows> flags{};

    bool get(Row row, int channel) const { return flags[row][static_cast<std::size_t>(channel)]; }
    void set(Row row, int channel, bool on) { flags[row][static_cast<std::size_t>(channel)] = on; }
    void clear() { flags = {}; }

    bool anySolo() const {
        for (int c = 0; c < kChannels; ++c)
            if (get(MidiSolo, c) || get(VoxSolo, c)) return true;
        return false;
    }
    // Whether playback silences the channel: with any solo flag set, every channel whose
    // solo flag of its kind is clear; otherwise the mute rows as they stand.
    bool midiSilenced(int channel) const { return anySolo() ? !get(MidiSolo, channel) : get(MidiMute, channel); }
    bool voxSilenced(int channel) const { return anySolo() ? !get(VoxSolo, channel) : get(VoxMute, channel); }

    bool operator==(const ChannelFlags&) const = default;
};

}  // namespace kantor

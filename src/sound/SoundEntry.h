#pragma once
// One piece of sound placed in time: a rendered note, a rendered phrase, an inserted
// wave or an export piece. An entry whose data was taken by the mixer holds no data
// and is skipped by everything that walks a list.
#include <cstdint>

#include "sound/SoundBuffer.h"

namespace kantor {

// Position values of an entry.
inline constexpr int kEntryMono = 20;   // mono sound and rendered phrases (also mixed entries)
inline constexpr int kEntryLeft = 0;    // left channel of a stereo inserted wave
inline constexpr int kEntryRight = 40;  // right channel of a stereo inserted wave

struct SoundEntry {
    SoundBuffer data;
    uint32_t startMs = 0;
    uint32_t durationMs = 0;
    int kind = kEntryMono;
    uint32_t startTick = 0;

    bool hasData() const { return data.hasData(); }
    uint32_t byteLength() const { return static_cast<uint32_t>(data.byteLength()); }
};

}  // namespace kantor

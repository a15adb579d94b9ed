#pragma once
// Level operations on 16-bit sound: volume, end fade and level normalising. Each works
// on the buffer's nominal length and computes the exact real-valued result of its
// formula, truncated toward zero and clamped to -32768..32767.
#include <cstddef>
#include <cstdint>

#include "sound/SoundBuffer.h"

namespace kantor {

// Each sample x ((length + 1) / 2 of them) becomes percent * 0.01 * x. 100 percent or an
// empty buffer leaves the data alone.
void applyVolume(SoundBuffer& sound, uint16_t percent);

// Fades the end: trailing zero samples are ignored; over the last a bytes before them
// (a = that length / 13, even, at most 1000) the k-th sample is multiplied by (a - 2k)
// and divided by a. A buffer shorter than 26 bytes is left alone.
void fadeOutEnd(SoundBuffer& sound);

// Scales the whole buffer so that the mean absolute sample value from startOffset (bytes)
// to the end becomes 4000. Nothing changes when that mean is 0.
void normaliseLevel(SoundBuffer& sound, std::size_t startOffset);

}  // namespace kantor

#pragma once
// CVoxMixer merges overlapping pieces of mono 16-bit sound into one entry per group of
// overlapping pieces.
#include <cstdint>
#include <vector>

#include "base/LastError.h"
#include "base/Translation.h"
#include "sound/SoundEntry.h"

namespace kantor {

namespace mixertext {
inline constexpr const char* kMonoOnly = KANTOR_TEXT("Debug CVoxMixer::VoxMixerはモノラルデータしか扱いません。");
inline constexpr const char* kEightBit = KANTOR_TEXT("8ﾋﾞｯﾄWaveはMy Kantorellionでは未対応です。");
inline constexpr const char* kSquareRoot = KANTOR_TEXT("平方根計算のエラーです。");
}  // namespace mixertext

class CVoxMixer : public LastError {
public:
    // Mixes the entries (kept in start order by their producers) in place. A group is an
    // entry with data and every following entry with data that starts before the group's
    // end so far. Each group of two or more becomes its first entry, holding the mixed
    // sound (sum / sqrt(n) of the n pieces sounding at each sample), its duration and
    // kind 20; the others lose their data. Entries without data are ignored.
    // Fails for stereo or non-16-bit formats and when memory runs out; the entries are
    // then as they were before the failing group.
    bool mix(std::vector<SoundEntry>& entries, uint32_t packed, uint32_t rate);
};

}  // namespace kantor

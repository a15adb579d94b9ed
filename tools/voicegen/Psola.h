#pragma once
// Pitch-synchronous overlap-add at one constant period: the output gets one grain
// every `period` samples (a fraction allowed), so its fundamental is exactly
// fs / period whatever the pitch of the input was. Where the input is voiced a grain
// is cut around the pitch mark nearest to the analysis time; elsewhere it is cut at
// the analysis time itself, which reproduces unvoiced sound unchanged when the time
// map is the identity. Grains are raised-cosine windows two periods wide, which add up
// to one everywhere.
#include <cstddef>
#include <functional>
#include <span>
#include <vector>

#include "Signal.h"

namespace kantor::voicegen {

// Where the grain at an output position comes from: input position `from`, blended
// (raised-cosine weight `mix`) with a grain from input position `to`.
struct GrainSource {
    double from = 0.0;
    double to = 0.0;
    double mix = 0.0;  // 0: all `from`; 1: all `to`
};

// Maps an output sample position to the input whose sound belongs there.
using TimeMap = std::function<GrainSource(double)>;

Signal psolaConstantPitch(std::span<const float> x, std::span<const long long> marks, double period,
                          std::size_t outLength, const TimeMap& map);

// A time map that follows the input up to `leave`, then blends over `blend` samples into
// a walk to and fro across [holdFrom, holdTo] (starting at holdFrom) at `speed` input
// samples per output sample, like a singer holding a vowel whose colour drifts a little.
TimeMap holdVowelMap(double leave, double blend, double holdFrom, double holdTo, double speed);

}  // namespace kantor::voicegen

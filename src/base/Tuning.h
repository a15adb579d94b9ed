#pragma once
// The range a tuning (the pitch of A in thousandths of a hertz) may take in a stored file.
// The editors offer 410.0 to 470.0 Hz; anything beyond these bounds is damage, and would
// make a render shift sounds by absurd ratios.
#include <cstdint>

namespace kantor {

inline constexpr uint32_t kMinTuning = 110000;   // 110 Hz, two octaves below 440
inline constexpr uint32_t kMaxTuning = 1760000;  // 1760 Hz, two octaves above 440

}  // namespace kantor

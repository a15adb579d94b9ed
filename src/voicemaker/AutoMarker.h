#pragma once
// Automatic marker placement for an item's recording:
//   A a little before the sound starts,
//   B where the vowel starts (the first stretch of steady periodic sound at the vowel's
//     level after the onset; a consonant before it stays between A and B),
//   C..D a stretch of the vowel of whole pitch periods where the level is steady, cut at
//     positive-going zero crossings so that looping it does not click.
// "No click at the seam": the jump from the sample before D to the sample at C is not
// larger than the largest sample-to-sample jump inside C..D. The markers follow the
// marker rules (MarkerRules.h).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "voicemaker/VoiceItem.h"
#include "voicemaker/VoiceProject.h"

namespace kantor {

// Places the four markers of an item that has wave data. False (the item unchanged)
// with the reason in `why` when the recording has no usable vowel.
bool autoMark(VoiceItem& item, std::string* why = nullptr);

// Marks every item of the project that has wave data (blank lines skipped; items that
// already have properties are re-marked only when `overwrite`). Returns the number of
// items marked; each item that could not be marked adds "list line: reason" to
// `problems`. Marks the project's items edited when any changed.
int autoMarkAll(VoiceProject& project, bool overwrite = true, std::vector<std::string>* problems = nullptr);

// The two sides of the seam rule for a loop C..D of 16-bit samples.
struct LoopSeam {
    int seamJump = 0;      // |x[C] - x[D-1]|
    int largestInnerJump = 0;  // max |x[i+1] - x[i]| for C <= i < D-1
    bool clicks() const { return seamJump > largestInnerJump; }
};
LoopSeam loopSeam(std::span<const int16_t> x, uint32_t c, uint32_t d);

// The pitch period (in samples, fractional) of x around `centre` found by
// autocorrelation over lags for 50..1000 Hz at 44,100 Hz; 0 when the sound there is not
// periodic.
double estimatePeriod(std::span<const int16_t> x, std::size_t centre);

}  // namespace kantor

#pragma once
// The rules that keep an item's markers usable, applied whenever a marker is moved, and
// the default markers of an item that has none. Positions are samples of the item's
// 16-bit mono 44,100 Hz data. The rules keep A <= B, C at least 441 samples (10 ms)
// after B, D at least 441 samples after C and at most one second after B.
#include <cstdint>

#include "voicemaker/VoiceItem.h"

namespace kantor {

enum class MarkerId { A, B, C, D };

inline constexpr int64_t kMarkerRange = 88200;    // the two seconds the markers can reach
inline constexpr int64_t kMarkerGap = 441;        // 10 ms between B, C and D
inline constexpr int64_t kMarkerMaxLoopReach = 44100;  // D at most one second after B

// Default markers for data of `dataBytes` bytes: below 176,400 bytes (n = dataBytes)
// A = n/8 - 441 (not below 0), B = n/8, C = n/4, D = (n/2)*3/4; otherwise A = 21,609,
// B = 22,050, C = 44,100, D = 52,920.
Markers defaultMarkers(uint32_t dataBytes);

// Moves one marker to `value` and applies that marker's rule, which may move others:
//   A: 0..44,100; B follows when A > B.
//   B: 0..44,100; C is pushed to B + 441 when closer, A pulled down when above B, D
//      pulled to B + 44,100 when farther.
//   C: 441..87,759; D pushed to C + 441 when closer, B pulled to C - 441 when closer.
//   D: at most the data's sample count and 88,200, then 882..B + 44,100; C pulled to
//      D - 441 when closer.
void moveMarker(Markers& m, MarkerId id, int64_t value, uint32_t sampleCount);
// A spin click: the marker moves by `step` samples (not below 0) through its rule.
void stepMarker(Markers& m, MarkerId id, int64_t step, uint32_t sampleCount);
uint32_t markerValue(const Markers& m, MarkerId id);

// True when no marker lies beyond the data (the properties window's OK needs this).
bool markersWithinData(const Markers& m, uint32_t sampleCount);
// True when the markers satisfy every rule above for data of this many samples.
bool markersFollowRules(const Markers& m, uint32_t sampleCount);

// The markers the properties window opens with: the item's own when it has properties,
// else the defaults for its data.
Markers markersForEditing(const VoiceItem& item);

}  // namespace kantor

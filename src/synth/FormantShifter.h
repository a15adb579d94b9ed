#pragma once
// The per-syllable core of singing with the formants kept (PitchMode::KeepFormants): instead
// of reading the sample faster or slower, grains two periods wide (Hann windows) are cut
// around the sample's pitch marks and laid out one output period (44100000 / ft samples, a
// fraction allowed) apart, read between samples by a windowed-sinc interpolator. The
// spectral envelope, and with it the vowel's formants, stays where the sample had it; only
// the pitch moves. Time runs at the sample's own speed: unvoiced sound (a consonant, breath)
// is copied as it is, the consonant up to marker B is the lead-in (B itself, unscaled), and
// the C..D stretch is walked cyclically by the grains for as long as the note needs, with
// the level moved smoothly across the repetitions as the designed synthesis does.
#include "synth/SyllableShifter.h"
#include "voice/Voice.h"

namespace kantor {

// Same input and output as shiftSyllable (lead-in + N bytes), using the sample's pitch
// marks (PitchMarks.h). A sample without marks (nothing voiced found), and a note above
// 2756 Hz, are resampled by shiftSyllable instead. Fails only when memory runs out or ft is 0.
// With a bend, the grains are laid one moving period apart: 44100000 / (ft * bend(ms)), ms
// counted from the note's start (the end of the lead-in). Without one (nullptr), exactly
// the fixed-pitch synthesis above.
bool shiftSyllableKeepingFormants(const SyllableShiftInput& in, const SamplePitchMarks& marks,
                                  SyllableShiftOutput& out, const PitchBend* bend = nullptr);

}  // namespace kantor

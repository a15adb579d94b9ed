#pragma once
// Pitch marks of a sung sample for formant-keeping synthesis: one mark per period of each
// voiced stretch, on the period's strongest peak. The period is looked for near the pitch
// the sample was sung at (its nominal frequency): frames whose autocorrelation shows a
// clear period there are voiced, and the marks follow the waveform from one period to the
// next, each placed where the new period matches the one before best and then moved onto
// its peak. Unvoiced sound (consonants, breath, silence) gets no marks.
#include <cstdint>

#include "sound/SoundBuffer.h"
#include "voice/Voice.h"

namespace kantor {

// The marks of `x` (16-bit mono at 44100 Hz) sung near `nominalFrequency` (thousandths of a
// hertz). A frequency outside 20 Hz..5 kHz, or a sound too short for two periods, gives none.
SamplePitchMarks findPitchMarks(const SoundBuffer& x, uint32_t nominalFrequency);

// The marks of a voice's sample whose sound, converted to 44100 Hz, is `x`: found the first
// time they are asked for and then kept in the sample (VoiceSample::pitchMarks).
const SamplePitchMarks& samplePitchMarks(const VoiceSample& sample, const SoundBuffer& x, uint32_t nominalFrequency);

}  // namespace kantor

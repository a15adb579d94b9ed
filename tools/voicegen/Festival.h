#pragma once
// Speaking syllables with the Festival diphone voices at a flat pitch: one Scheme
// script per voice, run once as a subprocess, writes one 16 kHz WAV file per request.
#include <string>
#include <vector>

#include "Phonetics.h"

namespace kantor::voicegen {

struct SpeakRequest {
    SyllablePlan plan;
    double f0 = 0.0;  // hertz, held flat over the whole syllable
    std::string wavPath;
};

// The Scheme text that makes every request with the voice (e.g. "voice_pc_diphone").
std::string festivalScript(const std::string& voiceFunction, const std::vector<SpeakRequest>& requests);

// Runs festival on the script at scriptPath; logPath receives its output.
// False with a message when festival is missing or fails.
bool runFestival(const std::string& scriptPath, const std::string& logPath, std::string& error);

// Highest pitch the diphone voices can be asked for; higher notes are raised afterwards.
inline constexpr double kFestivalMaxF0 = 470.0;

}  // namespace kantor::voicegen

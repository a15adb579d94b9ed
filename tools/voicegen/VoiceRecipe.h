#pragma once
// The built-in voices and the whole run for one voice: speak every syllable at every
// pitch, make the samples, measure them and write the voice file.
#include <string>
#include <vector>

namespace kantor::voicegen {

struct VoiceRecipe {
    std::string name;           // voice name and file title
    std::string comment;
    std::string festivalVoice;  // Scheme function that selects the diphone voice
    std::vector<int> notes;     // pitches sung, as note numbers (note 81 = the tuning)
    unsigned seed = 1;          // breath noise
    bool female = false;        // which Japanese vowel formants to aim at
};

// MaleVox (about 98 to 330 Hz) and FemaleVox (196 to 659 Hz), sung every three
// semitones, so that no note in their ranges is moved by more than a semitone and a half.
std::vector<VoiceRecipe> builtinVoices();

struct VoiceReport {
    std::string name;
    bool ok = false;
    std::string error;
    std::string path;  // the voice file written
    int samples = 0;
    double worstCents = 0.0;
    std::string worstCentsAt;
    double worstLevelDb = 0.0;
    std::string worstLevelAt;
    double longestLeadMs = 0.0;
    std::vector<std::string> notes;  // what the automark said about them
};

// Makes the voice from table rows firstRow..lastRow as the voice data maker would: a
// project of items (code, pitch, sound), marked by the maker's automark, saved as
// folder/voicegen/<name>/<name>.vxbprj and built into folder/<name>.vxb. With wav, the
// samples also go to folder/voicegen/<name>/*.wav with manifest.txt (markers placed by
// the generator). Festival's files go to folder/voicegen/<name>/spoken/.
VoiceReport makeVoice(const VoiceRecipe& recipe, const std::string& folder, int firstRow, int lastRow, bool wav);

}  // namespace kantor::voicegen

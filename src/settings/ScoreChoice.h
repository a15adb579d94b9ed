#pragma once
// The score windows' choices that the settings block has no field for: whether each score
// draws the pitch line (the curve every note is sung with, see song/PitchLine.h). They live in
// a small text file of their own beside the settings file ("score.conf", one line
// "pitch-line=on" or "pitch-line=off"), so that the binary settings block keeps the layout
// other programs read. Off unless the file says on.
#include <string>

namespace kantor {

struct ScoreChoice {
    static constexpr const char* kFileName = "score.conf";

    bool pitchLine = false;

    // A missing, unreadable or damaged file, or an unknown value, gives the default.
    static ScoreChoice load(const std::string& path);
    // Written whole through a temporary file. False with `error` set.
    bool save(const std::string& path, std::string* error = nullptr) const;
    // The file's text, and the choice of a text (the last valid line counts).
    std::string toText() const;
    static ScoreChoice fromText(const std::string& text);
};

}  // namespace kantor

#pragma once
// How the vocal is rendered: with the synthesis as designed (the sample resampled to the
// note, its formants moving with the pitch: the default) or with the formants kept
// (pitch-synchronous overlap-add). The choice lives in a small text file of its own beside
// the settings file ("render.conf", one line "formants=resample" or "formants=keep"), so
// that the binary settings block keeps the layout other programs read. A second line
// "expression=auto" (written only when it is on) gives notes without expression settings of
// their own natural vibrato, glides and attack ("表情をつける"); "expression=off" or none
// leaves them as written.
#include <string>

namespace kantor {

struct RenderChoice {
    static constexpr const char* kFileName = "render.conf";

    bool keepFormants = false;
    bool autoExpression = false;

    // A missing, unreadable or damaged file, or an unknown value, gives the default.
    static RenderChoice load(const std::string& path);
    // Written whole through a temporary file. False with `error` set.
    bool save(const std::string& path, std::string* error = nullptr) const;
    // The file's text, and the choice of a text (the last valid line counts).
    std::string toText() const;
    static RenderChoice fromText(const std::string& text);
    // "keep" or "resample", the words of the file and of the command line.
    static const char* formantsWord(bool keep) { return keep ? "keep" : "resample"; }
    // True with `keep` set for one of those words; false for anything else.
    static bool parseFormantsWord(const std::string& word, bool& keep);
    // "auto" or "off", likewise.
    static const char* expressionWord(bool on) { return on ? "auto" : "off"; }
    static bool parseExpressionWord(const std::string& word, bool& on);
};

}  // namespace kantor

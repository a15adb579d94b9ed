#include "settings/ScoreChoice.h"

#include "settings/ChoiceFile.h"

namespace kantor {

std::string ScoreChoice::toText() const { return std::string("pitch-line=") + (pitchLine ? "on" : "off") + "\n"; }

ScoreChoice ScoreChoice::fromText(const std::string& text) {
    ScoreChoice c;
    for (const std::string& line : choiceLines(text)) {
        if (line == "pitch-line=on") c.pitchLine = true;
        else if (line == "pitch-line=off") c.pitchLine = false;
    }
    return c;
}

ScoreChoice ScoreChoice::load(const std::string& path) { return fromText(readChoiceFile(path)); }

bool ScoreChoice::save(const std::string& path, std::string* error) const { return writeChoiceFile(path, toText(), error); }

}  // namespace kantor

#include "settings/RenderChoice.h"

#include "settings/ChoiceFile.h"

namespace kantor {

bool RenderChoice::parseFormantsWord(const std::string& word, bool& keep) {
    if (word == "keep") {
        keep = true;
        return true;
    }
    if (word == "resample") {
        keep = false;
        return true;
    }
    return false;
}

std::string RenderChoice::toText() const { return std::string("formants=") + formantsWord(keepFormants) + "\n"; }

RenderChoice RenderChoice::fromText(const std::string& text) {
    RenderChoice c;
    for (const std::string& line : choiceLines(text)) {
        const std::string key = "formants=";
        bool keep = false;
        if (line.rfind(key, 0) == 0 && parseFormantsWord(line.substr(key.size()), keep)) c.keepFormants = keep;
    }
    return c;
}

RenderChoice RenderChoice::load(const std::string& path) { return fromText(readChoiceFile(path)); }

bool RenderChoice::save(const std::string& path, std::string* error) const { return writeChoiceFile(path, toText(), error); }

}  // namespace kantor

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

bool RenderChoice::parseExpressionWord(const std::string& word, bool& on) {
    if (word == "auto" || word == "off") {
        on = word == "auto";
        return true;
    }
    return false;
}

std::string RenderChoice::toText() const {
    std::string text = std::string("formants=") + formantsWord(keepFormants) + "\n";
    if (autoExpression) text += "expression=auto\n";
    return text;
}

RenderChoice RenderChoice::fromText(const std::string& text) {
    RenderChoice c;
    for (const std::string& line : choiceLines(text)) {
        const std::string key = "formants=";
        bool keep = false;
        if (line.rfind(key, 0) == 0 && parseFormantsWord(line.substr(key.size()), keep)) c.keepFormants = keep;
        const std::string expressionKey = "expression=";
        bool on = false;
        if (line.rfind(expressionKey, 0) == 0 && parseExpressionWord(line.substr(expressionKey.size()), on))
            c.autoExpression = on;
    }
    return c;
}

RenderChoice RenderChoice::load(const std::string& path) { return fromText(readChoiceFile(path)); }

bool RenderChoice::save(const std::string& path, std::string* error) const { return writeChoiceFile(path, toText(), error); }

}  // namespace kantor

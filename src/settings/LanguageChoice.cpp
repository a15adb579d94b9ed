#include "settings/LanguageChoice.h"

#include "settings/ChoiceFile.h"

namespace kantor {

std::string LanguageChoice::toText() const { return std::string("language=") + languageWord(language) + "\n"; }

LanguageChoice LanguageChoice::fromText(const std::string& text) {
    LanguageChoice c;
    const std::string key = "language=";
    for (const std::string& line : choiceLines(text)) {
        Language l = Language::Japanese;
        if (line.rfind(key, 0) == 0 && parseLanguage(line.substr(key.size()), l)) c.language = l;
    }
    return c;
}

LanguageChoice LanguageChoice::load(const std::string& path, std::string* problem) {
    return fromText(readChoiceFile(path, problem));
}

bool LanguageChoice::save(const std::string& path, std::string* error) const {
    return writeChoiceFile(path, toText(), error);
}

std::string LanguageChoice::pathBeside(const std::string& settingsFilePath) {
    const size_t slash = settingsFilePath.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : settingsFilePath.substr(0, slash);
    return folder + "/" + kFileName;
}

}  // namespace kantor

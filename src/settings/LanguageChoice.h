#pragma once
// The interface language the user chose: Japanese (the default, in every locale) or English.
// Kept in a small text file of its own beside the settings file ("language.conf", one line
// "language=en" or "language=ja"), so that the binary settings block keeps the layout other
// programs read. The desktop program's --lang and the command line's --lang override it for
// one run.
#include <string>

#include "base/Translation.h"

namespace kantor {

struct LanguageChoice {
    static constexpr const char* kFileName = "language.conf";

    Language language = Language::Japanese;

    // A missing, unreadable or damaged file, or an unknown value, gives Japanese. `problem`
    // (when given) says why a file that is there was not taken, naming the file.
    static LanguageChoice load(const std::string& path, std::string* problem = nullptr);
    // Written whole through a temporary file. False with `error` set.
    bool save(const std::string& path, std::string* error = nullptr) const;
    std::string toText() const;
    static LanguageChoice fromText(const std::string& text);
    // The file's path beside the settings file of that path.
    static std::string pathBeside(const std::string& settingsFilePath);
};

}  // namespace kantor

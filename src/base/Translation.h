#pragma once
// The interface language. Japanese is the program's own language and the default in every
// locale; English can be chosen. The core keeps making its texts in Japanese (stored files,
// tests and other programs rely on them); what it shows the user is turned into the chosen
// language where it is shown, with the English catalog that the build makes from
// translations/kantor_core_en.ts.
//
// Texts of the core that the user may see are marked with KANTOR_TEXT, so that the translation
// tools (lupdate) list them in that file.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#define KANTOR_TEXT(text) text

namespace kantor {

enum class Language { Japanese, English };

// The language chosen for this process (Japanese until set).
void setLanguage(Language language);
Language language();

// "ja" and "en" (also "japanese", "english", any case). False for anything else.
bool parseLanguage(std::string_view word, Language& language);
const char* languageWord(Language language);

// A text the core made, in the chosen language. With Japanese chosen it is `text` itself.
// With English, a text of the catalog is replaced whole; a text made from a catalog text
// with printf-style fields ("Voice(%s)が見つかりません。") keeps what was filled in; a text
// of several lines is taken line by line when it is not known whole; a line "name: text"
// with a known text after the name keeps the name. Unknown texts stay.
std::string translated(std::string_view text);
// The same in a given language (for tests and for windows that show both).
std::string translatedTo(Language language, std::string_view text);

// A message box caption in the chosen language. The captions "Error", "ERROR", "error" and
// "Warning" are the program's own (callers and stored tests compare them); with Japanese
// chosen they are shown as "エラー" and "警告", every other caption as translated() gives it.
std::string translatedCaption(std::string_view caption);

// One entry of a catalog: the Japanese text and its English.
struct CatalogEntry {
    const char* source;
    const char* translation;
};

// The lookup of translated(), on any catalog (tests give their own).
class Catalog {
public:
    Catalog(const CatalogEntry* entries, size_t count);
    ~Catalog();
    Catalog(const Catalog&) = delete;
    Catalog& operator=(const Catalog&) = delete;
    std::string translate(std::string_view text) const;
    // Whether the catalog holds `text` itself (as a whole text or a template) with a translation.
    bool contains(std::string_view text) const;
    // The English catalog built into the program.
    static const Catalog& english();

private:
    struct Data;
    std::unique_ptr<Data> data_;
    bool translateLine(std::string_view text, std::string& out) const;
    bool translateText(std::string_view text, std::string& out) const;
};

}  // namespace kantor

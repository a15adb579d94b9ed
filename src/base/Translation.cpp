#include "base/Translation.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <unordered_map>
#include <vector>

namespace kantor {

// Made by the build from translations/kantor_core_en.ts (kantor-make-catalog).
extern const CatalogEntry kEnglishCatalog[];
extern const size_t kEnglishCatalogSize;

namespace {

std::atomic<Language> chosen{Language::Japanese};

// A printf-style text cut into its fixed pieces and its fields: pieces.size() == fields.size() + 1.
struct Pattern {
    std::vector<std::string> pieces;
    std::vector<char> fields;  // the conversion letter of each field ('d', 's', ...)
};

bool isConversion(char c) { return std::string_view("diouxXeEfFgGcsp").find(c) != std::string_view::npos; }

// False when the text has no field (or a broken one).
bool cutPattern(std::string_view text, Pattern& p) {
    p.pieces.assign(1, "");
    p.fields.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            p.pieces.back() += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '%') {
            p.pieces.back() += '%';
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < text.size() && std::string_view("-+ #0123456789.lhzjt").find(text[j]) != std::string_view::npos) ++j;
        if (j >= text.size() || !isConversion(text[j])) return false;
        p.fields.push_back(text[j]);
        p.pieces.emplace_back();
        i = j;
    }
    return !p.fields.empty();
}

bool hasNonAscii(const Pattern& p) {
    for (const std::string& piece : p.pieces)
        for (char c : piece)
            if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

bool fits(char field, std::string_view value) {
    if (field == 's' || field == 'c' || field == 'p') return true;
    if (value.empty()) return false;
    for (char c : value)
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != '-' && c != '+' && c != '.' && c != ' ') return false;
    return true;
}

// Matches `text` against the pattern from piece k at position pos, filling `values`.
bool matchFrom(const Pattern& p, std::string_view text, size_t k, size_t pos, std::vector<std::string_view>& values) {
    // Here pieces[k] has been matched and ends at pos; field k comes next.
    if (k == p.fields.size()) return pos == text.size();
    const std::string& next = p.pieces[k + 1];
    const bool last = k + 1 == p.fields.size();
    if (last) {
        if (text.size() - pos < next.size() || text.substr(text.size() - next.size()) != next) return false;
        const std::string_view value = text.substr(pos, text.size() - next.size() - pos);
        if (!fits(p.fields[k], value)) return false;
        values.push_back(value);
        return true;
    }
    for (size_t at = text.find(next, pos); at != std::string_view::npos; at = text.find(next, at + 1)) {
        const std::string_view value = text.substr(pos, at - pos);
        if (!fits(p.fields[k], value)) continue;
        values.push_back(value);
        if (matchFrom(p, text, k + 1, at + next.size(), values)) return true;
        values.pop_back();
        if (next.empty()) break;
    }
    return false;
}

bool match(const Pattern& p, std::string_view text, std::vector<std::string_view>& values) {
    values.clear();
    if (text.substr(0, p.pieces[0].size()) != p.pieces[0]) return false;
    return matchFrom(p, text, 0, p.pieces[0].size(), values);
}

}  // namespace

struct Catalog::Data {
    std::unordered_map<std::string_view, std::string_view> whole;
    struct Template {
        Pattern source;
        Pattern translation;
    };
    std::vector<Template> templates;
};

Catalog::Catalog(const CatalogEntry* entries, size_t count) : data_(std::make_unique<Data>()) {
    for (size_t i = 0; i < count; ++i) {
        const std::string_view source = entries[i].source ? entries[i].source : "";
        const std::string_view translation = entries[i].translation ? entries[i].translation : "";
        if (source.empty() || translation.empty()) continue;
        data_->whole.emplace(source, translation);
        Data::Template t;
        // A template is used only when both sides have the same fields in the same order.
        // Its fixed text must hold some Japanese: a template such as "%s: %s" would
        // otherwise take texts that are no message of the catalog.
        if (cutPattern(source, t.source) && cutPattern(translation, t.translation) &&
            t.source.fields == t.translation.fields && hasNonAscii(t.source))
            data_->templates.push_back(std::move(t));
    }
    // Longer fixed text first, so that the most specific template wins.
    std::stable_sort(data_->templates.begin(), data_->templates.end(), [](const Data::Template& a, const Data::Template& b) {
        size_t la = 0, lb = 0;
        for (const auto& s : a.source.pieces) la += s.size();
        for (const auto& s : b.source.pieces) lb += s.size();
        return la > lb;
    });
}

Catalog::~Catalog() = default;

bool Catalog::translateLine(std::string_view text, std::string& out) const {
    if (translateText(text, out)) return true;
    // "name: text" -- a file, a voice or a command named before a text of the catalog (as the
    // readers and the voice folder's listing put them): the name stays as it is.
    for (size_t at = text.find(": "); at != std::string_view::npos; at = text.find(": ", at + 1)) {
        if (text.substr(0, at).find('\n') != std::string_view::npos) break;  // a name has one line
        std::string rest;
        if (at + 2 < text.size() && translateText(text.substr(at + 2), rest)) {
            out.assign(text.substr(0, at + 2));
            out += rest;
            return true;
        }
    }
    // "name (text)": a file named before a known text in brackets (why a file cannot be read).
    if (text.size() > 3 && text.back() == ')' && text.find('\n') == std::string_view::npos) {
        for (size_t at = text.find(" ("); at != std::string_view::npos; at = text.find(" (", at + 1)) {
            std::string inner;
            if (translateText(text.substr(at + 2, text.size() - at - 3), inner)) {
                out.assign(text.substr(0, at + 2));
                out += inner;
                out += ')';
                return true;
            }
        }
    }
    return false;
}

bool Catalog::translateText(std::string_view text, std::string& out) const {
    if (auto it = data_->whole.find(text); it != data_->whole.end()) {
        out = it->second;
        return true;
    }
    std::vector<std::string_view> values;
    for (const Data::Template& t : data_->templates) {
        if (!match(t.source, text, values)) continue;
        out = t.translation.pieces[0];
        for (size_t i = 0; i < values.size(); ++i) {
            // A value that is itself a text of the catalog ("part 1, measure 3" before a
            // reason) is shown translated too; values are shorter than the text, so this ends.
            std::string inner;
            const bool wide = std::any_of(values[i].begin(), values[i].end(), [](char c) { return (c & 0x80) != 0; });
            if (wide && values[i].size() < text.size() && translateLine(values[i], inner)) out += inner;
            else out += values[i];
            out += t.translation.pieces[i + 1];
        }
        return true;
    }
    return false;
}

std::string Catalog::translate(std::string_view text) const {
    std::string out;
    if (text.empty() || translateLine(text, out)) return text.empty() ? std::string() : out;
    if (text.find('\n') == std::string_view::npos) return std::string(text);
    // Several texts joined by line breaks: each line on its own, and a line that is not
    // known alone is tried with the lines after it (a text of the catalog may span lines).
    std::vector<std::string_view> lines;
    for (size_t start = 0;;) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    std::string result;
    for (size_t i = 0; i < lines.size();) {
        size_t used = 0;
        std::string part;
        for (size_t n = lines.size() - i; n >= 1 && used == 0; --n) {
            const char* begin = lines[i].data();
            const char* end = lines[i + n - 1].data() + lines[i + n - 1].size();
            if (translateLine(std::string_view(begin, static_cast<size_t>(end - begin)), part)) used = n;
        }
        if (i > 0) result += '\n';
        if (used == 0) {
            result += lines[i];
            used = 1;
        } else {
            result += part;
        }
        i += used;
    }
    return result;
}

bool Catalog::contains(std::string_view text) const { return data_->whole.count(text) != 0; }

const Catalog& Catalog::english() {
    static const Catalog catalog(kEnglishCatalog, kEnglishCatalogSize);
    return catalog;
}

void setLanguage(Language language) { chosen.store(language); }
Language language() { return chosen.load(); }

bool parseLanguage(std::string_view word, Language& language) {
    std::string w;
    for (char c : word) w += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (w == "ja" || w == "japanese" || w == "jp") {
        language = Language::Japanese;
        return true;
    }
    if (w == "en" || w == "english") {
        language = Language::English;
        return true;
    }
    return false;
}

const char* languageWord(Language language) { return language == Language::English ? "en" : "ja"; }

std::string translatedTo(Language language, std::string_view text) {
    if (language == Language::Japanese) return std::string(text);
    return Catalog::english().translate(text);
}

std::string translated(std::string_view text) { return translatedTo(language(), text); }

std::string translatedCaption(std::string_view caption) {
    if (language() == Language::Japanese) {
        if (caption == "Error" || caption == "ERROR" || caption == "error") return KANTOR_TEXT("エラー");
        if (caption == "Warning") return KANTOR_TEXT("警告");
    }
    return translated(caption);
}

}  // namespace kantor

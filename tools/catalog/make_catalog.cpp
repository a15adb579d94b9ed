// kantor-make-catalog: turns Qt translation files (.ts) into the C++ table of the core's
// English catalog (base/Translation.h), so that the core and the command line, which have no
// Qt, show the same English as the windows.
// Usage: kantor-make-catalog OUT.cpp FILE.ts...
// Only finished translations are taken. A translation whose printf fields differ from its
// source's is refused: filled in at run time, it would read the wrong values.
#include <pugixml.hpp>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

std::string fields(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        if (i + 1 < text.size() && text[i + 1] == '%') {
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < text.size() && std::string("-+ #0123456789.lhzjt").find(text[j]) != std::string::npos) ++j;
        out += text.substr(i, j + 1 - i);
        i = j;
    }
    return out;
}

std::string literal(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20 || c == 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kantor-make-catalog OUT.cpp FILE.ts...\n");
        return 2;
    }
    std::map<std::string, std::string> entries;
    int errors = 0;
    for (int i = 2; i < argc; ++i) {
        pugi::xml_document doc;
        const pugi::xml_parse_result r = doc.load_file(argv[i]);
        if (!r) {
            std::fprintf(stderr, "%s: %s at offset %td\n", argv[i], r.description(), r.offset);
            return 1;
        }
        for (pugi::xml_node context : doc.child("TS").children("context")) {
            for (pugi::xml_node message : context.children("message")) {
                const std::string source = message.child("source").text().get();
                pugi::xml_node t = message.child("translation");
                const std::string type = t.attribute("type").value();
                const std::string translation = t.text().get();
                if (source.empty() || translation.empty() || !type.empty()) continue;
                if (fields(source) != fields(translation)) {
                    std::fprintf(stderr, "%s: the fields of \"%s\" (%s) and of its translation \"%s\" (%s) differ\n",
                                 argv[i], source.c_str(), fields(source).c_str(), translation.c_str(),
                                 fields(translation).c_str());
                    ++errors;
                    continue;
                }
                entries.emplace(source, translation);
            }
        }
    }
    if (errors > 0) return 1;
    std::string out =
        "// Made by kantor-make-catalog from the translation files; do not edit.\n"
        "#include \"base/Translation.h\"\n\nnamespace kantor {\n\n";
    if (entries.empty()) {
        out += "extern const CatalogEntry kEnglishCatalog[] = {{nullptr, nullptr}};\nextern const size_t kEnglishCatalogSize = 0;\n";
    } else {
        out += "extern const CatalogEntry kEnglishCatalog[] = {\n";
        for (const auto& [source, translation] : entries) out += "    {" + literal(source) + ", " + literal(translation) + "},\n";
        out += "};\nextern const size_t kEnglishCatalogSize = " + std::to_string(entries.size()) + ";\n";
    }
    out += "\n}  // namespace kantor\n";
    std::ofstream f(argv[1], std::ios::binary | std::ios::trunc);
    f << out;
    return f ? 0 : 1;
}

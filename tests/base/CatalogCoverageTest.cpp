// The core's shown texts against the English catalog the build made: every text marked
// KANTOR_TEXT in the sources is in the catalog (someone forgot scripts/update-translations.sh
// otherwise), no message in Japanese is left unmarked, and the files whose messages went
// through the catalog hold no English message of their own again.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/Translation.h"

namespace kantor {
namespace {

namespace fs = std::filesystem;

struct Literal {
    std::string text;    // the literal's characters with the escapes resolved
    std::size_t line = 0;
    bool marked = false;  // inside KANTOR_TEXT( ... )
    std::string before;   // the code just before the literal (for `fail(`, `error = `)
};

// The string literals of a C++ source, comments skipped; adjacent literals inside one
// KANTOR_TEXT( ... ) are joined, as the compiler joins them.
std::vector<Literal> literalsOf(const std::string& src) {
    std::vector<Literal> out;
    std::size_t line = 1;
    int markDepth = -1;  // the parenthesis depth of an open KANTOR_TEXT(, or -1
    int depth = 0;
    bool joinNext = false;
    std::string code;  // the code since the last literal, comments left out
    for (std::size_t i = 0; i < src.size();) {
        const char c = src[i];
        if (c == '\n') ++line;
        if (c == '/' && i + 1 < src.size() && src[i + 1] == '/') {
            while (i < src.size() && src[i] != '\n') ++i;
            continue;
        }
        if (c == '/' && i + 1 < src.size() && src[i + 1] == '*') {
            const std::size_t end = src.find("*/", i + 2);
            for (std::size_t k = i; k < std::min(end, src.size()); ++k) line += src[k] == '\n';
            i = end == std::string::npos ? src.size() : end + 2;
            continue;
        }
        if (c == '\'') {  // a character literal (or a digit separator, which is harmless here)
            std::size_t k = i + 1;
            while (k < src.size() && src[k] != '\'' && src[k] != '\n') k += src[k] == '\\' ? 2 : 1;
            i = k + 1;
            continue;
        }
        if (c == 'R' && i + 2 < src.size() && src[i + 1] == '"') {  // a raw string: skipped
            const std::size_t open = src.find('(', i);
            const std::string close = ")" + src.substr(i + 2, open - i - 2) + "\"";
            const std::size_t end = src.find(close, open);
            i = end == std::string::npos ? src.size() : end + close.size();
            continue;
        }
        if (c == '"') {
            Literal l;
            l.line = line;
            l.marked = markDepth >= 0;
            l.before = code.size() > 40 ? code.substr(code.size() - 40) : code;
            std::size_t k = i + 1;
            for (; k < src.size() && src[k] != '"'; ++k) {
                if (src[k] == '\\' && k + 1 < src.size()) {
                    const char e = src[++k];
                    l.text += e == 'n' ? '\n' : e == 't' ? '\t' : e;
                } else {
                    l.text += src[k];
                }
            }
            i = k + 1;
            if (joinNext && !out.empty() && out.back().marked && l.marked) {
                out.back().text += l.text;
            } else {
                out.push_back(std::move(l));
            }
            joinNext = true;
            code.clear();
            continue;
        }
        if (!std::isspace(static_cast<unsigned char>(c))) joinNext = false;
        if (c == '(') {
            if (code.size() >= 11 && code.compare(code.size() - 11, 11, "KANTOR_TEXT") == 0 && markDepth < 0)
                markDepth = depth;
            ++depth;
        } else if (c == ')') {
            --depth;
            if (depth == markDepth) markDepth = -1;
        }
        code += c;
        ++i;
    }
    return out;
}

bool hasJapanese(const std::string& s) {
    for (std::size_t i = 0; i + 2 < s.size(); ++i) {
        const auto b0 = static_cast<unsigned char>(s[i]), b1 = static_cast<unsigned char>(s[i + 1]);
        if (b0 == 0xE3 && b1 >= 0x81 && b1 <= 0x83) return true;
        if (b0 >= 0xE4 && b0 <= 0xE9) return true;
        if (b0 == 0xEF && (b1 == 0xBD || b1 == 0xBE)) return true;
    }
    return false;
}

// A Japanese message: a sentence (。 ？ ！) or a "…ません" statement.
bool isJapaneseMessage(const std::string& s) {
    if (!hasJapanese(s)) return false;
    for (const char* end : {"。", "？", "！", "ません"})
        if (s.find(end) != std::string::npos) return true;
    return false;
}

// An English message: at least two words of letters, handed to fail() or put in an error text.
bool isEnglishMessage(const Literal& l) {
    int words = 0;
    bool inWord = false;
    for (char c : l.text) {
        const bool letter = std::isalpha(static_cast<unsigned char>(c));
        if (letter && !inWord) ++words;
        inWord = letter;
    }
    if (words < 2 || hasJapanese(l.text)) return false;
    std::string b = l.before;
    while (!b.empty() && (std::isspace(static_cast<unsigned char>(b.back())) || b.back() == '+')) b.pop_back();
    for (const char* lead : {"fail(", "error =", "why =", "error=", "fail(std::string(", "why_ ="})
        if (b.size() >= std::strlen(lead) && b.compare(b.size() - std::strlen(lead), std::strlen(lead), lead) == 0)
            return true;
    return false;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<fs::path> coreSources() {
    std::vector<fs::path> files;
    const fs::path src = fs::path(KANTOR_SOURCE_DIR) / "src";
    for (const char* dir : {"base", "sound", "midi", "song", "voice", "synth", "audio", "plugins", "voicemaker",
                            "settings", "platform", "import", "hub", "cli"}) {
        if (!fs::is_directory(src / dir)) continue;
        for (const auto& e : fs::recursive_directory_iterator(src / dir)) {
            const std::string ext = e.path().extension().string();
            if (e.is_regular_file() && (ext == ".cpp" || ext == ".h")) files.push_back(e.path());
        }
    }
    return files;
}

TEST(CatalogCoverage, TheScannerFindsMarkedAndUnmarkedTexts) {
    const std::string src =
        "// \"コメントです。\"\n"
        "const char* a = KANTOR_TEXT(\"見つかりません。\");\n"
        "const char* b = KANTOR_TEXT(\"一行目\\n\"\n  \"二行目\");\n"
        "bool f() { return fail(std::string(\"cannot read\") + x); }\n"
        "auto c = \"読めません。\"; char q = '\"';\n";
    const std::vector<Literal> l = literalsOf(src);
    ASSERT_EQ(l.size(), 4u);
    EXPECT_TRUE(l[0].marked);
    EXPECT_EQ(l[0].text, "見つかりません。");
    EXPECT_EQ(l[1].text, "一行目\n二行目");
    EXPECT_TRUE(isEnglishMessage(l[2]));
    EXPECT_FALSE(l[3].marked);
    EXPECT_TRUE(isJapaneseMessage(l[3].text));
    EXPECT_EQ(l[3].line, 6u);
}

// Every marked text has its English; no Japanese message goes unmarked.
TEST(CatalogCoverage, EveryMarkedTextOfTheCoreIsInTheCatalogAndNoMessageIsUnmarked) {
    const Catalog& english = Catalog::english();
    int marked = 0;
    for (const fs::path& p : coreSources()) {
        for (const Literal& l : literalsOf(readFile(p))) {
            const std::string where = p.filename().string() + ":" + std::to_string(l.line) + ": \"" + l.text + "\"";
            if (l.marked) {
                ++marked;
                EXPECT_TRUE(english.contains(l.text)) << where << " is not in translations/kantor_core_en.ts "
                                                      << "(run scripts/update-translations.sh and translate it)";
            } else {
                EXPECT_FALSE(isJapaneseMessage(l.text)) << where << " is shown to the user but not marked KANTOR_TEXT";
            }
        }
    }
    EXPECT_GT(marked, 150);
}

// The readers and commands whose messages went through the catalog: none of them makes an
// English message of its own again (the English lives in the catalog).
TEST(CatalogCoverage, TheCataloguedFilesHoldNoEnglishMessage) {
    const fs::path src = fs::path(KANTOR_SOURCE_DIR) / "src";
    for (const char* file : {"import/BankImporter.cpp", "import/BankWave.cpp", "hub/SongImport.cpp", "base/FileIO.cpp"}) {
        for (const Literal& l : literalsOf(readFile(src / file)))
            EXPECT_FALSE(isEnglishMessage(l)) << file << ":" << l.line << ": \"" << l.text << "\"";
    }
}

}  // namespace
}  // namespace kantor

// The interface language kept in language.conf beside the settings file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "settings/LanguageChoice.h"

namespace kantor {
namespace {

TEST(LanguageChoice, ReadsTheLastValidLineAndFallsBackToJapanese) {
    EXPECT_EQ(LanguageChoice::fromText("").language, Language::Japanese);
    EXPECT_EQ(LanguageChoice::fromText("language=en\n").language, Language::English);
    EXPECT_EQ(LanguageChoice::fromText("language=EN  \r\n").language, Language::English);
    EXPECT_EQ(LanguageChoice::fromText("language=en\nlanguage=fr\n").language, Language::English);
    EXPECT_EQ(LanguageChoice::fromText("language=en\nlanguage=ja\n").language, Language::Japanese);
    EXPECT_EQ(LanguageChoice::fromText("lang=en\n").language, Language::Japanese);
    LanguageChoice c;
    c.language = Language::English;
    EXPECT_EQ(LanguageChoice::fromText(c.toText()).language, Language::English);
    EXPECT_EQ(LanguageChoice::pathBeside("/home/u/.config/Ardlow Software/Kantor/Kantor.ini"),
              "/home/u/.config/Ardlow Software/Kantor/language.conf");
}

TEST(LanguageChoice, SavedWholeAndReadBack) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kantor-language-test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string path = LanguageChoice::pathBeside((dir / "Kantor.ini").string());
    EXPECT_EQ(LanguageChoice::load(path).language, Language::Japanese);  // missing file
    LanguageChoice c;
    c.language = Language::English;
    ASSERT_TRUE(c.save(path));
    EXPECT_EQ(LanguageChoice::load(path).language, Language::English);
    // A file far too large to be ours is not read.
    {
        std::ofstream f(path, std::ios::trunc);
        f << "language=en\n" << std::string(10000, 'x');
    }
    EXPECT_EQ(LanguageChoice::load(path).language, Language::Japanese);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kantor

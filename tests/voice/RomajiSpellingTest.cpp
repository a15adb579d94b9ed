#include <gtest/gtest.h>

#include <set>
#include <string>

#include "voice/RomajiSpelling.h"
#include "voice/SyllableTable.h"

namespace kantor {
namespace {

struct Case {
    const char* typed;
    const char* code;
};

void expectSpellings(std::initializer_list<Case> cases) {
    for (const Case& c : cases) EXPECT_EQ(tableSpelling(c.typed), c.code) << "typed " << c.typed;
}

TEST(RomajiSpelling, HepburnSpellingsBecomeTheTableCodes) {
    expectSpellings({{"SHI", "SI"}, {"CHI", "TI"}, {"TSU", "TU"}, {"FU", "HU"}, {"JI", "ZI"}});
    expectSpellings({{"SHA", "SYA"}, {"SHU", "SYU"}, {"SHE", "SYE"}, {"SHO", "SYO"}});
    expectSpellings({{"CHA", "CYA"}, {"CHU", "CYU"}, {"CHE", "CYE"}, {"CHO", "CYO"}});
    expectSpellings({{"JA", "ZYA"}, {"JU", "ZYU"}, {"JE", "ZYE"}, {"JO", "ZYO"}});
}

TEST(RomajiSpelling, OtherCommonSpellingsBecomeTheTableCodes) {
    // ぢ and づ told apart from じ and ず.
    expectSpellings({{"DJI", "DI"}, {"DZI", "DI"}, {"DZU", "DU"}});
    // Kunrei-shiki ち-glides and the keyboard's JY-.
    expectSpellings({{"TYA", "CYA"}, {"TYU", "CYU"}, {"TYE", "CYE"}, {"TYO", "CYO"}});
    expectSpellings({{"JYA", "ZYA"}, {"JYU", "ZYU"}, {"JYE", "ZYE"}, {"JYO", "ZYO"}});
    // ん doubled as on a keyboard, or with the apostrophe Hepburn puts before a vowel (also
    // the typographic one).
    expectSpellings({{"NN", "N"}, {"N'", "N"}, {"n'", "N"}, {"N\xE2\x80\x99", "N"}, {"n\xE2\x80\x99", "N"}});
}

TEST(RomajiSpelling, LetterCaseDoesNotMatterAndTheAnswerIsUpperCase) {
    expectSpellings({{"shi", "SI"}, {"Shi", "SI"}, {"sHi", "SI"}, {"tsu", "TU"}, {"Chu", "CYU"}, {"nn", "N"},
                     {"ka", "KA"}, {"kya", "KYA"}});
}

TEST(RomajiSpelling, EveryCodeOfTheTableKeepsItsMeaning) {
    for (const SyllableRow& row : syllableTable()) {
        const std::string code(row.code);
        EXPECT_EQ(tableSpelling(code), code);
        std::string lower = code;
        for (char& ch : lower) ch = static_cast<char>(ch - 'A' + 'a');
        EXPECT_EQ(tableSpelling(lower), code);
    }
    // The ones that other romanizations read differently stay what the table says:
    // TI ち (not てぃ), DI ぢ and DU づ (not でぃ, どぅ), HU ふ, ZU ず, O お (Hepburn's を), WO を.
    expectSpellings({{"TI", "TI"}, {"DI", "DI"}, {"DU", "DU"}, {"HU", "HU"}, {"ZU", "ZU"}, {"O", "O"}, {"WO", "WO"}});
}

TEST(RomajiSpelling, EveryMappedSpellingNamesATableCode) {
    std::set<std::string> codes;
    for (const SyllableRow& row : syllableTable()) codes.emplace(row.code);
    for (const char* typed : {"SHI", "CHI", "TSU", "FU", "JI", "SHA", "SHU", "SHE", "SHO", "CHA", "CHU", "CHE",
                              "CHO", "JA", "JU", "JE", "JO", "DJI", "DZI", "DZU", "TYA", "TYU", "TYE", "TYO", "JYA",
                              "JYU", "JYE", "JYO", "NN", "N'"}) {
        EXPECT_FALSE(codes.contains(typed)) << typed << " is a code itself";
        EXPECT_TRUE(codes.contains(tableSpelling(typed))) << typed << " -> " << tableSpelling(typed);
    }
}

TEST(RomajiSpelling, OtherTextComesBackAsTyped) {
    // Kana and other non-ASCII text, and the empty text, are not touched.
    expectSpellings({{"し", "し"}, {"シ", "シ"}, {"ｼ", "ｼ"}, {"", ""}, {"N\xE2\x80\x98", "N\xE2\x80\x98"}});
    // Letters that spell no alternative only change case; nothing is guessed.
    expectSpellings({{"xyz", "XYZ"}, {"M", "M"}, {"VU", "VU"}, {"SHII", "SHII"}, {"CH", "CH"}, {"TSHI", "TSHI"},
                     {"N-", "N-"}, {"-", "-"}});
    // Only whole syllables are spelled: run-together romaji is not split.
    expectSpellings({{"SHIRANAI", "SHIRANAI"}, {"SHI RA", "SHI RA"}});
}

}  // namespace
}  // namespace kantor

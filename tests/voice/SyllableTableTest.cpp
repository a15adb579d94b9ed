#include <gtest/gtest.h>

#include <map>
#include <set>

#include "base/Codepage.h"
#include "voice/SyllableTable.h"

namespace kantor {
namespace {

TEST(SyllableTable, RowsAtTheEdgesAndInTheMiddle) {
    ASSERT_EQ(syllableTable().size(), 119u);
    EXPECT_EQ(syllableRow(0)->code, "A");
    EXPECT_EQ(syllableRow(0)->kana, "あ");
    EXPECT_EQ(syllableRow(50)->code, "N");
    EXPECT_EQ(syllableRow(50)->kana, "ん");
    EXPECT_EQ(syllableRow(76)->kana, "ふぁ");
    EXPECT_EQ(syllableRow(83)->code, "KYA");
    EXPECT_EQ(syllableRow(83)->kana, "きゃ");
    EXPECT_EQ(syllableRow(118)->code, "PYO");
    EXPECT_EQ(syllableRow(118)->kana, "ぴょ");
    EXPECT_EQ(syllableRow(-1), nullptr);
    EXPECT_EQ(syllableRow(119), nullptr);
}

TEST(SyllableTable, KeepsItsRepetitions) {
    std::map<std::string_view, std::vector<int>> byCode;
    std::map<std::string_view, std::vector<int>> byKana;
    for (int i = 0; i < 119; ++i) {
        byCode[syllableRow(i)->code].push_back(i);
        byKana[syllableRow(i)->kana].push_back(i);
    }
    EXPECT_EQ(byCode["WI"], (std::vector<int>{46, 80}));
    EXPECT_EQ(byCode["WE"], (std::vector<int>{48, 81}));
    EXPECT_EQ(byCode["WO"], (std::vector<int>{49, 82}));
    EXPECT_EQ(byCode.size(), 116u);  // three codes twice
    EXPECT_EQ(byKana["い"], (std::vector<int>{1, 36, 46}));
    EXPECT_EQ(byKana["う"], (std::vector<int>{2, 47}));
    EXPECT_EQ(byKana["え"], (std::vector<int>{3, 38, 48}));
}

TEST(SyllableTable, FitsTheFileFields) {
    for (const SyllableRow& row : syllableTable()) {
        ASSERT_GE(row.code.size(), 1u);
        ASSERT_LE(row.code.size(), 3u);
        for (char c : row.code) EXPECT_TRUE(c >= 'A' && c <= 'Z') << row.code;
        bool exact = false;
        std::string sjis = utf8ToCp932(row.kana, &exact);
        EXPECT_TRUE(exact) << row.code;
        EXPECT_TRUE(sjis.size() == 2 || sjis.size() == 4) << row.code;
        EXPECT_LT(sjis.size(), kSyllableKanaFieldSize);
    }
}

}  // namespace
}  // namespace kantor

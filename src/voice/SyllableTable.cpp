#include "voice/SyllableTable.h"

namespace kantor {
namespace {

constexpr std::array<SyllableRow, kSyllableCount> kTable{{
    {"あ", "A"}, {"い", "I"}, {"う", "U"}, {"え", "E"}, {"お", "O"}, {"か", "KA"}, {"き", "KI"},
    {"く", "KU"}, {"け", "KE"}, {"こ", "KO"}, {"さ", "SA"}, {"し", "SI"}, {"す", "SU"}, {"せ", "SE"},
    {"そ", "SO"}, {"た", "TA"}, {"ち", "TI"}, {"つ", "TU"}, {"て", "TE"}, {"と", "TO"}, {"な", "NA"},
    {"に", "NI"}, {"ぬ", "NU"}, {"ね", "NE"}, {"の", "NO"}, {"は", "HA"}, {"ひ", "HI"}, {"ふ", "HU"},
    {"へ", "HE"}, {"ほ", "HO"}, {"ま", "MA"}, {"み", "MI"}, {"む", "MU"}, {"め", "ME"}, {"も", "MO"},
    {"や", "YA"}, {"い", "YI"}, {"ゆ", "YU"}, {"え", "YE"}, {"よ", "YO"}, {"ら", "RA"}, {"り", "RI"},
    {"る", "RU"}, {"れ", "RE"}, {"ろ", "RO"}, {"わ", "WA"}, {"い", "WI"}, {"う", "WU"}, {"え", "WE"},
    {"を", "WO"}, {"ん", "N"}, {"が", "GA"}, {"ぎ", "GI"}, {"ぐ", "GU"}, {"げ", "GE"}, {"ご", "GO"},
    {"ざ", "ZA"}, {"じ", "ZI"}, {"ず", "ZU"}, {"ぜ", "ZE"}, {"ぞ", "ZO"}, {"だ", "DA"}, {"ぢ", "DI"},
    {"づ", "DU"}, {"で", "DE"}, {"ど", "DO"}, {"ば", "BA"}, {"び", "BI"}, {"ぶ", "BU"}, {"べ", "BE"},
    {"ぼ", "BO"}, {"ぱ", "PA"}, {"ぴ", "PI"}, {"ぷ", "PU"}, {"ぺ", "PE"}, {"ぽ", "PO"}, {"ふぁ", "FA"},
    {"ふぃ", "FI"}, {"ふぇ", "FE"}, {"ふぉ", "FO"}, {"うぃ", "WI"}, {"うぇ", "WE"}, {"うぉ", "WO"},
    {"きゃ", "KYA"}, {"きゅ", "KYU"}, {"きょ", "KYO"}, {"しゃ", "SYA"}, {"しゅ", "SYU"}, {"しぇ", "SYE"},
    {"しょ", "SYO"}, {"ちゃ", "CYA"}, {"ちゅ", "CYU"}, {"ちぇ", "CYE"}, {"ちょ", "CYO"}, {"にゃ", "NYA"},
    {"にゅ", "NYU"}, {"にょ", "NYO"}, {"ひゃ", "HYA"}, {"ひゅ", "HYU"}, {"ひょ", "HYO"}, {"みゃ", "MYA"},
    {"みゅ", "MYU"}, {"みょ", "MYO"}, {"りゃ", "RYA"}, {"りゅ", "RYU"}, {"りょ", "RYO"}, {"ぎゃ", "GYA"},
    {"ぎゅ", "GYU"}, {"ぎょ", "GYO"}, {"じゃ", "ZYA"}, {"じゅ", "ZYU"}, {"じぇ", "ZYE"}, {"じょ", "ZYO"},
    {"びゃ", "BYA"}, {"びゅ", "BYU"}, {"びょ", "BYO"}, {"ぴゃ", "PYA"}, {"ぴゅ", "PYU"}, {"ぴょ", "PYO"},
}};

}  // namespace

std::span<const SyllableRow, kSyllableCount> syllableTable() { return kTable; }

const SyllableRow* syllableRow(int row) {
    if (row < 0 || row >= static_cast<int>(kSyllableCount)) return nullptr;
    return &kTable[static_cast<std::size_t>(row)];
}

}  // namespace kantor

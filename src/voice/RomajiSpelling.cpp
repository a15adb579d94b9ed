#include "voice/RomajiSpelling.h"

#include <utility>

namespace kantor {
namespace {

// Typed spelling (upper case) -> the table's code. None of the typed spellings is a code
// of the table (tests/voice/RomajiSpellingTest.cpp checks that).
constexpr std::pair<std::string_view, std::string_view> kAlternatives[] = {
    // Hepburn
    {"SHI", "SI"}, {"CHI", "TI"}, {"TSU", "TU"}, {"FU", "HU"}, {"JI", "ZI"},
    {"SHA", "SYA"}, {"SHU", "SYU"}, {"SHE", "SYE"}, {"SHO", "SYO"},
    {"CHA", "CYA"}, {"CHU", "CYU"}, {"CHE", "CYE"}, {"CHO", "CYO"},
    {"JA", "ZYA"}, {"JU", "ZYU"}, {"JE", "ZYE"}, {"JO", "ZYO"},
    // ぢ and づ written apart from じ and ず
    {"DJI", "DI"}, {"DZI", "DI"}, {"DZU", "DU"},
    // Kunrei-shiki and keyboard input
    {"TYA", "CYA"}, {"TYU", "CYU"}, {"TYE", "CYE"}, {"TYO", "CYO"},
    {"JYA", "ZYA"}, {"JYU", "ZYU"}, {"JYE", "ZYE"}, {"JYO", "ZYO"},
    // ん before a vowel or doubled as on a keyboard
    {"NN", "N"}, {"N'", "N"},
};

constexpr std::string_view kRightQuote = "\xE2\x80\x99";  // ’, what many editors make of '

}  // namespace

std::string tableSpelling(std::string_view typed) {
    std::string upper;
    upper.reserve(typed.size());
    bool ascii = true;
    for (char ch : typed) {
        const auto b = static_cast<unsigned char>(ch);
        ascii = ascii && b < 0x80;
        upper.push_back(b >= 'a' && b <= 'z' ? static_cast<char>(b - 'a' + 'A') : ch);
    }
    // N’ (typographic apostrophe) reads as N'.
    if (upper.size() == 1 + kRightQuote.size() && upper[0] == 'N' && upper.ends_with(kRightQuote)) return "N";
    if (!ascii) return std::string(typed);
    for (const auto& [alternative, code] : kAlternatives)
        if (upper == alternative) return std::string(code);
    return upper;
}

}  // namespace kantor

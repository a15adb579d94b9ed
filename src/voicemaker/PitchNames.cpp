#include "voicemaker/PitchNames.h"

#include <cctype>

#include "base/Codepage.h"
#include "base/Translation.h"
#include "voice/SyllableTable.h"

namespace kantor {
namespace {

struct Degree {
    const char* letter;
    const char* solfege;
    bool sharp;
};

constexpr Degree kDegrees[12] = {
    {"C", "ﾄﾞ", false}, {"C", "ﾄﾞ", true}, {"D", "ﾚ", false}, {"D", "ﾚ", true},
    {"E", "ﾐ", false},  {"F", "ﾌｧ", false}, {"F", "ﾌｧ", true}, {"G", "ｿ", false},
    {"G", "ｿ", true},   {"A", "ﾗ", false},  {"A", "ﾗ", true},  {"B", "ｼ", false},
};

}  // namespace

std::string padColumns(const std::string& utf8, std::size_t columns) {
    std::string s = utf8;
    std::size_t used = cp932Length(utf8);
    if (used < columns) s.append(columns - used, ' ');
    return s;
}

std::string makerPitchName(int note) {
    if (note < 0 || note > 127) return {};
    const Degree& d = kDegrees[note % 12];
    std::string head = std::string(d.letter) + std::to_string(note / 12 - 2) + (d.sharp ? "#" : "");
    head.resize(6, ' ');
    return head + "(" + d.solfege + (d.sharp ? "#" : "") + ")";
}

std::string makerPitchListLine(int note) {
    std::string name = makerPitchName(note);
    return name.empty() ? name : " " + name;
}

int makerPitchNumber(const std::string& name) {
    std::size_t i = 0;
    while (i < name.size() && name[i] == ' ') ++i;
    std::size_t end = name.find_first_of(" (", i);
    std::string head = name.substr(i, end == std::string::npos ? std::string::npos : end - i);
    for (int note = 0; note <= 127; ++note) {
        std::string candidate = makerPitchName(note).substr(0, 6);
        while (!candidate.empty() && candidate.back() == ' ') candidate.pop_back();
        if (candidate == head) return note;
    }
    return -1;
}

std::string codeListLine(int row, bool lowerCaseCodes) {
    const SyllableRow* r = syllableRow(row);
    if (!r) return {};
    std::string code(r->code);
    if (lowerCaseCodes)
        for (char& c : code) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    code.resize(std::max<std::size_t>(code.size(), 5), ' ');
    return " " + code + "- " + std::string(r->kana);
}

std::string shownPitchText(const std::string& text) {
    if (language() != Language::English) return text;
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t close = text[i] == '(' ? text.find(')', i) : std::string::npos;
        if (close != std::string::npos) {
            const std::string inner = text.substr(i + 1, close - i - 1);
            bool solfege = false;
            for (const Degree& d : kDegrees) solfege = solfege || inner == std::string(d.solfege) + (d.sharp ? "#" : "");
            if (solfege) {
                out.append(cp932Length(text.substr(i, close - i + 1)), ' ');
                i = close + 1;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

}  // namespace kantor

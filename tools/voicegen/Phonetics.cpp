#include "Phonetics.h"

#include <string_view>

#include "voice/SyllableTable.h"

namespace kantor::voicegen {

namespace {

std::string vowelPhone(char v) {
    switch (v) {
        case 'A': return "a1";
        case 'I': return "i1";
        case 'U': return "u1";
        case 'E': return "e1";
        default: return "o1";
    }
}

double consonantSeconds(std::string_view p) {
    if (p == "s" || p == "S" || p == "f") return 0.10;
    if (p == "ts" || p == "tS" || p == "dz" || p == "dZ") return 0.09;
    if (p == "r") return 0.05;
    if (p == "j" || p == "w") return 0.06;
    return 0.07;  // stops and nasals
}

// The phone of a consonant letter that the voices say as it is written.
std::string_view plainConsonant(char c) {
    switch (c) {
        case 'K': return "k";
        case 'N': return "n";
        case 'M': return "m";
        case 'R': return "r";
        case 'G': return "g";
        case 'B': return "b";
        case 'P': return "p";
        case 'F': return "f";
        case 'D': return "d";
        case 'T': return "t";
        default: return "s";
    }
}

}  // namespace

SyllablePlan planSyllable(int row) {
    SyllablePlan plan;
    const SyllableRow* r = syllableRow(row);
    if (!r) return plan;
    const std::string_view code = r->code;
    const char v = code.back();
    if (code == "N") {
        plan.vowel = std::string(1, 'n');
        return plan;
    }
    plan.vowel = vowelPhone(v);
    const std::string_view c = code.substr(0, code.size() - 1);
    // Rows 46..49 are the plain vowels い, う, え, を written with W; rows 80..82 the
    // real w-glides うぃ, うぇ, うぉ.
    const bool plainW = row >= 46 && row <= 49;
    std::vector<std::string_view> phones;
    if (c.empty() || plainW || (c == "Y" && (v == 'I' || v == 'E'))) {
        // a vowel alone
    } else if (c == "H") {
        if (v == 'U') phones = {"f"};
        else plan.breath = true;
    } else if (c == "HY") {
        plan.breath = true;
        phones = {"j"};
    } else if (c == "S") {
        phones = {v == 'I' ? "S" : "s"};
    } else if (c == "T") {
        phones = {v == 'I' ? "tS" : v == 'U' ? "ts" : "t"};
    } else if (c == "Z") {
        phones = {v == 'I' ? "dZ" : "dz"};
    } else if (c == "D") {
        phones = {v == 'I' ? "dZ" : v == 'U' ? "dz" : "d"};
    } else if (c == "SY") {
        phones = {"S"};
    } else if (c == "CY") {
        phones = {"tS"};
    } else if (c == "ZY") {
        phones = {"dZ"};
    } else if (c == "NY") {
        phones = {"J"};
    } else if (c.size() == 2 && c[1] == 'Y') {
        phones = {plainConsonant(c[0]), "j"};
    } else if (c == "Y") {
        phones = {"j"};
    } else if (c == "W") {
        phones = {"w"};
    } else {
        phones = {plainConsonant(c[0])};  // k n m r g b p f
    }
    for (std::string_view p : phones) plan.onset.push_back({std::string(p), consonantSeconds(p)});
    return plan;
}

double vowelStartSeconds(const SyllablePlan& plan) {
    double t = plan.breath ? kBreathSilence : kLeadSilence;
    for (const Phone& p : plan.onset) t += p.seconds;
    return t;
}

}  // namespace kantor::voicegen

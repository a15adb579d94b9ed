#include "voice/ContextChoice.h"

#include "voice/VoiceBank.h"

namespace kantor {
namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool isVowel(char c) {
    c = upper(c);
    return c == 'A' || c == 'I' || c == 'U' || c == 'E' || c == 'O';
}

}  // namespace

std::string finalSound(const std::string& code) {
    if (code.empty()) return {};
    const char last = upper(code.back());
    if (isVowel(last)) return std::string(1, static_cast<char>(last - 'A' + 'a'));
    if (last == 'N' && code.size() == 1) return "n";
    return {};
}

std::string leadingConsonant(const std::string& code) {
    std::string out;
    for (char c : code) {
        if (isVowel(c)) return out;
        out.push_back(upper(c));
    }
    return {};  // no vowel: ん, or not a syllable
}

const VoiceSample* findContextSample(const Voice& voice, SampleKind kind, const std::string& code,
                                     const std::string& after, uint32_t pitch) {
    if (code.empty() || after.empty()) return nullptr;
    const VoiceSample* best = nullptr;
    int64_t bestDistance = 1000;
    for (const auto& s : voice.contextSamples) {
        if (!s || s->kind != kind || !s->hasSound() || !codesEqual(s->code, code) || !codesEqual(s->after, after))
            continue;
        int64_t d = static_cast<int64_t>(s->pitch) - static_cast<int64_t>(pitch);
        if (d < 0) d = -d;
        if (d < bestDistance) {
            bestDistance = d;
            best = s.get();
        }
    }
    return best;
}

}  // namespace kantor

#include "voice/SyllableLookup.h"

#include "voice/RomajiSpelling.h"
#include "voice/VoiceBank.h"

namespace kantor {

std::string katakanaToHiragana(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char b0 = static_cast<unsigned char>(s[i]);
        if (b0 == 0xE3 && i + 2 < s.size()) {
            const unsigned cp = ((b0 & 0x0Fu) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6) |
                                (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
            if (cp >= 0x30A1 && cp <= 0x30F6) {
                const unsigned h = cp - 0x60;
                out.push_back(static_cast<char>(0xE0 | (h >> 12)));
                out.push_back(static_cast<char>(0x80 | ((h >> 6) & 0x3F)));
                out.push_back(static_cast<char>(0x80 | (h & 0x3F)));
                i += 3;
                continue;
            }
        }
        out.push_back(s[i++]);
    }
    return out;
}

bool findTypedSyllable(const VoiceBank& bank, const std::string& voiceName, const std::string& typed,
                       SyllableMatch& match) {
    if (bank.findSyllableByCode(voiceName, typed, match)) return true;
    const std::string spelling = tableSpelling(typed);
    // A spelling that only changes case was answered already.
    return !codesEqual(spelling, typed) && bank.findSyllableByCode(voiceName, spelling, match);
}

bool resolveSyllable(const VoiceBank& bank, const Voice& voice, const std::string& typed, std::string& code) {
    if (typed.empty()) return false;
    bool ascii = true;
    for (unsigned char ch : typed) ascii = ascii && ch < 0x80;
    if (!ascii) {
        const std::string kana = katakanaToHiragana(typed);
        for (const auto& s : voice.samples) {
            if (s && s->usable() && (s->kana == kana || s->kana == typed)) {
                code = s->code;
                return true;
            }
        }
        // Not kana of the voice: perhaps romaji with a typographic apostrophe (N’).
        if (codesEqual(tableSpelling(typed), typed)) return false;
    }
    SyllableMatch match;
    if (!findTypedSyllable(bank, voice.name, typed, match) || match.code.empty()) return false;
    code = match.code;
    return true;
}

}  // namespace kantor

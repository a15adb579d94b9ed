// The text forms of a voice bank (oto.ini lines, prefix.map, character.txt, aliases and
// note names) on arbitrary bytes, cp932 or UTF-8: nothing may crash or read past the end,
// what an alias names is a row of the syllable table, and a bank text as printed is valid
// UTF-8 on one line without control bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "import/BankFiles.h"
#include "import/OtoIni.h"
#include "voice/SyllableTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = kantor::bankTextToUtf8(bytes);
    const kantor::PrefixMap map = kantor::parsePrefixMap(text);
    for (const auto& e : map.entries)
        if (e.note < 0 || e.note > 127) __builtin_trap();
    (void)kantor::characterName(text);
    for (const std::string_view raw : {std::string_view(bytes), std::string_view(text)}) {
        const std::string printed = kantor::printableBankText(raw, 64);
        if (!kantor::isValidUtf8(printed)) __builtin_trap();
        for (std::size_t i = 0; i < printed.size(); ++i) {
            const unsigned char b = static_cast<unsigned char>(printed[i]);
            if (b < 0x20 || b == 0x7F) __builtin_trap();
            if (b == 0xC2 && i + 1 < printed.size() && static_cast<unsigned char>(printed[i + 1]) < 0xA0) __builtin_trap();
        }
        if (printed.size() > 64 * 4 + 40) __builtin_trap();
    }
    for (std::string_view line : kantor::splitLines(text)) {
        kantor::OtoLine l;
        if (kantor::parseOtoLine(line, l) && l.file.empty()) __builtin_trap();
        kantor::AliasSyllable s;
        const bool named = kantor::mapAlias(std::string(line), map, s);
        if (named != (kantor::syllableRow(s.row) != nullptr)) __builtin_trap();
        if (s.affixNote < -1 || s.affixNote > 127) __builtin_trap();
        const int note = kantor::findNoteName(line);
        if (note < -1 || note > 127) __builtin_trap();
    }
    return 0;
}

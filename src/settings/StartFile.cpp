#include "settings/StartFile.h"

#include <algorithm>

namespace kantor {
namespace {
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool endsWithIgnoringCase(std::string_view s, std::string_view tail) {
    if (s.size() < tail.size()) return false;
    return std::equal(tail.begin(), tail.end(), s.end() - static_cast<std::ptrdiff_t>(tail.size()),
                      [](char a, char b) { return lower(a) == lower(b); });
}
}  // namespace

std::string startFileFromArguments(int argc, const char* const* argv) {
    std::string out;
    for (int i = 1; i < argc; ++i) {
        if (!argv[i]) continue;
        if (i > 1) out += ' ';
        for (const char* p = argv[i]; *p; ++p)
            if (*p != '"') out += *p;
    }
    return out;
}

StartFileKind startFileKind(std::string_view startFile) {
    // A karaoke file (.kar) is a MIDI file with its lyrics in text events.
    if (endsWithIgnoringCase(startFile, "mid") || endsWithIgnoringCase(startFile, ".kar")) return StartFileKind::Midi;
    if (endsWithIgnoringCase(startFile, "uta")) return StartFileKind::Song;
    return StartFileKind::None;
}

}  // namespace kantor

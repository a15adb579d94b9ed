#include "voice/RomajiList.h"

#include "base/Texts.h"
#include "voice/Voice.h"

namespace kantor {

namespace {
bool sameCode(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}
}  // namespace

std::vector<RomajiEntry> romajiEntries(const Voice& voice) {
    std::vector<RomajiEntry> list;
    for (const auto& s : voice.samples) {
        if (!s) continue;
        if (s->code.empty()) {
            list.push_back({});
            continue;
        }
        RomajiEntry* earlier = nullptr;
        for (RomajiEntry& e : list)
            if (!e.code.empty() && sameCode(e.code, s->code)) earlier = &e;
        if (earlier) {
            if (!earlier->usable) earlier->usable = s->usable();
            continue;
        }
        list.push_back({s->kana, s->code, s->usable()});
    }
    return list;
}

std::string romajiListTitle(const std::string& voiceName) {
    return fillText(KANTOR_TEXT("入力ｺｰﾄﾞ（ﾛｰﾏ字）一覧　「%s」"), {voiceName});
}

}  // namespace kantor

#include "song/LyricList.h"

#include <algorithm>
#include <new>

#include "base/Codepage.h"
#include "midi/TempoMap.h"
#include "song/Song.h"

namespace kantor {

LyricSteps LyricSteps::of(const TempoMap& map) {
    LyricSteps s;
    if (map.measures().empty()) return s;
    uint32_t largest = 0;
    for (const Measure& m : map.measures()) largest = std::max<uint32_t>(largest, m.denominator);
    if (largest == 0) return s;
    s.step = uint32_t{map.division()} * 4 / largest;
    if (s.step == 0) return s;
    s.songEnd = map.songEndTick();
    s.spinMax = static_cast<int>(std::min<uint64_t>((uint64_t{s.songEnd} + s.step / 2) / s.step, 0x7FFFFFFF));
    return s;
}

uint32_t LyricSteps::round(uint32_t tick) const {
    if (step == 0) return tick;
    const uint64_t t = (uint64_t{tick} + step / 2) / step * step;
    return static_cast<uint32_t>(std::min<uint64_t>(t, uint64_t{0xFFFFFFFFu} / step * step));
}

uint32_t LyricSteps::tickOfSpin(int spin) const {
    if (spin <= 0 || step == 0) return 0;
    return static_cast<uint32_t>(std::min<uint64_t>(uint64_t(spin) * step, 0xFFFFFFFFu));
}

std::string trimLyricText(const std::string& text) {
    std::string s = text;
    for (;;) {
        if (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) {
            s.pop_back();
        } else if (s.size() >= 3 && s.compare(s.size() - 3, 3, "\xE3\x80\x80") == 0) {  // U+3000
            s.resize(s.size() - 3);
        } else {
            return s;
        }
    }
}

bool lyricTextFits(const std::string& text) {
    bool exact = true;
    const std::string bytes = utf8ToCp932(text, &exact);
    return exact && bytes.size() < LyricLine::kTextSize && bytes.find('\0') == std::string::npos;
}

std::string lyricUnwritableCharacter(const std::string& text) {
    // Character by character (UTF-8 sequences): the first that does not come through.
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        n = std::min(n, text.size() - i);
        const std::string one = text.substr(i, n);
        bool exact = true;
        const std::string bytes = utf8ToCp932(one, &exact);
        if (!exact || lead == 0) return lead == 0 ? std::string("\\0") : one;
        i += n;
    }
    return {};
}

long lyricLineAtOrBefore(const Song& song, uint32_t tick) {
    const auto& lines = song.lyricLines();
    for (std::size_t i = lines.size(); i-- > 0;)
        if (lines[i] && lines[i]->position <= tick) return static_cast<long>(i);
    return -1;
}

long lyricLineAt(const Song& song, uint32_t tick) {
    const long i = lyricLineAtOrBefore(song, tick);
    return i >= 0 && song.lyricLines()[static_cast<std::size_t>(i)]->position == tick ? i : -1;
}

LyricPutResult putLyric(Song& song, uint32_t position, const std::string& given,
                        const std::function<bool()>& askReplace) {
    LyricPutResult r;
    const std::string text = trimLyricText(given);
    if (text.empty()) return r;
    if (!lyricTextFits(text)) {
        r.what = lyricUnwritableCharacter(text).empty() ? LyricPut::TooLong : LyricPut::Unwritable;
        return r;
    }
    auto& lines = song.lyricLines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i]) continue;
        if (lines[i]->position == position) {
            if (askReplace && !askReplace()) {
                r.what = LyricPut::Declined;
                return r;
            }
            lines[i]->text = text;
            r.what = LyricPut::Replaced;
            r.index = static_cast<long>(i);
            return r;
        }
        if (lines[i]->position > position) {
            auto line = std::make_unique<LyricLine>();
            line->position = position;
            line->text = text;
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i), std::move(line));
            r.what = LyricPut::Inserted;
            r.index = static_cast<long>(i);
            return r;
        }
    }
    auto line = std::make_unique<LyricLine>();
    line->position = position;
    line->text = text;
    lines.push_back(std::move(line));
    r.what = LyricPut::Inserted;
    r.index = static_cast<long>(lines.size() - 1);
    return r;
}

bool deleteLyric(Song& song, long index) {
    auto& lines = song.lyricLines();
    if (index < 0 || static_cast<std::size_t>(index) >= lines.size() || !lines[static_cast<std::size_t>(index)])
        return false;
    lines.erase(lines.begin() + index);
    return true;
}

}  // namespace kantor

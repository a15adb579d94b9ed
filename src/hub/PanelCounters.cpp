#include "hub/PanelCounters.h"

#include <algorithm>

#include "midi/TempoMap.h"
#include "song/Song.h"

namespace kantor {

PanelSteps PanelSteps::of(const TempoMap& map) {
    PanelSteps s;
    if (map.measures().empty()) return s;
    s.rangeMax = map.measures().back().start;
    uint32_t largest = 0;
    for (const Measure& m : map.measures()) largest = std::max<uint32_t>(largest, m.denominator);
    if (largest > 0) s.step = uint32_t{map.division()} * 4 / largest;
    return s;
}

int PanelSteps::spinRange() const {
    if (step == 0) return 0;
    return static_cast<int>((uint64_t{rangeMax} + step / 2) / step);
}

int PanelSteps::spinPosition(uint32_t tick) const { return step == 0 ? 0 : static_cast<int>(tick / step); }

uint32_t PanelSteps::tickOfSpin(int position) const {
    if (position <= 0) return 0;
    const uint64_t t = uint64_t(position) * step;
    return t > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(t);
}

uint32_t PanelSteps::snap(uint32_t tick) const {
    if (step == 0) return tick;
    const uint64_t t = (uint64_t{tick} + step / 2) / step * step;
    return t > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(t);
}

PlayRange setStartAt(PlayRange r, uint32_t current, const PanelSteps& s) {
    r.start = s.snap(current);
    if (r.start >= r.stop) r.stop = s.rangeMax;
    return r;
}

PlayRange setStopAt(PlayRange r, uint32_t current, const PanelSteps& s) {
    r.stop = s.snap(current);
    if (r.stop <= r.start) r.start = 0;
    return r;
}

PlayRange moveStartSpin(PlayRange r, int position, const PanelSteps& s) {
    r.start = s.tickOfSpin(position);
    if (r.start >= r.stop) r.stop = s.rangeMax;
    return r;
}

PlayRange moveStopSpin(PlayRange r, int position, const PanelSteps& s) {
    r.stop = s.tickOfSpin(position);
    if (r.stop <= r.start) r.start = 0;
    return r;
}

void LyricDisplay::setLines(const Song& song) {
    lines_.clear();
    for (const auto& line : song.lyricLines()) {
        if (line) lines_.push_back({line->position, line->text});
    }
    std::stable_sort(lines_.begin(), lines_.end(), [](const Line& a, const Line& b) { return a.tick < b.tick; });
    next_ = 0;
    text_.clear();
}

void LyricDisplay::clear() {
    lines_.clear();
    next_ = 0;
    text_.clear();
}

void LyricDisplay::setFor(uint32_t tick) {
    next_ = 0;
    text_.clear();
    while (next_ < lines_.size() && lines_[next_].tick <= tick) text_ = lines_[next_++].text;
}

void LyricDisplay::advance(uint32_t tick) {
    while (next_ < lines_.size() && lines_[next_].tick <= tick) text_ = lines_[next_++].text;
}

}  // namespace kantor

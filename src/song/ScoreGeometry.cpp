#include "song/ScoreGeometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "song/Song.h"

namespace kantor {

// --- Note names -------------------------------------------------------------------------------

namespace {
constexpr std::array<const char*, 12> kNames = {"C%d", "C%d#", "D%d", "D%d#", "E%d", "F%d",
                                                "F%d#", "G%d", "G%d#", "A%d", "A%d#", "B%d"};

int floorDiv(long a, long b) { return static_cast<int>(a >= 0 ? a / b : -((-a + b - 1) / b)); }
}  // namespace

bool isSharpKey(int note) {
    const int k = ((note % 12) + 12) % 12;
    return k == 1 || k == 3 || k == 6 || k == 8 || k == 10;
}

std::string noteName(int note) {
    if (note < 0) return {};
    char buf[16];
    std::snprintf(buf, sizeof buf, kNames[static_cast<std::size_t>(note % 12)], note / 12 - 2);
    return buf;
}

std::string naturalNoteName(int note) { return isSharpKey(note) ? std::string() : noteName(note); }

// --- Measures ---------------------------------------------------------------------------------

int measureLimit(std::size_t measureCount) {
    return measureCount == 0 ? 16 : static_cast<int>(std::min<std::size_t>(measureCount - 1, 1u << 30));
}

MeasureSpan fewerMeasures(MeasureSpan s) {
    int n = s.count / 2;
    if (n <= 2) n = s.count - 1;
    if (n <= 0) return s;
    s.count = n;
    return s;
}

MeasureSpan moreMeasures(MeasureSpan s, int limit) {
    const long c = s.count;
    long n = c * 2;
    if (n > limit) n = c * 3 / 2;
    if (n > limit) n = c * 5 / 4;
    if (n > limit) n = limit;
    // A table of one measure leaves a limit of 0: the view keeps its one measure.
    s.count = static_cast<int>(std::max(1L, n));
    if (s.first + s.count > limit) s.first = std::max(0, limit - s.count);
    return s;
}

MeasureSpan zoomAround(const std::vector<Measure>& measures, MeasureSpan s, int count, int limit, uint32_t tick) {
    MeasureSpan out{s.first, count};
    const long m = measureForTick(measures, tick);
    if (m >= 0 && m >= s.first && m < s.first + s.count && s.count > 0 && count > 0) {
        const Measure& at = measures[static_cast<std::size_t>(m)];
        const double within = at.length ? std::min(1.0, double(tick - at.start) / at.length) : 0.0;
        const double place = double(m) + within;
        const double offset = (place - s.first) / s.count;  // 0 at the left edge, 1 at the right
        out.first = static_cast<int>(std::lround(place - offset * count));
        // The tick itself must stay in view however the rounding went.
        if (out.first > m) out.first = static_cast<int>(m);
        if (out.first + count <= m) out.first = static_cast<int>(m) - count + 1;
    }
    return clampMeasures(out, limit);
}

MeasureSpan clampMeasures(MeasureSpan s, int limit) {
    s.count = std::max(1, std::min(s.count, std::max(1, limit)));
    s.first = std::max(0, std::min(s.first, limit - s.count));
    return s;
}

TickRange visibleTicks(const std::vector<Measure>& measures, MeasureSpan s) {
    if (measures.empty() || s.count <= 0 || s.first < 0) return {};
    const std::size_t first = std::min<std::size_t>(static_cast<std::size_t>(s.first), measures.size() - 1);
    const std::size_t after = static_cast<std::size_t>(s.first) + static_cast<std::size_t>(s.count);
    TickRange r;
    r.start = measures[first].start;
    if (after < measures.size()) {
        r.end = measures[after].start;
    } else {
        const Measure& last = measures.back();
        r.end = static_cast<uint32_t>(std::min<uint64_t>(uint64_t(last.start) + last.length, 0xFFFFFFFFu));
    }
    return r;
}

long measureForTick(const std::vector<Measure>& measures, uint32_t tick) {
    auto it = std::upper_bound(measures.begin(), measures.end(), tick,
                               [](uint32_t t, const Measure& m) { return t < m.start; });
    return static_cast<long>(it - measures.begin()) - 1;
}

bool MeasureAxis::tickAt(int x, long& measure, uint32_t& tick) const {
    if (!measures || span.count <= 0 || width <= 0) return false;
    const long dx = x - left;
    if (dx < 0 || dx >= width) return false;
    const long col = dx * span.count / width;
    const long index = span.first + col;
    if (index < 0 || index >= static_cast<long>(measures->size())) return false;
    const Measure& m = (*measures)[static_cast<std::size_t>(index)];
    // (offset in the column) / (column width) = (dx * count - col * width) / width.
    const uint64_t part = static_cast<uint64_t>(dx * span.count - col * width);
    measure = index;
    tick = static_cast<uint32_t>(std::min<uint64_t>(m.start + part * m.length / static_cast<uint64_t>(width),
                                                    0xFFFFFFFFu));
    return true;
}

double MeasureAxis::xOf(uint32_t tick) const {
    if (!measures || measures->empty() || span.count <= 0) return left - 1.0;
    const double colW = columnWidth();
    long p = measureForTick(*measures, tick);
    if (p < 0) return left - 1.0;
    const Measure& m = (*measures)[static_cast<std::size_t>(p)];
    const double part = m.length ? double(tick - m.start) / m.length : 0.0;
    return left + (double(p - span.first) + std::min(part, 1.0)) * colW;
}

bool MeasureAxis::shows(uint32_t tick) const {
    return measures && visibleTicks(*measures, span).contains(tick);
}

// --- Rows and keys ----------------------------------------------------------------------------

RowSpan fewerRows(RowSpan r) {
    if (r.count > 1) --r.count;
    return r;
}

RowSpan moreRows(RowSpan r) {
    if (r.count < 16) ++r.count;
    if (r.first + r.count > 16) r.first = 16 - r.count;
    return r;
}

namespace {
constexpr std::array<int, 8> kKeySteps = {12, 18, 24, 36, 48, 64, 88, 128};
}

KeySpan clampKeys(KeySpan k) {
    k.count = std::clamp(k.count, 1, kKeyCount);
    k.low = std::clamp(k.low, 0, kKeyCount - k.count);
    return k;
}

KeySpan fewerKeys(KeySpan k) {
    int next = k.count;
    for (auto it = kKeySteps.rbegin(); it != kKeySteps.rend(); ++it)
        if (*it < k.count) {
            next = *it;
            break;
        }
    // Zoom about the middle of the range.
    k.low += (k.count - next) / 2;
    k.count = next;
    return clampKeys(k);
}

KeySpan moreKeys(KeySpan k) {
    int next = k.count;
    for (int s : kKeySteps)
        if (s > k.count) {
            next = s;
            break;
        }
    k.low -= (next - k.count) / 2;
    k.count = next;
    return clampKeys(k);
}

KeySpan keysFor(int lowest, int highest) {
    if (lowest > highest) return clampKeys({48, 36});
    int count = highest - lowest + 1 + 6;
    count = std::max(count, 24);
    const int low = lowest - (count - (highest - lowest + 1)) / 2;
    return clampKeys({low, count});
}

int KeyAxis::keyAt(int y) const {
    if (height <= 0 || span.count <= 0 || y < top || y >= top + height) return -1;
    const long row = long(y - top) * span.count / height;
    return span.low + span.count - 1 - static_cast<int>(row);
}

int channelAt(int y, int top, int height, RowSpan rows) {
    if (height <= 0 || rows.count <= 0 || y < top || y >= top + height) return 0;
    return rows.first + static_cast<int>(long(y - top) * rows.count / height) + 1;
}

// --- Following the position -------------------------------------------------------------------

AutoScroll autoScrollOf(int32_t setting) {
    switch (setting) {
        case 1: return AutoScroll::WhilePlaying;
        case 2: return AutoScroll::Never;
        default: return AutoScroll::Always;  // 0, and whatever a damaged settings file holds
    }
}

Follow followPosition(const std::vector<Measure>& measures, MeasureSpan s, int limit, uint32_t tick, AutoScroll mode,
                      bool userSet) {
    Follow f{true, s};
    if (visibleTicks(measures, s).contains(tick)) return f;
    if (mode == AutoScroll::Never || (mode == AutoScroll::WhilePlaying && userSet) || s.count <= 0) {
        f.showCursor = false;
        return f;
    }
    const long p = measureForTick(measures, tick);
    if (p < 0) {
        f.showCursor = false;
        return f;
    }
    MeasureSpan n = s;
    n.first = s.first + floorDiv(p - s.first, s.count) * s.count;
    n = clampMeasures(n, limit);
    f.span = n;
    f.showCursor = visibleTicks(measures, n).contains(tick);
    return f;
}

// --- Notes ------------------------------------------------------------------------------------

long noteAt(const Song& song, int c, uint32_t tick, int key) {
    const auto& events = song.channel(c).events;
    long best = -1;
    uint32_t bestStart = 0;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const VoxEvent* e = events[i].get();
        if (!e || static_cast<int>(e->noteKey) != key) continue;
        if (e->startTick <= tick && tick < e->endTick && (best < 0 || e->startTick >= bestStart)) {
            best = static_cast<long>(i);
            bestStart = e->startTick;
        }
    }
    return best;
}

long stepNote(const Song& song, int c, long from, int step) {
    const auto& events = song.channel(c).events;
    const long n = static_cast<long>(events.size());
    const long dir = step < 0 ? -1 : 1;
    for (long i = (from < 0 && dir < 0 ? n : from) + dir; i >= 0 && i < n; i += dir)
        if (events[static_cast<std::size_t>(i)]) return i;
    return -1;
}

long stepPhraseHead(const Song& song, int c, long from, int step) {
    long i = from;
    while ((i = stepNote(song, c, i, step)) >= 0)
        if (song.event(c, static_cast<std::size_t>(i))->phraseIndex != 0) return i;
    return -1;
}

std::vector<long> phraseHeadsOf(const Song& song, int c) {
    const auto& events = song.channel(c).events;
    std::vector<long> out(events.size(), -1);
    std::array<long, Song::kPhraseGroups> head;
    head.fill(-1);
    for (std::size_t i = 0; i < events.size(); ++i) {
        const VoxEvent* e = events[i].get();
        if (!e || e->phraseGroup >= Song::kPhraseGroups) continue;
        if (e->phraseIndex != 0) head[e->phraseGroup] = static_cast<long>(i);
        out[i] = head[e->phraseGroup];
    }
    return out;
}

WordDisplay wordDisplayOf(int32_t setting) {
    switch (setting) {
        case 0: return WordDisplay::Off;
        case 2: return WordDisplay::Romaji;
        default: return WordDisplay::Hiragana;
    }
}

std::string noteWords(const VoxEvent& e, WordDisplay mode,
                      const std::function<std::string(const std::string&)>& kanaOf) {
    std::string out;
    if (mode == WordDisplay::Off) return out;
    for (int s = 0; s < VoxEvent::kSlots; ++s) {
        if (e.syllableLength[static_cast<std::size_t>(s)] == 0 || e.isBlankCode(s)) continue;
        const std::string code = e.codeText(s);
        if (mode == WordDisplay::Romaji) {
            if (!out.empty()) out += ' ';
            out += code;
        } else {
            const std::string kana = kanaOf ? kanaOf(code) : std::string();
            out += kana.empty() ? code : kana;
        }
    }
    return out;
}

}  // namespace kantor

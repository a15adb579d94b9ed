#include "midi/TempoMap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "midi/MidiFile.h"

namespace kantor {
namespace {
constexpr const char* kNotRead = "Not Read Smf";

// Converts a non-negative floating-point amount to an integer, truncating toward zero and
// keeping it inside the 32-bit range.
uint32_t truncateToU32(double x) {
    if (!(x > 0)) return 0;
    if (x >= 4294967295.0) return std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(x);
}
}  // namespace

void TempoMap::clear() {
    measures_.clear();
    maxEndSoFar_.clear();
    tempos_.clear();
    impliedTempo_ = false;
    division_ = 0;
    songEnd_ = 0;
}

bool TempoMap::buildMeasureTable(const MidiFile& midi) {
    clearError();
    measures_.clear();
    maxEndSoFar_.clear();
    const ChannelEventList& list0 = midi.channel(0);
    if (list0.empty()) return fail(kNotRead);

    division_ = midi.division();
    songEnd_ = midi.songEndTick();
    const uint64_t end = songEnd_;

    uint16_t numerator = 4, denominator = 4;
    uint64_t length = uint64_t(division_) * 4;
    uint64_t c = 0;
    auto append = [&]() -> bool {
        if (measures_.size() >= kMaxMeasures) return false;
        measures_.push_back(Measure{static_cast<uint32_t>(c), static_cast<uint32_t>(length), numerator, denominator});
        c += length;
        return true;
    };

    for (const auto& e : list0) {
        if (!e || e->kind != ChannelEventKind::TimeSignature) continue;
        const uint64_t at = e->value1;
        while (length > 0 && c < at && append()) {
        }
        const uint32_t den = e->value3;
        const uint64_t newLength = den == 0 ? 0 : (uint64_t(division_) * 4 / den) * e->value2;
        // A signature that would make measures of no length (numerator 0, a note value
        // longer than the division can divide) cannot lay out a grid: it is passed over.
        if (newLength == 0 || newLength > std::numeric_limits<uint32_t>::max()) continue;
        numerator = static_cast<uint16_t>(e->value2);
        denominator = static_cast<uint16_t>(den);
        c = at;
        length = newLength;
    }
    while (length > 0 && c < end + length && append()) {
    }

    maxEndSoFar_.reserve(measures_.size());
    uint64_t maxEnd = 0;
    for (const Measure& m : measures_) {
        maxEnd = std::max<uint64_t>(maxEnd, uint64_t(m.start) + m.length);
        maxEndSoFar_.push_back(maxEnd);
    }
    return true;
}

bool TempoMap::buildTempoList(const MidiFile& midi) {
    clearError();
    tempos_.clear();
    impliedTempo_ = false;
    const ChannelEventList& list0 = midi.channel(0);
    if (list0.empty()) return fail(kNotRead);
    division_ = midi.division();
    for (const auto& e : list0) {
        if (e && e->kind == ChannelEventKind::Tempo) tempos_.push_back(TempoRecord{e->value2, e->value1});
    }
    // A Standard MIDI File runs at 120 bpm until its first tempo event, and that is how the
    // synthesizer plays it: the vocal is timed the same way, so that a file without a tempo
    // event, or whose first one comes late, is sung in time with its MIDI.
    if (tempos_.empty() || tempos_.front().tick > 0) {
        tempos_.insert(tempos_.begin(), TempoRecord{0, kDefaultUsPerQuarter});
        impliedTempo_ = true;
    }
    return true;
}

long TempoMap::measureIndexAt(uint32_t tick) const {
    // The last measure starting at or before the tick; earlier measures can still hold the
    // tick where a mid-measure signature made them overlap, and the earliest one wins.
    auto it = std::upper_bound(measures_.begin(), measures_.end(), tick,
                               [](uint32_t t, const Measure& m) { return t < m.start; });
    long found = -1;
    for (long i = static_cast<long>(it - measures_.begin()) - 1; i >= 0; --i) {
        if (maxEndSoFar_[static_cast<std::size_t>(i)] <= tick) break;
        const Measure& m = measures_[static_cast<std::size_t>(i)];
        if (m.start <= tick && tick < uint64_t(m.start) + m.length) found = i;
    }
    return found;
}

std::string TempoMap::positionText(uint32_t tick, uint32_t* beatLength) const {
    if (beatLength) *beatLength = 0;
    long i = measureIndexAt(tick);
    if (i < 0 || division_ == 0) return kNoPositionText;
    const Measure& m = measures_[static_cast<std::size_t>(i)];
    const uint32_t beat = m.numerator ? m.length / m.numerator : 0;
    if (beat == 0) return kNoPositionText;
    if (beatLength) *beatLength = beat;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%03ld : %u : %03u", i + 1, (tick - m.start) / beat + 1, (tick - m.start) % beat);
    return buf;
}

uint32_t TempoMap::millisecondsBetween(uint32_t a, uint32_t b) const {
    if (tempos_.empty() || division_ == 0 || a >= b) return 0;
    uint64_t sum = 0;
    for (std::size_t i = 0; i < tempos_.size(); ++i) {
        const uint32_t d = std::max(a, tempos_[i].tick);
        uint32_t e = b;
        if (i + 1 < tempos_.size() && tempos_[i + 1].tick < e) e = tempos_[i + 1].tick;
        if (d < e) {
            const double x = tempos_[i].usPerQuarter * 0.001 * (e - d) / division_;
            sum += truncateToU32(x);
            if (e == b) break;
        }
    }
    return static_cast<uint32_t>(std::min<uint64_t>(sum, std::numeric_limits<uint32_t>::max()));
}

int64_t TempoMap::ticksForMilliseconds(double ms, uint32_t usPerQuarter) const {
    if (usPerQuarter == 0) return 0;
    const double t = double(division_) * ms * 1000.0 / usPerQuarter;
    if (t >= 9.2e18) return std::numeric_limits<int64_t>::max();
    if (t <= -9.2e18) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(t);
}

long TempoMap::tempoSegmentAt(uint32_t tick) const {
    for (std::size_t i = 0; i < tempos_.size(); ++i) {
        if (tempos_[i].tick <= tick && (i + 1 == tempos_.size() || tempos_[i + 1].tick > tick)) {
            return static_cast<long>(i);
        }
    }
    // Before the first tempo event: the first tempo applies.
    return tempos_.empty() ? -1 : 0;
}

int64_t TempoMap::tickOffset(int64_t ms, uint32_t from) const {
    if (ms == 0) return 0;
    long c = tempoSegmentAt(from);
    if (c < 0) return 0;
    const long last = static_cast<long>(tempos_.size()) - 1;
    int64_t sum = 0;
    int64_t b = from;
    if (ms > 0) {
        int64_t m = ms;
        while (true) {
            const int64_t d = ticksForMilliseconds(double(m), tempos_[static_cast<std::size_t>(c)].usPerQuarter);
            if (c == last) return sum + d;
            const int64_t next = tempos_[static_cast<std::size_t>(c + 1)].tick;
            if (next >= b + d) return sum + d;
            m -= millisecondsBetween(static_cast<uint32_t>(b), static_cast<uint32_t>(next));
            if (m <= 0) return sum + d;
            sum += next - b;
            b = next;
            ++c;
        }
    }
    // Backwards: use up the milliseconds back to the start of the current tempo segment,
    // then go on at the previous segment's tempo.
    int64_t m = -ms;
    while (true) {
        const int64_t d = ticksForMilliseconds(double(m), tempos_[static_cast<std::size_t>(c)].usPerQuarter);
        const int64_t start = tempos_[static_cast<std::size_t>(c)].tick;
        if (c == 0 || b - d >= start) return -(sum + d);
        m -= millisecondsBetween(static_cast<uint32_t>(start), static_cast<uint32_t>(b));
        if (m <= 0) return -(sum + d);
        sum += b - start;
        b = start;
        --c;
    }
}

}  // namespace kantor

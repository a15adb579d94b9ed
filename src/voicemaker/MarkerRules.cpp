#include "voicemaker/MarkerRules.h"

#include <algorithm>

namespace kantor {
namespace {

int64_t clampTo(int64_t v, int64_t lo, int64_t hi) { return std::max(lo, std::min(v, hi)); }

// Each rule may move a neighbour through the neighbour's own rule. The chain always
// settles within a few steps; the depth guard only makes termination evident.
void apply(Markers& m, MarkerId id, int64_t value, int64_t samples, int depth) {
    if (depth > 8) return;
    switch (id) {
        case MarkerId::A: {
            m.a = static_cast<uint32_t>(clampTo(value, 0, kMarkerRange - kMarkerMaxLoopReach));
            if (m.a > m.b) apply(m, MarkerId::B, m.a, samples, depth + 1);
            break;
        }
        case MarkerId::B: {
            int64_t v = clampTo(value, 0, kMarkerRange - kMarkerMaxLoopReach);
            m.b = static_cast<uint32_t>(v);
            if (v > int64_t(m.c) - kMarkerGap) {
                apply(m, MarkerId::C, v + kMarkerGap, samples, depth + 1);
                v = std::max<int64_t>(0, int64_t(m.c) - kMarkerGap);
                m.b = static_cast<uint32_t>(v);
            }
            if (v < int64_t(m.a)) {
                apply(m, MarkerId::A, v, samples, depth + 1);
                m.b = m.a;
            }
            if (int64_t(m.b) + kMarkerMaxLoopReach < int64_t(m.d))
                apply(m, MarkerId::D, int64_t(m.b) + kMarkerMaxLoopReach, samples, depth + 1);
            break;
        }
        case MarkerId::C: {
            int64_t v = clampTo(value, kMarkerGap, kMarkerRange - kMarkerGap);
            m.c = static_cast<uint32_t>(v);
            if (v > int64_t(m.d) - kMarkerGap) {
                apply(m, MarkerId::D, v + kMarkerGap, samples, depth + 1);
                v = std::max<int64_t>(0, int64_t(m.d) - kMarkerGap);
                m.c = static_cast<uint32_t>(v);
            }
            if (v < int64_t(m.b) + kMarkerGap) {
                apply(m, MarkerId::B, v - kMarkerGap, samples, depth + 1);
                m.c = static_cast<uint32_t>(int64_t(m.b) + kMarkerGap);
            }
            break;
        }
        case MarkerId::D: {
            int64_t v = std::min<int64_t>(value, std::min<int64_t>(samples, kMarkerRange));
            v = clampTo(v, 2 * kMarkerGap, int64_t(m.b) + kMarkerMaxLoopReach);
            m.d = static_cast<uint32_t>(v);
            if (v < int64_t(m.c) + kMarkerGap) {
                apply(m, MarkerId::C, v - kMarkerGap, samples, depth + 1);
                m.d = static_cast<uint32_t>(int64_t(m.c) + kMarkerGap);
            }
            break;
        }
    }
}

}  // namespace

Markers defaultMarkers(uint32_t n) {
    if (n >= 176400) return {21609, 22050, 44100, 52920};
    Markers m;
    m.b = n / 8;
    m.a = m.b >= 441 ? m.b - 441 : 0;
    m.c = n / 4;
    m.d = (n / 2) * 3 / 4;
    return m;
}

void moveMarker(Markers& m, MarkerId id, int64_t value, uint32_t sampleCount) {
    apply(m, id, value, sampleCount, 0);
}

uint32_t markerValue(const Markers& m, MarkerId id) {
    switch (id) {
        case MarkerId::A: return m.a;
        case MarkerId::B: return m.b;
        case MarkerId::C: return m.c;
        case MarkerId::D: return m.d;
    }
    return 0;
}

void stepMarker(Markers& m, MarkerId id, int64_t step, uint32_t sampleCount) {
    int64_t v = std::max<int64_t>(0, int64_t(markerValue(m, id)) + step);
    moveMarker(m, id, v, sampleCount);
}

bool markersWithinData(const Markers& m, uint32_t sampleCount) {
    return m.a <= sampleCount && m.b <= sampleCount && m.c <= sampleCount && m.d <= sampleCount;
}

bool markersFollowRules(const Markers& m, uint32_t sampleCount) {
    const int64_t a = m.a, b = m.b, c = m.c, d = m.d;
    return a <= b && b <= kMarkerRange - kMarkerMaxLoopReach && c >= b + kMarkerGap && d >= c + kMarkerGap &&
           d <= b + kMarkerMaxLoopReach && d <= kMarkerRange && d <= int64_t(sampleCount);
}

Markers markersForEditing(const VoiceItem& item) {
    return item.hasProperties() ? item.markers() : defaultMarkers(item.dataLength());
}

}  // namespace kantor

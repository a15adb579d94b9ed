#include "midi/SmfWriter.h"

#include <algorithm>

namespace kantor {
namespace {

void putVarLen(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t g[5];
    int n = 0;
    do {
        g[n++] = static_cast<uint8_t>(v & 0x7F);
        v >>= 7;
    } while (v);
    while (n > 1) out.push_back(static_cast<uint8_t>(g[--n] | 0x80));
    out.push_back(g[0]);
}

void putBE32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

uint8_t u7(int v) { return static_cast<uint8_t>(v & 0x7F); }
uint8_t status(int hi, int channel) { return static_cast<uint8_t>(hi | (channel & 0x0F)); }

}  // namespace

SmfTrack& SmfTrack::add(uint32_t tick, std::vector<uint8_t> bytes) {
    events_.push_back(Event{tick, std::move(bytes)});
    return *this;
}

SmfTrack& SmfTrack::noteOn(uint32_t tick, int channel, int note, int velocity) {
    return add(tick, {status(0x90, channel), u7(note), u7(velocity)});
}
SmfTrack& SmfTrack::noteOff(uint32_t tick, int channel, int note, int velocity) {
    return add(tick, {status(0x80, channel), u7(note), u7(velocity)});
}
SmfTrack& SmfTrack::note(uint32_t start, uint32_t end, int channel, int n, int velocity) {
    noteOn(start, channel, n, velocity);
    return noteOff(end, channel, n);
}
SmfTrack& SmfTrack::controlChange(uint32_t tick, int channel, int controller, int value) {
    return add(tick, {status(0xB0, channel), u7(controller), u7(value)});
}
SmfTrack& SmfTrack::programChange(uint32_t tick, int channel, int program) {
    return add(tick, {status(0xC0, channel), u7(program)});
}
SmfTrack& SmfTrack::pitchBend(uint32_t tick, int channel, int value14) {
    return add(tick, {status(0xE0, channel), u7(value14), u7(value14 >> 7)});
}
SmfTrack& SmfTrack::tempo(uint32_t tick, uint32_t us) {
    return meta(tick, 0x51, {static_cast<uint8_t>(us >> 16), static_cast<uint8_t>(us >> 8), static_cast<uint8_t>(us)});
}
SmfTrack& SmfTrack::timeSignature(uint32_t tick, int numerator, int denominatorPower) {
    return meta(tick, 0x58, {static_cast<uint8_t>(numerator), static_cast<uint8_t>(denominatorPower), 24, 8});
}
SmfTrack& SmfTrack::meta(uint32_t tick, uint8_t type, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> b{0xFF, type};
    putVarLen(b, static_cast<uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return add(tick, std::move(b));
}
SmfTrack& SmfTrack::text(uint32_t tick, uint8_t type, const std::string& t) {
    return meta(tick, type, std::vector<uint8_t>(t.begin(), t.end()));
}
SmfTrack& SmfTrack::sysex(uint32_t tick, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> b{0xF0};
    putVarLen(b, static_cast<uint32_t>(payload.size()));
    b.insert(b.end(), payload.begin(), payload.end());
    return add(tick, std::move(b));
}
SmfTrack& SmfTrack::raw(uint32_t tick, const std::vector<uint8_t>& bytes) { return add(tick, bytes); }
SmfTrack& SmfTrack::endOfTrack(uint32_t tick) {
    ended_ = true;
    endTick_ = tick;
    return *this;
}

std::vector<uint8_t> SmfTrack::chunk() const {
    std::vector<const Event*> order;
    order.reserve(events_.size());
    for (const Event& e : events_) order.push_back(&e);
    std::stable_sort(order.begin(), order.end(), [](const Event* a, const Event* b) { return a->tick < b->tick; });

    std::vector<uint8_t> body;
    uint32_t last = 0;
    uint8_t running = 0;
    for (const Event* e : order) {
        putVarLen(body, e->tick - last);
        last = e->tick;
        const uint8_t s = e->bytes.empty() ? 0 : e->bytes[0];
        std::size_t skip = 0;
        if (s >= 0x80 && s < 0xF0) {
            if (runningStatus_ && s == running) skip = 1;
            running = s;
        } else if (s >= 0xF0) {
            running = 0;
        }
        body.insert(body.end(), e->bytes.begin() + static_cast<long>(skip), e->bytes.end());
    }
    uint32_t end = ended_ ? std::max(endTick_, last) : last;
    putVarLen(body, end - last);
    body.insert(body.end(), {0xFF, 0x2F, 0x00});

    std::vector<uint8_t> out{'M', 'T', 'r', 'k'};
    putBE32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> buildSmf(uint16_t format, uint16_t division, const std::vector<SmfTrack>& tracks) {
    std::vector<uint8_t> out{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    auto put16 = [&](uint16_t v) {
        out.push_back(static_cast<uint8_t>(v >> 8));
        out.push_back(static_cast<uint8_t>(v));
    };
    put16(format);
    put16(static_cast<uint16_t>(tracks.size()));
    put16(division);
    for (const SmfTrack& t : tracks) {
        std::vector<uint8_t> c = t.chunk();
        out.insert(out.end(), c.begin(), c.end());
    }
    return out;
}

std::vector<uint8_t> wrapRiff(const std::vector<uint8_t>& smf) {
    auto putLE32 = [](std::vector<uint8_t>& o, uint32_t v) {
        for (int i = 0; i < 4; ++i) o.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    std::vector<uint8_t> out{'R', 'I', 'F', 'F'};
    putLE32(out, static_cast<uint32_t>(12 + smf.size() + (smf.size() & 1)));
    out.insert(out.end(), {'R', 'M', 'I', 'D', 'd', 'a', 't', 'a'});
    putLE32(out, static_cast<uint32_t>(smf.size()));
    out.insert(out.end(), smf.begin(), smf.end());
    if (smf.size() & 1) out.push_back(0);
    return out;
}

}  // namespace kantor

#pragma once
// One record of a channel event list: notes with their start and end already paired,
// and the tempo, meter, system exclusive, control and program events of the file.
#include <cstdint>
#include <memory>
#include <vector>

namespace kantor {

enum class ChannelEventKind : uint16_t {
    Note = 0,
    TimeSignature = 1,
    Tempo = 2,
    EndOfTrack = 3,
    SystemExclusive = 4,
    ControlChange = 5,
    ProgramChange = 6,
};

// value1..value3 by kind:
//   note:           note number, start tick, end tick
//   time signature: tick, numerator, denominator as a note value (4, 8, ...)
//   tempo:          microseconds per quarter note, tick, 0
//   the others:     0, tick, tick
struct ChannelEvent {
    ChannelEventKind kind = ChannelEventKind::Note;
    uint16_t velocity = 0;
    uint32_t value1 = 0;
    uint32_t value2 = 0;
    uint32_t value3 = 0;
    // The meaningful bytes: system exclusive (0xF0 and payload, or the payload of an
    // 0xF7 event), the 3 bytes of a control change, the status and program of a program
    // change followed by a zero.
    std::vector<uint8_t> data;

    uint32_t dataLength() const { return static_cast<uint32_t>(data.size()); }
    bool isNote() const { return kind == ChannelEventKind::Note; }
    uint32_t noteNumber() const { return value1; }
    uint32_t startTick() const { return value2; }
    uint32_t endTick() const { return value3; }
    // The tick at which the event happens, whatever its kind.
    uint32_t tick() const {
        switch (kind) {
            case ChannelEventKind::TimeSignature: return value1;
            default: return value2;
        }
    }
};

using ChannelEventList = std::vector<std::unique_ptr<ChannelEvent>>;

}  // namespace kantor

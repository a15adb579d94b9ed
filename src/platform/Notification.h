#pragma once
// Device notifications. The platform posts them (from the audio thread or a device thread)
// to a target object; the target's own thread receives them when it pumps its queue.
#include <cstdint>

namespace kantor {

enum class NotificationKind : uint8_t {
    MidiDone,     // a MIDI stream buffer has been played (header = the MidiHeader)
    MidiMarker,   // a callback event was reached (header = the MidiHeader, offset = the event's byte offset)
    MidiClose,    // a MIDI stream was closed
    WaveOutDone,  // a wave output buffer has been played (header = the WaveHeader)
    WaveInData,   // a wave input buffer has been filled (header = the WaveHeader)
};

struct Notification {
    NotificationKind kind = NotificationKind::MidiDone;
    void* header = nullptr;
    uint32_t offset = 0;
    // The engine's sample clock at the moment the event happened.
    uint64_t frame = 0;
};

class NotificationTarget {
public:
    virtual ~NotificationTarget() = default;
    // Runs on the thread that pumps the queue.
    virtual void onNotification(const Notification& n) = 0;
};

}  // namespace kantor

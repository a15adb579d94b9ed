#pragma once
// The platform MIDI stream: buffers of timed stream events played against a tick clock,
// with tempo events, callback markers and buffer-done, marker and close notifications
// posted to an owner.
//
// A buffer holds stream events of three 32-bit little-endian words: delta ticks, stream
// identifier (0) and event word; a long message (`kMevtFLong`) is followed by its bytes,
// padded with zeros to a multiple of 4. The event type sits in bits 24-29 of the event word.
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/DeviceResult.h"
#include "platform/Notification.h"

namespace kantor {

inline constexpr uint32_t kMevtShortMsg = 0x00000000;
inline constexpr uint32_t kMevtTempo = 0x01000000;
inline constexpr uint32_t kMevtNop = 0x02000000;
inline constexpr uint32_t kMevtLongMsg = 0x00000000;  // with kMevtFLong
inline constexpr uint32_t kMevtFCallback = 0x40000000;
inline constexpr uint32_t kMevtFLong = 0x80000000;

// Header flag bits.
inline constexpr uint32_t kHeaderDone = 0x1;
inline constexpr uint32_t kHeaderPrepared = 0x2;
inline constexpr uint32_t kHeaderInQueue = 0x4;

struct MidiHeader {
    uint8_t* data = nullptr;
    uint32_t bufferLength = 0;
    uint32_t bytesRecorded = 0;
    uint64_t user = 0;
    // Written by the device while the buffer is queued; read by the owner after its
    // done notification.
    std::atomic<uint32_t> flags{0};
    // Device bookkeeping while queued.
    MidiHeader* next = nullptr;
};

class MidiStream {
public:
    virtual ~MidiStream() = default;

    // Opens the stream, paused, with 96 ticks per quarter note and 500000 us per quarter.
    // Notifications go to `owner`.
    virtual int open(NotificationTarget* owner) = 0;
    virtual int setTimeDivision(uint16_t ticksPerQuarter) = 0;
    virtual int prepareHeader(MidiHeader& h) = 0;
    virtual int unprepareHeader(MidiHeader& h) = 0;
    // Queues a prepared buffer behind those already queued.
    virtual int out(MidiHeader& h) = 0;
    virtual int pause() = 0;
    virtual int restart() = 0;
    // Silences the output, returns every queued buffer (done, with a done notification)
    // and sets the position back to 0. The stream stays open, paused.
    virtual int stop() = 0;
    // Stops, closes and posts the close notification.
    virtual int close() = 0;
    // Ticks played since the stream was opened or last stopped.
    virtual int position(uint32_t& ticks) = 0;
    virtual bool isOpen() const = 0;
    virtual std::string errorText(int code) const { return deviceErrorText(code); }
};

}  // namespace kantor

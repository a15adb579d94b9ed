#pragma once
// The platform wave output and input devices: buffers of PCM queued to a device, a done
// bit and a done notification per buffer, position in bytes, and an L/R volume.
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/DeviceResult.h"
#include "platform/MidiStream.h"
#include "platform/Notification.h"

namespace kantor {

struct WaveFormat {
    uint16_t formatTag = 1;  // PCM
    uint16_t channels = 1;
    uint32_t samplesPerSec = 44100;
    uint32_t avgBytesPerSec = 88200;
    uint16_t blockAlign = 2;
    uint16_t bitsPerSample = 16;
    uint16_t extraSize = 0;
};

// Header flag bits are those of MidiHeader: kHeaderDone, kHeaderPrepared, kHeaderInQueue.
struct WaveHeader {
    uint8_t* data = nullptr;
    uint32_t bufferLength = 0;
    uint32_t bytesRecorded = 0;
    uint64_t user = 0;
    std::atomic<uint32_t> flags{0};
    uint32_t loops = 0;
    // Device bookkeeping while queued.
    WaveHeader* next = nullptr;
    uint32_t reserved = 0;
};

struct WaveOutCaps {
    bool volume = false;    // the device has a volume control
    bool lrVolume = false;  // left and right can be set separately
};

class WaveOut {
public:
    virtual ~WaveOut() = default;
    // Whether the device could play this format (nothing is opened).
    virtual int queryFormat(const WaveFormat& f) = 0;
    virtual int open(const WaveFormat& f, NotificationTarget* owner) = 0;
    virtual int prepareHeader(WaveHeader& h) = 0;
    virtual int unprepareHeader(WaveHeader& h) = 0;
    virtual int write(WaveHeader& h) = 0;
    // Stops and returns every queued buffer done; the position goes back to 0.
    virtual int reset() = 0;
    virtual int pause() = 0;
    virtual int restart() = 0;
    virtual int close() = 0;
    // Bytes played since opening or the last reset.
    virtual int position(uint32_t& bytes) = 0;
    virtual bool isOpen() const = 0;
    // The next buffer written to the idle device starts on this frame of the audio engine's
    // clock (the frame a MIDI marker notification carries) instead of the next block. A
    // frame already past drops the overdue part, so the sound stays on the sample clock.
    // Cleared by reset. Devices without a shared clock do not support it.
    virtual int scheduleStart(uint64_t frame) {
        (void)frame;
        return kDeviceNotSupported;
    }
    // Device-wide: the number of wave output devices, capabilities and volume
    // (left in the low 16 bits, right in the high 16 bits).
    virtual int deviceCount() const = 0;
    virtual int caps(WaveOutCaps& c) = 0;
    virtual int getVolume(uint32_t& volume) = 0;
    virtual int setVolume(uint32_t volume) = 0;
    virtual std::string errorText(int code) const { return deviceErrorText(code); }
};

class WaveIn {
public:
    virtual ~WaveIn() = default;
    virtual int queryFormat(const WaveFormat& f) = 0;
    virtual int open(const WaveFormat& f, NotificationTarget* owner) = 0;
    virtual int prepareHeader(WaveHeader& h) = 0;
    virtual int unprepareHeader(WaveHeader& h) = 0;
    virtual int addBuffer(WaveHeader& h) = 0;
    virtual int start() = 0;
    virtual int stop() = 0;
    // Stops and returns every queued buffer done with what it holds.
    virtual int reset() = 0;
    virtual int close() = 0;
    virtual int position(uint32_t& bytes) = 0;
    virtual bool isOpen() const = 0;
    virtual std::string errorText(int code) const { return deviceErrorText(code); }
};

}  // namespace kantor

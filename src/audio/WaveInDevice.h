#pragma once
// Records into one caller-supplied memory block on a wave input device. The owner routes
// the wave-input-data notification to finish().
#include <array>
#include <cstdint>
#include <memory>

#include "audio/WaveOutDevice.h"
#include "base/LastError.h"
#include "platform/WaveDevice.h"

namespace kantor {

class WaveInDevice : public LastError {
public:
    explicit WaveInDevice(WaveIn& device);
    ~WaveInDevice();
    WaveInDevice(const WaveInDevice&) = delete;
    WaveInDevice& operator=(const WaveInDevice&) = delete;

    bool open(NotificationTarget* owner, uint16_t bitsPerSample, uint16_t channels, uint32_t sampleRate);
    // Hands the block to the device; recording starts with start().
    bool addBuffer(uint8_t* data, uint32_t size, uint32_t value);
    bool start();
    bool stop();
    // On the wave-input-data notification: stops the device and releases the buffer.
    bool finish();
    bool close();
    bool position(uint32_t& bytes);

    bool isOpen() const { return open_; }
    // The buffer's header: bytes recorded, the caller's value.
    const WaveHeader& header() const { return *headers_[0]; }

private:
    bool deviceFail(int code);

    WaveIn& device_;
    bool open_ = false;
    bool flag_ = false;
    std::array<std::unique_ptr<WaveHeader>, 3> headers_;
    uint16_t blockAlign_ = 0;
};

}  // namespace kantor

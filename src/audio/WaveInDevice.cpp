#include "audio/WaveInDevice.h"

#include "base/Texts.h"

namespace kantor {
namespace {
constexpr std::size_t kMaxErrorText = 255;
}

WaveInDevice::WaveInDevice(WaveIn& device) : device_(device) {
    for (auto& h : headers_) h = std::make_unique<WaveHeader>();
}

WaveInDevice::~WaveInDevice() {
    if (open_) {
        device_.reset();
        if (headers_[0]->flags.load() != 0) device_.unprepareHeader(*headers_[0]);
        close();
    }
}

bool WaveInDevice::deviceFail(int code) {
    std::string text = device_.errorText(code);
    if (text.size() > kMaxErrorText) text.resize(kMaxErrorText);
    return fail(text);
}

bool WaveInDevice::open(NotificationTarget* owner, uint16_t bitsPerSample, uint16_t channels, uint32_t sampleRate) {
    const SampleFormat sf{bitsPerSample, channels, sampleRate};
    const WaveFormat wf = deviceFormat(sf);
    if (open_) close();
    if (device_.queryFormat(wf) != kDeviceOk)
        return fail(fillText(KANTOR_TEXT("Wave(%s)を録音できません。"), {formatText(sf)}));
    if (device_.open(wf, owner) != kDeviceOk) return fail(KANTOR_TEXT("ウェーブ入力デバイスを開けません。"));
    open_ = true;
    blockAlign_ = wf.blockAlign;
    flag_ = false;
    return true;
}

bool WaveInDevice::addBuffer(uint8_t* data, uint32_t size, uint32_t value) {
    if (!open_) return true;
    clearError();
    WaveHeader& h = *headers_[0];
    if (int r = device_.reset(); r != kDeviceOk) return deviceFail(r);
    // A buffer still prepared from an earlier recording is released before it is refilled.
    if (h.flags.load() != 0) device_.unprepareHeader(h);
    h.data = data;
    h.bufferLength = size;
    h.bytesRecorded = 0;
    h.user = value;
    h.flags = 0;
    h.loops = 1;
    h.next = nullptr;
    h.reserved = 0;
    if (int r = device_.prepareHeader(h); r != kDeviceOk) return deviceFail(r);
    if (int r = device_.addBuffer(h); r != kDeviceOk) {
        device_.unprepareHeader(h);
        h.flags = 0;
        return deviceFail(r);
    }
    return true;
}

bool WaveInDevice::start() {
    if (!open_) return true;
    if (int r = device_.start(); r != kDeviceOk) return deviceFail(r);
    return true;
}

bool WaveInDevice::stop() {
    if (!open_) return true;
    if (int r = device_.stop(); r != kDeviceOk) return deviceFail(r);
    return true;
}

bool WaveInDevice::finish() {
    if (!open_) return true;
    bool ok = true;
    if (int r = device_.stop(); r != kDeviceOk) ok = deviceFail(r);
    WaveHeader& h = *headers_[0];
    if (h.flags.load() & kHeaderInQueue) device_.reset();
    if (h.flags.load() != 0) {
        if (int r = device_.unprepareHeader(h); r != kDeviceOk) ok = deviceFail(r);
        h.flags = 0;
    }
    return ok;
}

bool WaveInDevice::close() {
    if (open_) {
        if (headers_[0]->flags.load() & kHeaderInQueue) device_.reset();
        device_.close();
    }
    open_ = false;
    return true;
}

bool WaveInDevice::position(uint32_t& bytes) {
    if (!open_) return true;
    uint32_t b = 0;
    if (int r = device_.position(b); r != kDeviceOk) return deviceFail(r);
    bytes = b;
    return true;
}

}  // namespace kantor

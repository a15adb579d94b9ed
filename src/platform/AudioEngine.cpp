#include "platform/AudioEngine.h"

#include <alsa/asoundlib.h>
#include <portaudio.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/NotificationQueue.h"

namespace kantor {
namespace {

constexpr const char* kNoDeviceNote = "No sound device: sound is played silently in real time.";

// ALSA reports every card it cannot find on stderr; the engine says so once itself.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

std::atomic<bool> noteShown{false};

int16_t toPcm16(float v) {
    float s = std::clamp(v, -1.0f, 1.0f) * 32767.0f;
    return static_cast<int16_t>(std::lrint(s));
}

}  // namespace

struct AudioEngine::Device {
    PaStream* stream = nullptr;
    bool initialised = false;
};

static int paCallback(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                      PaStreamCallbackFlags, void* user) {
    auto* engine = static_cast<AudioEngine*>(user);
    auto* out = static_cast<float*>(output);
    const auto* in = static_cast<const float*>(input);
    unsigned long done = 0;
    while (done < frames) {
        uint32_t n = static_cast<uint32_t>(std::min<unsigned long>(frames - done, AudioEngine::kMaxBlock));
        engine->render(out + done * 2, in ? in + done * 2 : nullptr, n);
        done += n;
    }
    return paContinue;
}

AudioEngine::AudioEngine()
    : mix_(kMaxBlock * 2), silence_(kMaxBlock * 2), virtualIn_(kMaxBlock * 2), virtualOut_(kMaxBlock * 2) {
    for (auto& s : stages_) s.reserve(16);
}

AudioEngine::~AudioEngine() { stop(); }

void AudioEngine::startRealTime() {
    stop();
    device_ = std::make_unique<Device>();
    snd_lib_error_set_handler(quietAlsa);
    if (Pa_Initialize() == paNoError) {
        device_->initialised = true;
        PaDeviceIndex outDev = Pa_GetDefaultOutputDevice();
        if (outDev != paNoDevice) {
            PaDeviceIndex inDev = Pa_GetDefaultInputDevice();
            PaError err = Pa_OpenDefaultStream(&device_->stream, inDev != paNoDevice ? 2 : 0, 2, paFloat32,
                                               kSampleRate, 256, paCallback, this);
            if (err != paNoError && inDev != paNoDevice) {
                err = Pa_OpenDefaultStream(&device_->stream, 0, 2, paFloat32, kSampleRate, 256, paCallback, this);
            }
            if (err == paNoError && Pa_StartStream(device_->stream) == paNoError) {
                kind_ = Kind::Device;
                return;
            }
            if (device_->stream) Pa_CloseStream(device_->stream);
            device_->stream = nullptr;
        }
    }
    // No sound device: the null device keeps real time.
    deviceNote_ = kNoDeviceNote;
    if (!noteShown.exchange(true)) std::fprintf(stderr, "%s\n", kNoDeviceNote);
    runNullDevice();
}

std::vector<std::string> AudioEngine::inputDeviceNames() const {
    std::vector<std::string> names;
    if (kind_ != Kind::Device) return names;
    const PaDeviceIndex n = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < n; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info && info->maxInputChannels > 0 && info->name) names.emplace_back(info->name);
    }
    return names;
}

bool AudioEngine::setInputDevice(const std::string& name) {
    if (kind_ != Kind::Device || !device_) return false;
    auto open = [this](const std::string& wanted) {
        PaDeviceIndex in = Pa_GetDefaultInputDevice();
        if (!wanted.empty()) {
            in = paNoDevice;
            for (PaDeviceIndex i = 0; i < Pa_GetDeviceCount(); ++i) {
                const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
                if (info && info->maxInputChannels > 0 && info->name && wanted == info->name) in = i;
            }
            if (in == paNoDevice) return false;
        }
        const PaDeviceIndex out = Pa_GetDefaultOutputDevice();
        if (out == paNoDevice) return false;
        PaStreamParameters o{};
        o.device = out;
        o.channelCount = 2;
        o.sampleFormat = paFloat32;
        o.suggestedLatency = Pa_GetDeviceInfo(out)->defaultLowOutputLatency;
        PaStreamParameters i{};
        if (in != paNoDevice) {
            i.device = in;
            i.channelCount = 2;
            i.sampleFormat = paFloat32;
            i.suggestedLatency = Pa_GetDeviceInfo(in)->defaultLowInputLatency;
        }
        PaStream* stream = nullptr;
        if (Pa_OpenStream(&stream, in != paNoDevice ? &i : nullptr, &o, kSampleRate, 256, paNoFlag, paCallback,
                          this) != paNoError)
            return false;
        if (Pa_StartStream(stream) != paNoError) {
            Pa_CloseStream(stream);
            return false;
        }
        device_->stream = stream;
        return true;
    };
    if (device_->stream) {
        Pa_StopStream(device_->stream);
        Pa_CloseStream(device_->stream);
        device_->stream = nullptr;
    }
    if (open(name)) {
        inputDevice_ = name;
        return true;
    }
    // Back to what it was; the default input as the last resort.
    if (!open(inputDevice_) && !open({})) {
        // Without any stream the clock would stop: keep real time on the null device.
        runNullDevice();
    }
    return false;
}

void AudioEngine::startNull() {
    stop();
    runNullDevice();
}

void AudioEngine::runNullDevice() {
    kind_ = Kind::Null;
    nullRunning_ = true;
    nullThread_ = std::thread([this] { runNull(); });
}

void AudioEngine::runNull() {
    constexpr uint32_t kBlock = 441;  // 10 ms
    std::vector<float> out(kBlock * 2);
    auto next = std::chrono::steady_clock::now();
    while (nullRunning_.load()) {
        render(out.data(), nullptr, kBlock);
        next += std::chrono::microseconds(10000);
        std::this_thread::sleep_until(next);
    }
}

bool AudioEngine::realTimeRunning() const { return kind_ == Kind::Device || kind_ == Kind::Null; }

void AudioEngine::startVirtual(NotificationQueue* pumpQueue, uint32_t blockFrames) {
    stop();
    kind_ = Kind::Virtual;
    pumpQueue_ = pumpQueue;
    blockFrames_ = std::clamp<uint32_t>(blockFrames, 1, kMaxBlock);
}

void AudioEngine::stop() {
    if (nullThread_.joinable()) {
        nullRunning_ = false;
        nullThread_.join();
    }
    if (device_) {
        if (device_->stream) {
            Pa_StopStream(device_->stream);
            Pa_CloseStream(device_->stream);
        }
        if (device_->initialised) Pa_Terminate();
        device_.reset();
    }
    kind_ = Kind::Stopped;
    pumpQueue_ = nullptr;
}

void AudioEngine::advance(uint64_t frames, const int16_t* inputStereo) {
    if (kind_ != Kind::Virtual) return;
    while (frames > 0) {
        uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(frames, blockFrames_));
        const float* in = nullptr;
        if (inputStereo) {
            for (uint32_t i = 0; i < n * 2; ++i) virtualIn_[i] = inputStereo[i] / 32768.0f;
            inputStereo += n * 2;
            in = virtualIn_.data();
        }
        renderVirtualBlock(in, n);
        if (capture_) {
            for (uint32_t i = 0; i < n * 2; ++i) captured_.push_back(toPcm16(virtualOut_[i]));
        }
        frames -= n;
        if (pumpQueue_) pumpQueue_->pump();
    }
}

void AudioEngine::setCapture(bool on) { capture_ = on; }

std::vector<int16_t> AudioEngine::takeCaptured() {
    std::vector<int16_t> out;
    out.swap(captured_);
    return out;
}

void AudioEngine::attach(EngineClient* c, EngineStage stage) {
    std::lock_guard<std::mutex> lock(clientsMutex_);
    auto& list = stages_[static_cast<int>(stage)];
    if (std::find(list.begin(), list.end(), c) == list.end()) list.push_back(c);
}

void AudioEngine::detach(EngineClient* c) {
    std::lock_guard<std::mutex> lock(clientsMutex_);
    for (auto& list : stages_) list.erase(std::remove(list.begin(), list.end(), c), list.end());
}

void AudioEngine::runStages(int from, int to, const float* input, uint32_t frames, uint64_t frame) {
    std::lock_guard<std::mutex> lock(clientsMutex_);
    for (int s = from; s < to; ++s) {
        for (EngineClient* c : stages_[s]) c->process(mix_.data(), input, frames, frame);
    }
}

void AudioEngine::renderVirtualBlock(const float* in, uint32_t frames) {
    std::fill(mix_.begin(), mix_.begin() + frames * 2, 0.0f);
    const float* input = in ? in : silence_.data();
    const uint64_t frame = frameTime_.load(std::memory_order_relaxed);
    runStages(0, 1, input, frames, frame);
    if (pumpQueue_) pumpQueue_->pump();
    runStages(1, 3, input, frames, frame);
    for (uint32_t i = 0; i < frames * 2; ++i) virtualOut_[i] = std::clamp(mix_[i], -1.0f, 1.0f);
    frameTime_.store(frame + frames, std::memory_order_release);
}

void AudioEngine::render(float* out, const float* in, uint32_t frames) {
    frames = std::min(frames, kMaxBlock);
    std::fill(mix_.begin(), mix_.begin() + frames * 2, 0.0f);
    const float* input = in ? in : silence_.data();
    const uint64_t frame = frameTime_.load(std::memory_order_relaxed);
    runStages(0, 3, input, frames, frame);
    if (out) {
        for (uint32_t i = 0; i < frames * 2; ++i) out[i] = std::clamp(mix_[i], -1.0f, 1.0f);
    }
    frameTime_.store(frame + frames, std::memory_order_release);
}

}  // namespace kantor
